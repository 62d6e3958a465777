// TFFTDraw: the response plot's model, mapping, layout and drawing, free of any toolkit.
//
// The control keeps a list of curves and a table of numbered markers (blocks), maps data values to
// pixels on linear or logarithmic scales (plus the log-frequency "FFT" scale of a linear X axis),
// divides its area into eight off-screen pages and draws grid, ticks, axes, curves and markers on
// the plot page. Pages are canvases made by the factory given at construction; "the control" is
// one more canvas of the control's size that pages are copied to. A toolkit widget derives from
// this class, supplies real canvases and shows the control canvas.
#pragma once

#include "plot/core/canvas.h"
#include "plot/core/float_text.h"
#include "plot/core/plot_list.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tq50r::plot {

enum class TAxisStyle : std::uint8_t { Box, Centered, CenteredBox, LB, None };
enum class TAxisFormat : std::uint8_t { Linear, Log };
enum class TFFTNumber : std::uint8_t { n256, n512, n1024, n2048 };
enum class TSampleRate : std::uint8_t { n48000, n96000, n192000 };

// One off-screen page: its canvas, where it lies on the control (Dest) and its own extent (Source,
// always from (0, 0)).
struct TPaintPage {
    std::unique_ptr<Canvas> Image;
    TRect Dest;
    TRect Source;

    void Resize(int left, int top, int right, int bottom);
    void Clear(TColor color);
};

// Converts to an integer toward zero, saturating at the int range (NaN gives 0): data far outside
// the view must not overflow a pixel coordinate.
int Truncate(double v);

class TFFTDraw {
public:
    // Initial values of construction.
    static constexpr int InitialWidth = 300;
    static constexpr int InitialHeight = 250;
    static constexpr TColor InitialAxisColor = ColorGreen;
    static constexpr TColor InitialGridColor = ColorDarkGreen;
    static constexpr TColor InitialFontColor = ColorGreen;
    static constexpr double InitialYMax = 15.0;
    static constexpr double InitialYMin = -15.0;
    static constexpr double InitialXMax = 1000.0;
    static constexpr double InitialXMin = 0.0;
    static constexpr int InitialLabelPrecision = 4;
    static constexpr int InitialLabelDigits = 4;
    static constexpr int InitialPointSize = 2;
    static constexpr int InitialTickLength = 6;
    static constexpr int InitialNumVertGrid = 10;
    static constexpr int InitialNumHorzGrid = 5;

    // Property limits.
    static constexpr int MinPointSize = 1;
    static constexpr int MaxPointSize = 10;

    // Layout.
    static constexpr int RightMarginPx = 30;      // blank strip at the right edge
    static constexpr int LayoutStartLeftPx = -30; // the left edge before the Y labels are added
    static constexpr int YLabelGapPx = 4;
    static constexpr double XLabelHeightFactor = 1.2;
    static constexpr int TitleHeightFactor = 2;
    static constexpr int MeasureExponentRange = 100; // texts of 10^k x pi, k = -100 .. 100
    static constexpr double MeasurePi = 3.141592653589793;
    static constexpr int CoordinateMarginPx = 5;
    static constexpr int CoordinateTopGapPx = 4;
    static constexpr int CoordinateExtraHeightPx = 12;

    // The FFT frequency scale: width (ordinal + 1) x 256, top frequency (ordinal + 1) x 24000 Hz.
    static constexpr int FFTScaleStep = 256;
    static constexpr double FFTTopStepHz = 24000.0;
    static constexpr int FFTGridDecades = 14;   // 10 .. 10^14 Hz
    static constexpr int FFTGridPerDecade = 10; // 1 .. 10 x the decade

    // Painting of curves and blocks.
    static constexpr int PlotPenWidth = 2;
    static constexpr TColor PlotColor = rgb(0, 169, 157);
    static constexpr int GuardPages =
        2; // points beyond 2 pages left/up (3 right/down) break the line
    static constexpr int BlockCount = 15;
    static constexpr int PaintedBlocks = 5;
    static constexpr int BlockRadiusPx = 8;
    static constexpr int BlockTextDxPx = 4;
    static constexpr int BlockTextDyPx = 6;
    static constexpr TColor BlockTextColor = ColorRed;
    static constexpr TColor BlockFillColor = ColorWhite;
    static constexpr int UserBlockLowPx = 3;
    static constexpr int UserBlockHighPx = 4;

    explicit TFFTDraw(CanvasFactory factory);
    virtual ~TFFTDraw();
    // A new control with the source's canvas factory, then AssignPlot(source).
    TFFTDraw(const TFFTDraw& source);
    TFFTDraw& operator=(const TFFTDraw&) = delete;

    // ---- inherited control state -------------------------------------------------------------
    virtual int ControlWidth() const { return width_; }
    virtual int ControlHeight() const { return height_; }
    virtual bool ControlVisible() const { return visible_; }
    // True while drawing into the pages would not be seen before the next paint cycle, which
    // draws them whole anyway (a widget whose window is not shown yet): redraws are skipped.
    virtual bool DrawingDeferred() const { return false; }
    // Stores the control's size (a widget also resizes itself); nothing is laid out until Paint.
    virtual void SetControlSize(int width, int height);
    void SetControlVisible(bool visible) { visible_ = visible; }
    TColor Color() const { return color_; }
    void SetColor(TColor c) { color_ = c; }
    Canvas& ControlCanvas() { return *screen_; }

    // ---- published properties ----------------------------------------------------------------
    bool AutoRedraw() const { return autoRedraw_; }
    void SetAutoRedraw(bool v);
    TColor AxisColor() const { return axisColor_; }
    void SetAxisColor(TColor v);
    TAxisStyle AxisStyle() const { return axisStyle_; }
    void SetAxisStyle(TAxisStyle v);
    TAxisFormat XAxisFormat() const { return xAxisFormat_; }
    void SetXAxisFormat(TAxisFormat v);
    TAxisFormat YAxisFormat() const { return yAxisFormat_; }
    void SetYAxisFormat(TAxisFormat v);
    bool ShowXLabel() const { return showXLabel_; }
    void SetShowXLabel(bool v);
    bool ShowYLabel() const { return showYLabel_; }
    void SetShowYLabel(bool v);
    bool ShowCoordinates() const { return showCoordinates_; }
    void SetShowCoordinates(bool v);
    bool YAutoScale() const { return yAutoScale_; }
    void SetYAutoScale(bool v);
    bool XAutoScale() const { return xAutoScale_; }
    void SetXAutoScale(bool v);
    double YMax() const { return yMax_; }
    void SetYMax(double v);
    double YMin() const { return yMin_; }
    void SetYMin(double v);
    double XMax() const { return xMax_; }
    void SetXMax(double v);
    double XMin() const { return xMin_; }
    void SetXMin(double v);
    int YLabelPrecision() const { return yLabelPrecision_; }
    void SetYLabelPrecision(int v);
    int XLabelPrecision() const { return xLabelPrecision_; }
    void SetXLabelPrecision(int v);
    int YLabelDigits() const { return yLabelDigits_; }
    void SetYLabelDigits(int v);
    int XLabelDigits() const { return xLabelDigits_; }
    void SetXLabelDigits(int v);
    TStringFloatFormat YLabelFormat() const { return yLabelFormat_; }
    void SetYLabelFormat(TStringFloatFormat v);
    TStringFloatFormat XLabelFormat() const { return xLabelFormat_; }
    void SetXLabelFormat(TStringFloatFormat v);
    int PointSize() const { return pointSize_; }
    void SetPointSize(int v);
    bool MouseControl() const { return mouseControl_; }
    void SetMouseControl(bool v) { mouseControl_ = v; }
    bool ShowVertGrid() const { return showVertGrid_; }
    void SetShowVertGrid(bool v);
    bool ShowHorzGrid() const { return showHorzGrid_; }
    void SetShowHorzGrid(bool v);
    bool ShowVertTicks() const { return showVertTicks_; }
    void SetShowVertTicks(bool v);
    bool ShowHorzTicks() const { return showHorzTicks_; }
    void SetShowHorzTicks(bool v);
    int VertTickLength() const { return vertTickLength_; }
    void SetVertTickLength(int v);
    int HorzTickLength() const { return horzTickLength_; }
    void SetHorzTickLength(int v);
    int NumVertGrid() const { return numVertGrid_; }
    void SetNumVertGrid(int v);
    int NumHorzGrid() const { return numHorzGrid_; }
    void SetNumHorzGrid(int v);
    TColor GridColor() const { return gridColor_; }
    void SetGridColor(TColor v);
    double MouseX() const { return mouseX_; }
    double MouseY() const { return mouseY_; }
    bool ShowXTitle() const { return showXTitle_; }
    void SetShowXTitle(bool v);
    bool ShowYTitle() const { return showYTitle_; }
    void SetShowYTitle(bool v);
    bool ShowPlotTitle() const { return showPlotTitle_; }
    void SetShowPlotTitle(bool v);
    const std::string& XTitle() const { return xTitle_; }
    void SetXTitle(const std::string& v);
    const std::string& YTitle() const { return yTitle_; }
    void SetYTitle(const std::string& v);
    const std::string& PlotTitle() const { return plotTitle_; }
    void SetPlotTitle(const std::string& v);
    const TPlotFont& PlotTitleFont() const { return plotTitleFont_; }
    void SetPlotTitleFont(const TPlotFont& v);
    const TPlotFont& AxisTitleFont() const { return axisTitleFont_; }
    void SetAxisTitleFont(const TPlotFont& v);
    const TPlotFont& AxisLabelFont() const { return axisLabelFont_; }
    void SetAxisLabelFont(const TPlotFont& v);
    const TPlotFont& MouseCoordFont() const { return mouseCoordFont_; }
    void SetMouseCoordFont(const TPlotFont& v);
    const TPlotFont& Font() const { return font_; }
    std::function<void(TFFTDraw&)> OnChange;
    // The host's paint event, called at the end of every paint cycle.
    std::function<void(TFFTDraw&)> OnPaint;
    TFFTNumber FFTNuimber() const { return fftNumber_; }
    void SetFFTNuimber(TFFTNumber v) { fftNumber_ = v; }
    TSampleRate SampleRate() const { return sampleRate_; }
    void SetSampleRate(TSampleRate v) { sampleRate_ = v; }

    // Width in pixels that the layout reserves for the Y labels instead of measuring them; 0 (the
    // initial value) measures. Relayout; full redraw if AutoRedraw.
    int FixedYLabelWidth() const { return fixedYLabelWidth_; }
    void SetFixedYLabelWidth(int widthPx);

    // ---- plot calls ---------------------------------------------------------------------------
    bool FFTDraw(const double* x, const double* y, int numPoints, int index, TColor color,
                 TPlotStyle style);
    bool FFTDraw(const double* y, int numPoints, int index, TColor color, TPlotStyle style);
    bool FFTDraw(const double* y, int numPoints, double xStart, double xEnd, int index,
                 TColor color, TPlotStyle style);
    bool RemovePlot(int index);

    bool GetPlotStyle(int index, TPlotStyle& style) const;
    bool GetPlotColor(int index, TColor& color) const;
    bool GetPlotNumPoints(int index, int& numPoints) const;
    bool GetPlotX(int index, double* x) const;
    bool GetPlotY(int index, double* y) const;
    bool SetPlotStyle(int index, TPlotStyle style);
    bool SetPlotColor(int index, TColor color);
    const TPlotList& Plots() const { return plots_; }

    // ---- whole-control calls ------------------------------------------------------------------
    void SetXYMinMax(double xMin, double xMax, double yMin, double yMax);
    void AssignPlot(const TFFTDraw& source);
    void AssignPlotData(const TFFTDraw& source);
    void AppendPlotData(const TFFTDraw& source);
    void AssignPlotProperties(const TFFTDraw& source);
    void Redraw();
    void RedrawScreen();
    void ClearPlot();
    int GetPlotWidth() const;
    int GetPlotHeight() const;
    bool SetPlotWidth(int w);
    void Change();

    // ---- mapping ------------------------------------------------------------------------------
    double ScreenX(double x) const;
    double ScreenY(double y) const;
    double FFTScreenX(double x) const { return ScreenX(x); }
    double FFTScreenY(double y) const { return ScreenY(y); }
    // The inverse of ScreenX / ScreenY (data value of a plot-page column / row).
    double DataX(double column) const;
    double DataY(double row) const;
    // Position of frequency f on the FFT scale: log10(f) / log10(Ftop) x S.
    double FFTPosition(double freqHz) const;
    double FFTTopHz() const;
    double FFTScaleWidth() const;

    // ---- layout and drawing -------------------------------------------------------------------
    void ResizePaintPage();
    virtual void Paint();
    void DrawAllPlots();
    void DrawPlotsAndLabels() { DrawAllPlots(); }
    void DrawOnePlot(const TPlotListMember& plot);
    void DrawGrid();
    void DrawTicks();
    void DrawAxis();
    void DrawTitles();
    void UpdatePaintPage(TPaintPage& page);

    // ---- blocks -------------------------------------------------------------------------------
    void DrawBlock(double y, double x, TColor color, int index, bool hidden);
    void BlockPaint();
    // The block painted last, above the others (-1: none, the blocks in index order); repaints.
    void SetTopBlock(int index);
    int TopBlock() const { return topBlock_; }
    TPoint GetBlockPos(int index) const;
    double BlockX(int index) const;
    double BlockY(int index) const;
    bool BlockHidden(int index) const;
    void DrawUserGrid(double x, TColor color);
    void DrawUserGrid(double y, double x, TColor color, int index, bool hidden);

    // ---- pages --------------------------------------------------------------------------------
    enum PageId : int {
        PlotPage,
        XLabelPage,
        YLabelPage,
        PlotTitlePage,
        XTitlePage,
        YTitlePage,
        RightMarginPage,
        CoordinatePage,
        PageCount
    };
    // The coordinate page takes the place the last layout gave it when it is first asked for.
    TPaintPage& Page(PageId id) {
        if (id == CoordinatePage) {
            PlaceCoordinatePage();
        }
        return pages_[id];
    }

protected:
    // Copies a page's source rectangle to the control canvas at its destination rectangle.
    void CopyToControl(TPaintPage& page);
    // Called after the control canvas changed (a widget schedules a repaint of the screen).
    virtual void ControlCanvasChanged() {}

private:
    void SetProperties();
    void Initialize();
    void CleanUp();
    void FindXMaxMin();
    void FindYMaxMin();
    void CompareMaxMin();
    void CalculateLogMaxMin();
    void AutoScaleBoth();
    void RedrawIfAuto();
    void FullRedrawIfAuto();
    void RelayoutAndFullRedraw();
    bool AddOrReplace(const double* x, const double* y, int numPoints, int index, TColor color,
                      TPlotStyle style);
    void AfterPlotChange();
    void EnsureControlCanvas();
    // Sizes the coordinate page for what the last layout saw (if it has not yet): measuring its
    // widest text shapes some two hundred texts, and the page is needed only when coordinates
    // are switched on, so a layout leaves that to the first use.
    void PlaceCoordinatePage();
    int WidestMeasuredText(Canvas& c, const std::string& prefix, TStringFloatFormat format,
                           int precision, int digits, int* lastHeight);
    // Grid positions shared by grid lines and ticks.
    template <typename F> void ForEachHorzGridRow(F&& f) const;
    template <typename F> void ForEachVertGridColumn(F&& f) const;
    static bool ValidBlock(int index) { return index >= 0 && index < BlockCount; }
    void StoreBlock(double y, double x, TColor color, int index, bool hidden);

    CanvasFactory factory_;
    int width_ = InitialWidth;
    int height_ = InitialHeight;
    bool visible_ = true;
    TColor color_ = ColorBlack;

    bool autoRedraw_ = true;
    TColor axisColor_ = InitialAxisColor;
    TAxisStyle axisStyle_ = TAxisStyle::CenteredBox;
    TAxisFormat xAxisFormat_ = TAxisFormat::Linear;
    TAxisFormat yAxisFormat_ = TAxisFormat::Linear;
    bool showXLabel_ = true;
    bool showYLabel_ = true;
    bool showCoordinates_ = true;
    bool yAutoScale_ = true;
    bool xAutoScale_ = true;
    double yMax_ = InitialYMax;
    double yMin_ = InitialYMin;
    double xMax_ = InitialXMax;
    double xMin_ = InitialXMin;
    double lxMin_ = 0.0;
    double lxMax_ = 0.0;
    double lyMin_ = 0.0;
    double lyMax_ = 0.0;
    int yLabelPrecision_ = InitialLabelPrecision;
    int xLabelPrecision_ = InitialLabelPrecision;
    int yLabelDigits_ = InitialLabelDigits;
    int xLabelDigits_ = InitialLabelDigits;
    TStringFloatFormat yLabelFormat_ = TStringFloatFormat::sffGeneral;
    TStringFloatFormat xLabelFormat_ = TStringFloatFormat::sffGeneral;
    int pointSize_ = InitialPointSize;
    bool mouseControl_ = true;
    bool showVertGrid_ = true;
    bool showHorzGrid_ = true;
    bool showVertTicks_ = true;
    bool showHorzTicks_ = true;
    int vertTickLength_ = InitialTickLength;
    int horzTickLength_ = InitialTickLength;
    int numVertGrid_ = InitialNumVertGrid;
    int numHorzGrid_ = InitialNumHorzGrid;
    TColor gridColor_ = InitialGridColor;
    double mouseX_ = 0.0;
    double mouseY_ = 0.0;
    bool showXTitle_ = true;
    bool showYTitle_ = true;
    bool showPlotTitle_ = true;
    std::string xTitle_ = "Frequency ";
    std::string yTitle_ = "dB";
    std::string plotTitle_ = "Frequency Response";
    TPlotFont plotTitleFont_;
    TPlotFont axisTitleFont_;
    TPlotFont axisLabelFont_;
    TPlotFont mouseCoordFont_;
    TPlotFont font_;
    TFFTNumber fftNumber_ = TFFTNumber::n1024;
    TSampleRate sampleRate_ = TSampleRate::n48000;
    int fixedYLabelWidth_ = 0;

    std::array<double, BlockCount> blockX_{};
    std::array<double, BlockCount> blockY_{};
    std::array<TColor, BlockCount> blockColor_{};
    std::array<bool, BlockCount> blockHidden_{};
    int topBlock_ = -1;

    int lastWidth_ = 0;
    int lastHeight_ = 0;

    // What the last layout that showed coordinates saw, for PlaceCoordinatePage.
    struct CoordinateLayout {
        int controlWidth = 0;
        int top = 0;
        TPlotFont font;
        TStringFloatFormat format = TStringFloatFormat::sffGeneral;
        int precision = 0;
        int digits = 0;
    };
    std::optional<CoordinateLayout> pendingCoordinates_;

    TPlotList plots_;
    std::array<TPaintPage, PageCount> pages_;
    std::unique_ptr<Canvas> screen_;
};

} // namespace tq50r::plot
