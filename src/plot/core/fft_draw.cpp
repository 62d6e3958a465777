#include "plot/core/fft_draw.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace tq50r::plot {

namespace {
// Upper bound of decade lines on a log axis: doubles span fewer decades than this, so the loop
// ends even for limits that are not finite.
constexpr int MaxLogDecades = 700;
constexpr double LogXFloorFactor = 0.1; // non-positive x on a log axis maps to XMin x 0.1
constexpr double LogYFloorFactor = 0.1;
constexpr double LogXMinFactor = 0.1;      // log-limit rule: XMin = XMax x 0.1
constexpr double LogYMinFactor = 0.01;     // log-limit rule: YMin = YMax x 0.01
constexpr double FormatLogMinFactor = 0.1; // the axis format setters use 0.1 on both axes
constexpr double LogDefaultMax = 10.0;
constexpr double LogDefaultMin = 1.0;
constexpr double LogRangeFactor = 10.0; // range check on a log axis: max = min x 10
constexpr double LinearRangeStep = 1.0;
constexpr double EmptyAutoScaleMax = 1.0;
constexpr double EmptyAutoScaleMin = -1.0;
constexpr double DecadeBase = 10.0;
} // namespace

int Truncate(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (v <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(v);
}

void TPaintPage::Resize(int left, int top, int right, int bottom) {
    Image->SetSize(right - left, bottom - top);
    Source = TRect{0, 0, right - left, bottom - top};
    Dest = TRect{left, top, right, bottom};
}

void TPaintPage::Clear(TColor color) {
    Image->Brush.Color = color;
    Image->Brush.Style = TBrushStyle::Solid;
    Image->FillRect(Source);
}

// ---- life cycle ------------------------------------------------------------------------------

TFFTDraw::TFFTDraw(CanvasFactory factory) : factory_(std::move(factory)) {
    SetProperties();
    Initialize();
}

TFFTDraw::TFFTDraw(const TFFTDraw& source) : TFFTDraw(source.factory_) {
    AssignPlot(source);
}

TFFTDraw::~TFFTDraw() {
    CleanUp();
}

void TFFTDraw::SetProperties() {
    // Every property starts at its initial value through the member initialisers; only the
    // size memory and the mouse coordinates need resetting here.
    lastWidth_ = 0;
    lastHeight_ = 0;
    mouseX_ = 0.0;
    mouseY_ = 0.0;
    width_ = InitialWidth;
    height_ = InitialHeight;
    color_ = ColorBlack;
    fftNumber_ = TFFTNumber::n1024;
    sampleRate_ = TSampleRate::n48000;
}

void TFFTDraw::Initialize() {
    plots_.Clear();
    pendingCoordinates_.reset();
    for (auto& page : pages_) {
        page.Image = factory_();
        page.Dest = TRect{};
        page.Source = TRect{};
    }
    screen_ = factory_();
    TPlotFont f;
    f.Color = InitialFontColor;
    plotTitleFont_ = f;
    axisTitleFont_ = f;
    axisLabelFont_ = f;
    mouseCoordFont_ = f;
    font_ = f;
}

void TFFTDraw::CleanUp() {
    plots_.Clear();
    for (auto& page : pages_) {
        page.Image.reset();
    }
    screen_.reset();
}

void TFFTDraw::SetControlSize(int width, int height) {
    width_ = width;
    height_ = height;
}

// ---- redraw helpers --------------------------------------------------------------------------

void TFFTDraw::RedrawIfAuto() {
    if (autoRedraw_) {
        DrawAllPlots();
    }
}

void TFFTDraw::FullRedrawIfAuto() {
    if (autoRedraw_) {
        Redraw();
    }
}

void TFFTDraw::RelayoutAndFullRedraw() {
    ResizePaintPage();
    FullRedrawIfAuto();
}

// ---- properties ------------------------------------------------------------------------------

void TFFTDraw::SetAutoRedraw(bool v) {
    autoRedraw_ = v;
    if (v) {
        Redraw();
    }
}

void TFFTDraw::SetAxisColor(TColor v) {
    axisColor_ = v;
    DrawAxis();
}

void TFFTDraw::SetAxisStyle(TAxisStyle v) {
    axisStyle_ = v;
    RedrawIfAuto();
}

void TFFTDraw::SetXAxisFormat(TAxisFormat v) {
    xAxisFormat_ = v;
    FindXMaxMin();
    if (v == TAxisFormat::Log) {
        if (xMax_ <= 0) {
            xMax_ = LogDefaultMax;
            xMin_ = LogDefaultMin;
        } else if (xMin_ <= 0) {
            xMin_ = xMax_ * FormatLogMinFactor;
        }
        lxMin_ = std::log10(xMin_);
        lxMax_ = std::log10(xMax_);
    }
    RedrawIfAuto();
}

void TFFTDraw::SetYAxisFormat(TAxisFormat v) {
    yAxisFormat_ = v;
    FindYMaxMin();
    if (v == TAxisFormat::Log) {
        if (yMax_ <= 0) {
            yMax_ = LogDefaultMax;
            yMin_ = LogDefaultMin;
        } else if (yMin_ <= 0) {
            yMin_ = yMax_ * FormatLogMinFactor;
        }
        lyMin_ = std::log10(yMin_);
        lyMax_ = std::log10(yMax_);
    }
    RedrawIfAuto();
}

void TFFTDraw::SetShowXLabel(bool v) {
    showXLabel_ = v;
    RelayoutAndFullRedraw();
}

void TFFTDraw::SetShowYLabel(bool v) {
    showYLabel_ = v;
    RelayoutAndFullRedraw();
}

void TFFTDraw::SetShowCoordinates(bool v) {
    showCoordinates_ = v;
    if (ControlVisible() && autoRedraw_) {
        PlaceCoordinatePage();
        pages_[CoordinatePage].Clear(color_);
        CopyToControl(pages_[CoordinatePage]);
        DrawAllPlots();
    }
}

void TFFTDraw::SetYAutoScale(bool v) {
    yAutoScale_ = v;
    FindYMaxMin();
    RedrawIfAuto();
}

void TFFTDraw::SetXAutoScale(bool v) {
    xAutoScale_ = v;
    FindXMaxMin();
    RedrawIfAuto();
}

void TFFTDraw::SetYMax(double v) {
    yMax_ = v;
    CompareMaxMin();
    CalculateLogMaxMin();
    RedrawIfAuto();
}

void TFFTDraw::SetYMin(double v) {
    yMin_ = v;
    CompareMaxMin();
    CalculateLogMaxMin();
    RedrawIfAuto();
}

void TFFTDraw::SetXMax(double v) {
    xMax_ = v;
    CompareMaxMin();
    CalculateLogMaxMin();
    RedrawIfAuto();
}

void TFFTDraw::SetXMin(double v) {
    xMin_ = v;
    CompareMaxMin();
    CalculateLogMaxMin();
    RedrawIfAuto();
}

void TFFTDraw::SetYLabelPrecision(int v) {
    yLabelPrecision_ = v;
    SetShowYLabel(showYLabel_);
}

void TFFTDraw::SetXLabelPrecision(int v) {
    xLabelPrecision_ = v;
    SetShowXLabel(showXLabel_);
}

void TFFTDraw::SetYLabelDigits(int v) {
    yLabelDigits_ = v;
    SetShowYLabel(showYLabel_);
}

void TFFTDraw::SetXLabelDigits(int v) {
    xLabelDigits_ = v;
    SetShowXLabel(showXLabel_);
}

void TFFTDraw::SetYLabelFormat(TStringFloatFormat v) {
    yLabelFormat_ = v;
    SetShowYLabel(showYLabel_);
}

void TFFTDraw::SetXLabelFormat(TStringFloatFormat v) {
    xLabelFormat_ = v;
    SetShowXLabel(showXLabel_);
}

void TFFTDraw::SetPointSize(int v) {
    pointSize_ = std::clamp(v, MinPointSize, MaxPointSize);
    RedrawIfAuto();
}

void TFFTDraw::SetShowVertGrid(bool v) {
    showVertGrid_ = v;
    RedrawIfAuto();
}

void TFFTDraw::SetShowHorzGrid(bool v) {
    showHorzGrid_ = v;
    RedrawIfAuto();
}

void TFFTDraw::SetShowVertTicks(bool v) {
    showVertTicks_ = v;
    RedrawIfAuto();
}

void TFFTDraw::SetShowHorzTicks(bool v) {
    showHorzTicks_ = v;
    RedrawIfAuto();
}

void TFFTDraw::SetVertTickLength(int v) {
    vertTickLength_ = std::clamp(v, 0, std::max(0, ControlHeight()));
    RedrawIfAuto();
}

void TFFTDraw::SetHorzTickLength(int v) {
    horzTickLength_ = std::clamp(v, 0, std::max(0, ControlWidth()));
    RedrawIfAuto();
}

void TFFTDraw::SetNumVertGrid(int v) {
    numVertGrid_ = std::max(0, v);
    RedrawIfAuto();
}

void TFFTDraw::SetNumHorzGrid(int v) {
    numHorzGrid_ = std::max(0, v);
    RedrawIfAuto();
}

void TFFTDraw::SetGridColor(TColor v) {
    gridColor_ = v;
    RedrawIfAuto();
}

void TFFTDraw::SetShowXTitle(bool v) {
    showXTitle_ = v;
    RelayoutAndFullRedraw();
}

void TFFTDraw::SetShowYTitle(bool v) {
    showYTitle_ = v;
    RelayoutAndFullRedraw();
}

void TFFTDraw::SetShowPlotTitle(bool v) {
    showPlotTitle_ = v;
    RelayoutAndFullRedraw();
}

void TFFTDraw::SetXTitle(const std::string& v) {
    xTitle_ = v;
    if (autoRedraw_) {
        DrawTitles();
    }
}

void TFFTDraw::SetYTitle(const std::string& v) {
    yTitle_ = v;
    ResizePaintPage();
    if (autoRedraw_) {
        DrawTitles();
    }
}

void TFFTDraw::SetPlotTitle(const std::string& v) {
    plotTitle_ = v;
    if (autoRedraw_) {
        DrawTitles();
    }
}

void TFFTDraw::SetPlotTitleFont(const TPlotFont& v) {
    plotTitleFont_ = v;
    font_ = v;
    pages_[PlotTitlePage].Image->Font = v;
    RelayoutAndFullRedraw();
}

void TFFTDraw::SetAxisTitleFont(const TPlotFont& v) {
    axisTitleFont_ = v;
    pages_[XTitlePage].Image->Font = v;
    pages_[YTitlePage].Image->Font = v;
    RelayoutAndFullRedraw();
}

void TFFTDraw::SetAxisLabelFont(const TPlotFont& v) {
    axisLabelFont_ = v;
    pages_[XLabelPage].Image->Font = v;
    pages_[YLabelPage].Image->Font = v;
    RelayoutAndFullRedraw();
}

void TFFTDraw::SetMouseCoordFont(const TPlotFont& v) {
    mouseCoordFont_ = v;
    pages_[CoordinatePage].Image->Font = v;
    ResizePaintPage();
    RedrawIfAuto();
}

void TFFTDraw::SetFixedYLabelWidth(int widthPx) {
    fixedYLabelWidth_ = std::max(0, widthPx);
    RelayoutAndFullRedraw();
}

// ---- scaling ---------------------------------------------------------------------------------

namespace {
// The first x (or y) value of the list, head first, that exists.
const TPlotListMember* firstWithPoints(const TPlotList& list) {
    for (auto* m = list.First(); m != nullptr; m = m->Next.get()) {
        if (m->NumPoints > 0) {
            return m;
        }
    }
    return nullptr;
}

void scanRange(const TPlotList& list, const std::vector<double> TPlotListMember::*values,
               double& lo, double& hi) {
    const auto* seed = firstWithPoints(list);
    if (seed == nullptr) {
        hi = EmptyAutoScaleMax;
        lo = EmptyAutoScaleMin;
        return;
    }
    hi = lo = (seed->*values)[0];
    for (auto* m = list.First(); m != nullptr; m = m->Next.get()) {
        for (double v : m->*values) {
            hi = std::max(hi, v);
            lo = std::min(lo, v);
        }
    }
}
} // namespace

void TFFTDraw::FindXMaxMin() {
    if (!xAutoScale_) {
        return;
    }
    scanRange(plots_, &TPlotListMember::X, xMin_, xMax_);
    CompareMaxMin();
    CalculateLogMaxMin();
}

void TFFTDraw::FindYMaxMin() {
    if (!yAutoScale_) {
        return;
    }
    scanRange(plots_, &TPlotListMember::Y, yMin_, yMax_);
    CompareMaxMin();
    CalculateLogMaxMin();
}

void TFFTDraw::AutoScaleBoth() {
    FindXMaxMin();
    FindYMaxMin();
}

void TFFTDraw::CompareMaxMin() {
    if (yMax_ == yMin_) {
        yMax_ = yAxisFormat_ == TAxisFormat::Log ? yMin_ * LogRangeFactor : yMax_ + LinearRangeStep;
    }
    if (xMax_ == xMin_) {
        xMax_ = xAxisFormat_ == TAxisFormat::Log ? xMin_ * LogRangeFactor : xMax_ + LinearRangeStep;
    }
}

void TFFTDraw::CalculateLogMaxMin() {
    if (xAxisFormat_ == TAxisFormat::Log) {
        if (xMax_ <= 0) {
            xMax_ = LogDefaultMax;
        }
        if (xMin_ <= 0) {
            xMin_ = xMax_ * LogXMinFactor;
        }
        lxMax_ = std::log10(xMax_);
        lxMin_ = std::log10(xMin_);
    }
    if (yAxisFormat_ == TAxisFormat::Log) {
        if (yMax_ <= 0) {
            yMax_ = LogDefaultMax;
        }
        if (yMin_ <= 0) {
            yMin_ = yMax_ * LogYMinFactor;
        }
        lyMax_ = std::log10(yMax_);
        lyMin_ = std::log10(yMin_);
    }
}

// ---- plot calls ------------------------------------------------------------------------------

bool TFFTDraw::AddOrReplace(const double* x, const double* y, int numPoints, int index,
                            TColor color, TPlotStyle style) {
    return plots_.AddOrReplace(x, y, numPoints, index, color, style);
}

void TFFTDraw::AfterPlotChange() {
    AutoScaleBoth();
    RedrawIfAuto();
}

bool TFFTDraw::FFTDraw(const double* x, const double* y, int numPoints, int index, TColor color,
                       TPlotStyle style) {
    const bool replaced = AddOrReplace(x, y, numPoints, index, color, style);
    AfterPlotChange();
    return replaced;
}

bool TFFTDraw::FFTDraw(const double* y, int numPoints, int index, TColor color, TPlotStyle style) {
    std::vector<double> x(static_cast<std::size_t>(std::max(0, numPoints)));
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = static_cast<double>(i);
    }
    return FFTDraw(x.data(), y, numPoints, index, color, style);
}

bool TFFTDraw::FFTDraw(const double* y, int numPoints, double xStart, double xEnd, int index,
                       TColor color, TPlotStyle style) {
    std::vector<double> x(static_cast<std::size_t>(std::max(0, numPoints)));
    // A single point has no spacing; it sits at xStart.
    const double step = numPoints > 1 ? (xEnd - xStart) / (numPoints - 1) : 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = xStart + static_cast<double>(i) * step;
    }
    return FFTDraw(x.data(), y, numPoints, index, color, style);
}

bool TFFTDraw::RemovePlot(int index) {
    if (!plots_.Remove(index)) {
        return false;
    }
    AfterPlotChange();
    return true;
}

bool TFFTDraw::GetPlotStyle(int index, TPlotStyle& style) const {
    const auto* m = plots_.Find(index);
    if (m == nullptr) {
        return false;
    }
    style = m->Style;
    return true;
}

bool TFFTDraw::GetPlotColor(int index, TColor& color) const {
    const auto* m = plots_.Find(index);
    if (m == nullptr) {
        return false;
    }
    color = m->Color;
    return true;
}

bool TFFTDraw::GetPlotNumPoints(int index, int& numPoints) const {
    const auto* m = plots_.Find(index);
    if (m == nullptr) {
        return false;
    }
    numPoints = m->NumPoints;
    return true;
}

bool TFFTDraw::GetPlotX(int index, double* x) const {
    const auto* m = plots_.Find(index);
    if (m == nullptr || x == nullptr) {
        return false;
    }
    std::copy(m->X.begin(), m->X.end(), x);
    return true;
}

bool TFFTDraw::GetPlotY(int index, double* y) const {
    const auto* m = plots_.Find(index);
    if (m == nullptr || y == nullptr) {
        return false;
    }
    std::copy(m->Y.begin(), m->Y.end(), y);
    return true;
}

bool TFFTDraw::SetPlotStyle(int index, TPlotStyle style) {
    auto* m = plots_.Find(index);
    if (m == nullptr) {
        return false;
    }
    m->Style = style;
    RedrawIfAuto();
    return true;
}

bool TFFTDraw::SetPlotColor(int index, TColor color) {
    auto* m = plots_.Find(index);
    if (m == nullptr) {
        return false;
    }
    m->Color = color;
    DrawOnePlot(*m);
    RedrawScreen();
    return true;
}

// ---- whole-control calls ---------------------------------------------------------------------

void TFFTDraw::SetXYMinMax(double xMin, double xMax, double yMin, double yMax) {
    xMin_ = xMin;
    xMax_ = xMax;
    yMin_ = yMin;
    yMax_ = yMax;
    CalculateLogMaxMin();
    CompareMaxMin();
    RedrawIfAuto();
}

void TFFTDraw::AssignPlot(const TFFTDraw& source) {
    // Copy first: the source may be this control.
    TPlotList copy = source.plots_.ReversedCopy();
    CleanUp();
    Initialize();
    plots_ = std::move(copy);
    AssignPlotProperties(source);
    AutoScaleBoth();
    ResizePaintPage();
    FullRedrawIfAuto();
}

void TFFTDraw::AssignPlotData(const TFFTDraw& source) {
    plots_ = source.plots_.ReversedCopy();
    AutoScaleBoth();
    ResizePaintPage();
    FullRedrawIfAuto();
}

void TFFTDraw::AppendPlotData(const TFFTDraw& source) {
    // Walk a snapshot: the source may be this control, whose members the loop replaces.
    const TPlotList snapshot = source.plots_.ReversedCopy();
    std::vector<const TPlotListMember*> order;
    for (auto* m = snapshot.First(); m != nullptr; m = m->Next.get()) {
        order.push_back(m);
    }
    // The snapshot is reversed; walk it backwards to visit the source head first.
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        const auto* m = *it;
        AddOrReplace(m->X.data(), m->Y.data(), m->NumPoints, m->Index, m->Color, m->Style);
    }
    AutoScaleBoth();
    ResizePaintPage();
    FullRedrawIfAuto();
}

void TFFTDraw::AssignPlotProperties(const TFFTDraw& s) {
    autoRedraw_ = s.autoRedraw_;
    axisColor_ = s.axisColor_;
    axisStyle_ = s.axisStyle_;
    xAxisFormat_ = s.xAxisFormat_;
    yAxisFormat_ = s.yAxisFormat_;
    showXLabel_ = s.showXLabel_;
    showYLabel_ = s.showYLabel_;
    showCoordinates_ = s.showCoordinates_;
    xAutoScale_ = s.xAutoScale_;
    yAutoScale_ = s.yAutoScale_;
    xMin_ = s.xMin_;
    xMax_ = s.xMax_;
    yMin_ = s.yMin_;
    yMax_ = s.yMax_;
    // The cached logarithms belong to the limits: without them a log axis would map with the
    // old range.
    lxMin_ = s.lxMin_;
    lxMax_ = s.lxMax_;
    lyMin_ = s.lyMin_;
    lyMax_ = s.lyMax_;
    xLabelPrecision_ = s.xLabelPrecision_;
    yLabelPrecision_ = s.yLabelPrecision_;
    xLabelDigits_ = s.xLabelDigits_;
    yLabelDigits_ = s.yLabelDigits_;
    xLabelFormat_ = s.xLabelFormat_;
    yLabelFormat_ = s.yLabelFormat_;
    pointSize_ = s.pointSize_;
    showVertGrid_ = s.showVertGrid_;
    showHorzGrid_ = s.showHorzGrid_;
    showVertTicks_ = s.showVertTicks_;
    showHorzTicks_ = s.showHorzTicks_;
    vertTickLength_ = s.vertTickLength_;
    horzTickLength_ = s.horzTickLength_;
    numVertGrid_ = s.numVertGrid_;
    numHorzGrid_ = s.numHorzGrid_;
    gridColor_ = s.gridColor_;
    mouseControl_ = s.mouseControl_;
    showXTitle_ = s.showXTitle_;
    showYTitle_ = s.showYTitle_;
    showPlotTitle_ = s.showPlotTitle_;
    xTitle_ = s.xTitle_;
    yTitle_ = s.yTitle_;
    plotTitle_ = s.plotTitle_;
    plotTitleFont_ = s.plotTitleFont_;
    axisTitleFont_ = s.axisTitleFont_;
    axisLabelFont_ = s.axisLabelFont_;
    mouseCoordFont_ = s.mouseCoordFont_;
    font_ = s.font_;
    pages_[PlotTitlePage].Image->Font = plotTitleFont_;
    pages_[XTitlePage].Image->Font = axisTitleFont_;
    pages_[YTitlePage].Image->Font = axisTitleFont_;
    pages_[XLabelPage].Image->Font = axisLabelFont_;
    pages_[YLabelPage].Image->Font = axisLabelFont_;
    pages_[CoordinatePage].Image->Font = mouseCoordFont_;
    fftNumber_ = s.fftNumber_;
    fixedYLabelWidth_ = s.fixedYLabelWidth_;
    FullRedrawIfAuto();
}

void TFFTDraw::Redraw() {
    DrawAllPlots();
    DrawTitles();
}

void TFFTDraw::RedrawScreen() {
    if (showXLabel_) {
        CopyToControl(pages_[XLabelPage]);
    }
    if (showXTitle_) {
        CopyToControl(pages_[XTitlePage]);
    }
    if (showYLabel_) {
        CopyToControl(pages_[YLabelPage]);
    }
    if (showYTitle_) {
        CopyToControl(pages_[YTitlePage]);
    }
    if (showPlotTitle_) {
        CopyToControl(pages_[PlotTitlePage]);
    }
    CopyToControl(pages_[RightMarginPage]);
    CopyToControl(pages_[PlotPage]);
}

void TFFTDraw::ClearPlot() {
    if (showXLabel_) {
        pages_[XLabelPage].Clear(color_);
    }
    if (showXTitle_) {
        pages_[XTitlePage].Clear(color_);
    }
    if (showYLabel_) {
        pages_[YLabelPage].Clear(color_);
    }
    if (showYTitle_) {
        pages_[YTitlePage].Clear(color_);
    }
    if (showPlotTitle_) {
        pages_[PlotTitlePage].Clear(color_);
    }
    pages_[RightMarginPage].Clear(color_);
    pages_[PlotPage].Clear(color_);
}

int TFFTDraw::GetPlotWidth() const {
    return pages_[PlotPage].Image->Width();
}
int TFFTDraw::GetPlotHeight() const {
    return pages_[PlotPage].Image->Height();
}

bool TFFTDraw::SetPlotWidth(int w) {
    auto& img = *pages_[PlotPage].Image;
    img.SetSize(w, img.Height());
    return true;
}

void TFFTDraw::Change() {
    if (OnChange) {
        OnChange(*this);
    }
}

// ---- mapping ---------------------------------------------------------------------------------

double TFFTDraw::ScreenX(double x) const {
    const double w = GetPlotWidth();
    if (xAxisFormat_ == TAxisFormat::Log) {
        const double lx = x > 0 ? std::log10(x) : std::log10(xMin_ * LogXFloorFactor);
        return w * (lx - lxMin_) / (lxMax_ - lxMin_);
    }
    return w * (x - xMin_) / (xMax_ - xMin_);
}

double TFFTDraw::ScreenY(double y) const {
    const double h = GetPlotHeight();
    if (yAxisFormat_ == TAxisFormat::Log) {
        const double ly = y > 0 ? std::log10(y) : std::log10(yMin_ * LogYFloorFactor);
        return h - h * (ly - lyMin_) / (lyMax_ - lyMin_);
    }
    return h - h * (y - yMin_) / (yMax_ - yMin_);
}

double TFFTDraw::DataX(double column) const {
    const double w = GetPlotWidth();
    if (w <= 0) {
        return xMin_;
    }
    if (xAxisFormat_ == TAxisFormat::Log) {
        return std::pow(DecadeBase, lxMin_ + column / w * (lxMax_ - lxMin_));
    }
    return xMin_ + column / w * (xMax_ - xMin_);
}

double TFFTDraw::DataY(double row) const {
    const double h = GetPlotHeight();
    if (h <= 0) {
        return yMin_;
    }
    const double share = (h - row) / h;
    if (yAxisFormat_ == TAxisFormat::Log) {
        return std::pow(DecadeBase, lyMin_ + share * (lyMax_ - lyMin_));
    }
    return yMin_ + share * (yMax_ - yMin_);
}

double TFFTDraw::FFTTopHz() const {
    return (static_cast<int>(sampleRate_) + 1) * FFTTopStepHz;
}

double TFFTDraw::FFTScaleWidth() const {
    return (static_cast<int>(fftNumber_) + 1) * FFTScaleStep;
}

double TFFTDraw::FFTPosition(double freqHz) const {
    return std::log10(freqHz) / std::log10(FFTTopHz()) * FFTScaleWidth();
}

// ---- layout ----------------------------------------------------------------------------------

int TFFTDraw::WidestMeasuredText(Canvas& c, const std::string& prefix, TStringFloatFormat format,
                                 int precision, int digits, int* lastHeight) {
    int widest = 0;
    std::string text;
    for (int k = -MeasureExponentRange; k <= MeasureExponentRange; ++k) {
        text = prefix + FloatToText(std::pow(DecadeBase, k) * MeasurePi, format, precision, digits);
        widest = std::max(widest, c.TextWidth(text));
    }
    if (lastHeight != nullptr) {
        *lastHeight = c.TextHeight(text);
    }
    return widest;
}

void TFFTDraw::ResizePaintPage() {
    const int cw = ControlWidth();
    const int ch = ControlHeight();
    int left = LayoutStartLeftPx;
    int top = 0;
    int bottom = ch;
    int labelBottom = ch;
    int yTitleWidth = 0;

    if (showXLabel_) {
        Canvas& c = *pages_[XLabelPage].Image;
        c.Font = axisLabelFont_;
        const auto t = FloatToText(xMin_, xLabelFormat_, xLabelPrecision_, xLabelDigits_);
        bottom = Truncate(bottom - XLabelHeightFactor * c.TextHeight(t));
    }
    if (showXTitle_) {
        Canvas& c = *pages_[XTitlePage].Image;
        c.Font = axisTitleFont_;
        const int h = TitleHeightFactor * c.TextHeight(xTitle_);
        bottom -= h;
        labelBottom -= h;
    }
    if (showYLabel_) {
        Canvas& c = *pages_[YLabelPage].Image;
        c.Font = axisLabelFont_;
        const int widest =
            fixedYLabelWidth_ > 0
                ? fixedYLabelWidth_
                : WidestMeasuredText(c, "", xLabelFormat_,
                                     std::max(xLabelPrecision_, yLabelPrecision_),
                                     std::max(xLabelDigits_, yLabelDigits_), nullptr);
        left += widest + YLabelGapPx;
    }
    if (showYTitle_) {
        Canvas& c = *pages_[YTitlePage].Image;
        c.Font = axisTitleFont_;
        const int w = TitleHeightFactor * c.TextHeight(yTitle_);
        left += w;
        yTitleWidth += w;
    }
    if (showPlotTitle_) {
        Canvas& c = *pages_[PlotTitlePage].Image;
        c.Font = plotTitleFont_;
        top += TitleHeightFactor * c.TextHeight(plotTitle_);
    }
    if (showCoordinates_) {
        pages_[CoordinatePage].Image->Font = mouseCoordFont_;
        pendingCoordinates_ = CoordinateLayout{
            cw, top, mouseCoordFont_, yLabelFormat_, yLabelPrecision_, yLabelDigits_};
    }
    if (top < bottom && left < cw) {
        const int right = cw - RightMarginPx;
        pages_[PlotPage].Resize(left, top, right, bottom);
        pages_[XLabelPage].Resize(left, bottom, right, labelBottom);
        pages_[XTitlePage].Resize(left, labelBottom, right, ch);
        pages_[YLabelPage].Resize(yTitleWidth, top, left, ch);
        pages_[YTitlePage].Resize(0, top, yTitleWidth, ch);
        pages_[PlotTitlePage].Resize(0, 0, right, top);
        pages_[RightMarginPage].Resize(right, 0, cw, ch);
    }
    // Too short or too narrow: drop the parts that do not fit and lay out again. Each step only
    // recurses when it switched something off, so the recursion ends.
    if (bottom < top && (showPlotTitle_ || showXLabel_ || showXTitle_)) {
        showPlotTitle_ = false;
        showXLabel_ = false;
        showXTitle_ = false;
        ResizePaintPage();
    }
    if (cw < left && (showYLabel_ || showYTitle_)) {
        showYLabel_ = false;
        showYTitle_ = false;
        ResizePaintPage();
    }
}

// ---- drawing ---------------------------------------------------------------------------------

void TFFTDraw::PlaceCoordinatePage() {
    if (!pendingCoordinates_) {
        return;
    }
    const CoordinateLayout at = *pendingCoordinates_;
    pendingCoordinates_.reset();
    Canvas& c = *pages_[CoordinatePage].Image;
    // Measured in the font of that layout; the canvas keeps the font it has been given since.
    const TPlotFont kept = c.Font;
    c.Font = at.font;
    int h = 0;
    const int m = WidestMeasuredText(c, "x = ", at.format, at.precision, at.digits, &h);
    c.Font = kept;
    pages_[CoordinatePage].Resize(at.controlWidth - m - CoordinateMarginPx,
                                  at.top + CoordinateTopGapPx, at.controlWidth - CoordinateMarginPx,
                                  at.top + 2 * h + CoordinateExtraHeightPx);
}

void TFFTDraw::EnsureControlCanvas() {
    if (screen_->Width() != ControlWidth() || screen_->Height() != ControlHeight()) {
        // Where no page has been copied yet the control shows its own colour.
        screen_->SetSize(ControlWidth(), ControlHeight());
        screen_->Brush.Color = color_;
        screen_->Brush.Style = TBrushStyle::Solid;
        screen_->FillRect(TRect{0, 0, screen_->Width(), screen_->Height()});
    }
}

void TFFTDraw::CopyToControl(TPaintPage& page) {
    EnsureControlCanvas();
    screen_->CopyRect(page.Dest, *page.Image, page.Source);
    ControlCanvasChanged();
}

void TFFTDraw::Paint() {
    if (ControlWidth() != lastWidth_ || ControlHeight() != lastHeight_) {
        lastWidth_ = ControlWidth();
        lastHeight_ = ControlHeight();
        ResizePaintPage();
    }
    // When the redraw draws the plot page it paints the blocks on it (UpdatePaintPage). Painting
    // them a second time in the copy mode changes no pixel of the page, and would make the
    // control canvas take a copy of its own of the page it shows.
    const bool blocksPainted = ControlVisible() && !DrawingDeferred() &&
                               pages_[PlotPage].Image->Pen.Mode == TPenMode::Copy;
    Redraw();
    if (!blocksPainted) {
        BlockPaint();
    }
    if (OnPaint) {
        OnPaint(*this);
    }
}

void TFFTDraw::DrawAllPlots() {
    if (!ControlVisible() || DrawingDeferred()) {
        return;
    }
    pages_[PlotPage].Clear(color_);
    DrawGrid();
    DrawTicks();
    DrawAxis();
    for (auto* m = plots_.First(); m != nullptr; m = m->Next.get()) {
        DrawOnePlot(*m);
    }
    UpdatePaintPage(pages_[PlotPage]);
}

template <typename F> void TFFTDraw::ForEachHorzGridRow(F&& f) const {
    if (yAxisFormat_ == TAxisFormat::Linear) {
        for (int i = 1; i <= numHorzGrid_; ++i) {
            f(ScreenY(yMin_ + i * (yMax_ - yMin_) / (numHorzGrid_ + 1)));
        }
        return;
    }
    double d = std::floor(lyMin_);
    for (int n = 0; n < MaxLogDecades && d < lyMax_; ++n, d += 1.0) {
        const double lo = std::pow(DecadeBase, d);
        const double hi = std::pow(DecadeBase, d + 1.0);
        f(ScreenY(lo));
        for (int j = 1; j <= numHorzGrid_; ++j) {
            f(ScreenY(lo + j * (hi - lo) / (numHorzGrid_ + 1)));
        }
    }
}

template <typename F> void TFFTDraw::ForEachVertGridColumn(F&& f) const {
    if (xAxisFormat_ == TAxisFormat::Linear) {
        // Frequencies j x 10^i on the FFT scale, each placed by its own u(f) so that a column
        // never differs from the position the host computes for the same frequency.
        for (int i = 1; i <= FFTGridDecades; ++i) {
            const double decadeHz = std::pow(DecadeBase, i);
            for (int j = 1; j <= FFTGridPerDecade; ++j) {
                f(ScreenX(FFTPosition(decadeHz * j)));
            }
        }
        return;
    }
    double d = std::floor(lxMin_);
    for (int n = 0; n < MaxLogDecades && d < lxMax_; ++n, d += 1.0) {
        const double lo = std::pow(DecadeBase, d);
        const double hi = std::pow(DecadeBase, d + 1.0);
        f(ScreenX(lo));
        for (int j = 1; j <= numVertGrid_; ++j) {
            f(ScreenX(lo + j * (hi - lo) / (numVertGrid_ + 1)));
        }
    }
}

void TFFTDraw::DrawGrid() {
    Canvas& c = *pages_[PlotPage].Image;
    const int w = c.Width();
    const int h = c.Height();
    c.Pen.Color = gridColor_;
    if (showHorzGrid_) {
        ForEachHorzGridRow([&](double y) {
            c.MoveTo(0, Truncate(y));
            c.LineTo(w, Truncate(y));
        });
    }
    if (showVertGrid_) {
        ForEachVertGridColumn([&](double x) {
            c.MoveTo(Truncate(x), 0);
            c.LineTo(Truncate(x), h);
        });
    }
}

void TFFTDraw::DrawTicks() {
    Canvas& c = *pages_[PlotPage].Image;
    const int h = c.Height();
    c.Pen.Color = axisColor_;
    if (showHorzTicks_) {
        ForEachHorzGridRow([&](double y) {
            c.MoveTo(0, Truncate(y));
            c.LineTo(horzTickLength_, Truncate(y));
        });
    }
    if (showVertTicks_) {
        // The linear (FFT-scale) axis draws its ticks two pixels longer.
        const int top =
            xAxisFormat_ == TAxisFormat::Linear ? h - vertTickLength_ - 2 : h - vertTickLength_;
        ForEachVertGridColumn([&](double x) {
            c.MoveTo(Truncate(x), h);
            c.LineTo(Truncate(x), top);
        });
    }
}

void TFFTDraw::DrawAxis() {
    if (!ControlVisible()) {
        return;
    }
    Canvas& c = *pages_[PlotPage].Image;
    const int w = c.Width();
    const int h = c.Height();
    c.Pen.Color = axisColor_;
    c.Brush.Style = TBrushStyle::Solid;
    c.Brush.Color = axisColor_;
    const auto box = [&] { c.FrameRect(TRect{0, 0, w, h}); };
    const auto centered = [&] {
        if (yMax_ != yMin_) {
            const int y = Truncate(ScreenY(0));
            c.MoveTo(0, y);
            c.LineTo(w, y);
        }
        if (xMax_ != xMin_) {
            const int x = Truncate(ScreenX(0));
            c.MoveTo(x, 0);
            c.LineTo(x, h);
        }
    };
    switch (axisStyle_) {
    case TAxisStyle::Box:
        box();
        break;
    case TAxisStyle::Centered:
        centered();
        break;
    case TAxisStyle::CenteredBox:
        box();
        centered();
        break;
    case TAxisStyle::LB:
        c.MoveTo(0, 0);
        c.LineTo(0, h - 1);
        c.LineTo(w, h - 1);
        break;
    case TAxisStyle::None:
        break;
    }
}

void TFFTDraw::DrawOnePlot(const TPlotListMember& plot) {
    if (!ControlVisible() || plot.NumPoints <= 0) {
        return;
    }
    Canvas& c = *pages_[PlotPage].Image;
    const int w = c.Width();
    const int h = c.Height();
    c.Pen.Width = PlotPenWidth;
    c.Pen.Color = PlotColor;
    c.Brush.Color = PlotColor;
    c.MoveTo(Truncate(FFTScreenX(plot.X[0])), Truncate(FFTScreenY(plot.Y[0])));
    // Guard band: a point beyond it only moves the pen. Computed in 64 bits: pages can be wide.
    const long long lowX = -static_cast<long long>(GuardPages) * w;
    const long long highX = static_cast<long long>(GuardPages + 1) * w;
    const long long lowY = -static_cast<long long>(GuardPages) * h;
    const long long highY = static_cast<long long>(GuardPages + 1) * h;
    const int ps = pointSize_;
    for (int i = 0; i < plot.NumPoints; ++i) {
        const int sx = Truncate(FFTScreenX(plot.X[static_cast<std::size_t>(i)]));
        const int sy = Truncate(FFTScreenY(plot.Y[static_cast<std::size_t>(i)]));
        if (sx < lowX || sx >= highX || sy < lowY || sy >= highY) {
            c.MoveTo(sx, sy);
            continue;
        }
        const TRect square{sx - ps, sy - ps, sx + ps, sy + ps};
        switch (plot.Style) {
        case TPlotStyle::Line:
            c.LineTo(sx, sy);
            break;
        case TPlotStyle::Points:
        case TPlotStyle::PointsAlt:
            c.Rectangle(square);
            break;
        case TPlotStyle::LinePoints:
        case TPlotStyle::LinePointsAlt:
            c.LineTo(sx, sy);
            c.Rectangle(square);
            c.MoveTo(sx, sy);
            break;
        }
    }
}

void TFFTDraw::DrawTitles() {
    if (DrawingDeferred()) {
        return;
    }
    const int plotW = GetPlotWidth();
    const int plotH = GetPlotHeight();
    const int plotLeft = pages_[PlotPage].Dest.Left;
    if (showPlotTitle_) {
        auto& p = pages_[PlotTitlePage];
        p.Clear(color_);
        Canvas& c = *p.Image;
        c.Font = plotTitleFont_;
        const int tw = c.TextWidth(plotTitle_);
        const int th = c.TextHeight(plotTitle_);
        c.TextOut((plotW - tw) / 2 + plotLeft, c.Height() - (3 * th) / 2, plotTitle_);
        CopyToControl(p);
    }
    if (showXTitle_) {
        auto& p = pages_[XTitlePage];
        p.Clear(color_);
        Canvas& c = *p.Image;
        c.Font = axisTitleFont_;
        const int tw = c.TextWidth(xTitle_);
        const int th = c.TextHeight(xTitle_);
        c.TextOut((c.Width() - tw) / 2, c.Height() - (3 * th) / 2, xTitle_);
        CopyToControl(p);
    }
    if (showYTitle_) {
        auto& p = pages_[YTitlePage];
        p.Clear(color_);
        Canvas& c = *p.Image;
        c.Font = axisTitleFont_;
        const int tw = c.TextWidth(yTitle_);
        const int th = c.TextHeight(yTitle_);
        c.TextOut(th / 2, (plotH - tw) / 2, yTitle_);
        CopyToControl(p);
    }
    pages_[RightMarginPage].Clear(color_);
    CopyToControl(pages_[RightMarginPage]);
}

void TFFTDraw::UpdatePaintPage(TPaintPage& page) {
    if (DrawingDeferred()) {
        return;
    }
    BlockPaint();
    CopyToControl(page);
}

// ---- blocks ----------------------------------------------------------------------------------

void TFFTDraw::StoreBlock(double y, double x, TColor color, int index, bool hidden) {
    const auto i = static_cast<std::size_t>(index);
    blockX_[i] = x;
    blockY_[i] = y;
    blockColor_[i] = color;
    blockHidden_[i] = hidden;
}

void TFFTDraw::DrawBlock(double y, double x, TColor color, int index, bool hidden) {
    if (!ValidBlock(index)) {
        return; // there is no such entry; nothing to store or show
    }
    StoreBlock(y, x, color, index, hidden);
    pages_[PlotPage].Image->Pen.Width = 1;
    UpdatePaintPage(pages_[PlotPage]);
}

void TFFTDraw::BlockPaint() {
    Canvas& c = *pages_[PlotPage].Image;
    c.Font.Color = BlockTextColor;
    c.Brush.Color = BlockFillColor;
    const auto paintOne = [this, &c](int n) {
        const auto i = static_cast<std::size_t>(n);
        if (blockHidden_[i]) {
            return;
        }
        const double sx = ScreenX(blockX_[i]);
        const double sy = ScreenY(blockY_[i]);
        c.Pen.Color = ColorWhite;
        c.Pen.Width = 1;
        c.Ellipse(TRect{Truncate(sx - BlockRadiusPx), Truncate(sy - BlockRadiusPx),
                        Truncate(sx + BlockRadiusPx), Truncate(sy + BlockRadiusPx)});
        c.TextOut(Truncate(sx - BlockTextDxPx), Truncate(sy - BlockTextDyPx),
                  std::to_string(n + 1));
    };
    for (int n = 0; n < PaintedBlocks; ++n) {
        if (n != topBlock_) {
            paintOne(n);
        }
    }
    if (topBlock_ >= 0) {
        paintOne(topBlock_);
    }
}

void TFFTDraw::SetTopBlock(int index) {
    const int top = index >= 0 && index < PaintedBlocks ? index : -1;
    if (top == topBlock_) {
        return;
    }
    topBlock_ = top;
    UpdatePaintPage(pages_[PlotPage]);
}

TPoint TFFTDraw::GetBlockPos(int index) const {
    if (!ValidBlock(index)) {
        return TPoint{};
    }
    const auto i = static_cast<std::size_t>(index);
    return TPoint{Truncate(blockX_[i]), Truncate(blockY_[i])};
}

double TFFTDraw::BlockX(int index) const {
    return ValidBlock(index) ? blockX_[static_cast<std::size_t>(index)] : 0.0;
}

double TFFTDraw::BlockY(int index) const {
    return ValidBlock(index) ? blockY_[static_cast<std::size_t>(index)] : 0.0;
}

bool TFFTDraw::BlockHidden(int index) const {
    return ValidBlock(index) && blockHidden_[static_cast<std::size_t>(index)];
}

void TFFTDraw::DrawUserGrid(double x, TColor color) {
    Canvas& c = *pages_[PlotPage].Image;
    c.Pen.Color = color;
    const int col = Truncate(ScreenX(x));
    c.MoveTo(col, 0);
    c.LineTo(col, c.Height());
    UpdatePaintPage(pages_[PlotPage]);
}

void TFFTDraw::DrawUserGrid(double y, double x, TColor color, int index, bool hidden) {
    if (!ValidBlock(index)) {
        return;
    }
    StoreBlock(y, x, color, index, hidden);
    Canvas& c = *pages_[PlotPage].Image;
    c.Pen.Color = color;
    c.Pen.Width = 1;
    const double sx = ScreenX(x);
    const double sy = ScreenY(y);
    c.Rectangle(TRect{Truncate(sx - UserBlockLowPx), Truncate(sy - UserBlockLowPx),
                      Truncate(sx + UserBlockHighPx), Truncate(sy + UserBlockHighPx)});
    UpdatePaintPage(pages_[PlotPage]);
}

} // namespace tq50r::plot
