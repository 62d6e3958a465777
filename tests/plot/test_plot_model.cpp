// The plot list, the plot calls, scaling rules and the side effects of the property setters.
#include "plot/core/fft_draw.h"
#include "plot/recording_canvas.h"

#include <gtest/gtest.h>
#include <vector>

namespace tq50r::plot {
namespace {

using testing::ClearRecords;
using testing::PlotClears;
using testing::RecordingFactory;

std::vector<int> Indexes(const TFFTDraw& d) {
    std::vector<int> out;
    for (auto* m = d.Plots().First(); m != nullptr; m = m->Next.get()) {
        out.push_back(m->Index);
    }
    return out;
}

TEST(PlotList, NewPlotsGoToTheHeadAndReplacingKeepsColourAndStyle) {
    TFFTDraw d(RecordingFactory());
    const double x1[] = {1, 2, 3};
    const double y1[] = {4, 5, 6};
    EXPECT_FALSE(d.FFTDraw(x1, y1, 3, 7, 0x11, TPlotStyle::Points));
    EXPECT_FALSE(d.FFTDraw(x1, y1, 2, 9, 0x22, TPlotStyle::Line));
    EXPECT_EQ(Indexes(d), (std::vector<int>{9, 7}));

    const double x2[] = {10, 20};
    const double y2[] = {30, 40};
    EXPECT_TRUE(d.FFTDraw(x2, y2, 2, 7, 0x33, TPlotStyle::LinePoints));
    EXPECT_EQ(Indexes(d), (std::vector<int>{9, 7})); // replaced in place
    TColor color = 0;
    TPlotStyle style = TPlotStyle::Line;
    int n = 0;
    ASSERT_TRUE(d.GetPlotColor(7, color));
    ASSERT_TRUE(d.GetPlotStyle(7, style));
    ASSERT_TRUE(d.GetPlotNumPoints(7, n));
    EXPECT_EQ(color, 0x11u);
    EXPECT_EQ(style, TPlotStyle::Points);
    EXPECT_EQ(n, 2);
    double xs[2] = {};
    double ys[2] = {};
    ASSERT_TRUE(d.GetPlotX(7, xs));
    ASSERT_TRUE(d.GetPlotY(7, ys));
    EXPECT_EQ(xs[1], 20);
    EXPECT_EQ(ys[0], 30);
}

TEST(PlotList, CallerKeepsItsArrays) {
    TFFTDraw d(RecordingFactory());
    std::vector<double> y{1, 2, 3};
    d.FFTDraw(y.data(), 3, 0, 0, TPlotStyle::Line);
    y.assign(3, 99.0);
    double out[3] = {};
    d.GetPlotY(0, out);
    EXPECT_EQ(out[2], 3);
}

TEST(PlotList, GeneratedXValues) {
    TFFTDraw d(RecordingFactory());
    const double y[] = {0, 0, 0, 0, 0};
    d.FFTDraw(y, 5, 1, 0, TPlotStyle::Line);
    d.FFTDraw(y, 5, 10.0, 20.0, 2, 0, TPlotStyle::Line);
    d.FFTDraw(y, 1, 10.0, 20.0, 3, 0, TPlotStyle::Line); // one point: no division by zero
    double x[5] = {};
    d.GetPlotX(1, x);
    EXPECT_EQ(x[4], 4.0);
    d.GetPlotX(2, x);
    EXPECT_DOUBLE_EQ(x[1], 12.5);
    EXPECT_DOUBLE_EQ(x[4], 20.0);
    d.GetPlotX(3, x);
    EXPECT_EQ(x[0], 10.0);
}

TEST(PlotList, LookupsOfMissingPlotsChangeNothing) {
    TFFTDraw d(RecordingFactory());
    const double y[] = {1, 2};
    d.FFTDraw(y, 2, 1, 0x44, TPlotStyle::Line);
    TColor color = 0x99;
    int n = -1;
    EXPECT_FALSE(d.GetPlotColor(5, color));
    EXPECT_FALSE(d.GetPlotNumPoints(5, n));
    EXPECT_FALSE(d.SetPlotStyle(5, TPlotStyle::Points));
    EXPECT_FALSE(d.SetPlotColor(5, 0));
    EXPECT_FALSE(d.RemovePlot(5));
    EXPECT_EQ(color, 0x99u);
    EXPECT_EQ(n, -1);
    EXPECT_TRUE(d.RemovePlot(1));
    EXPECT_TRUE(d.Plots().Empty());
}

TEST(PlotList, CopiesReverseAndAppendReplacesByIndex) {
    TFFTDraw a(RecordingFactory());
    const double y[] = {1, 2};
    a.FFTDraw(y, 2, 1, 0xA, TPlotStyle::Line);   // A
    a.FFTDraw(y, 2, 2, 0xB, TPlotStyle::Points); // B, now the head
    ASSERT_EQ(Indexes(a), (std::vector<int>{2, 1}));

    TFFTDraw b(RecordingFactory());
    b.AssignPlotData(a);
    EXPECT_EQ(Indexes(b), (std::vector<int>{1, 2}));

    TFFTDraw c(RecordingFactory());
    const double other[] = {5, 6, 7};
    c.FFTDraw(other, 3, 1, 0xC, TPlotStyle::LinePoints);
    c.FFTDraw(other, 3, 3, 0xD, TPlotStyle::Line);
    c.AppendPlotData(a);
    // Plot 1 replaced in place (keeps colour 0xC), plot 2 new at the head.
    EXPECT_EQ(Indexes(c), (std::vector<int>{2, 3, 1}));
    TColor color = 0;
    int n = 0;
    c.GetPlotColor(1, color);
    c.GetPlotNumPoints(1, n);
    EXPECT_EQ(color, 0xCu);
    EXPECT_EQ(n, 2);
    c.GetPlotColor(2, color);
    EXPECT_EQ(color, 0xBu);

    // Appending a control to itself changes no points.
    c.AppendPlotData(c);
    EXPECT_EQ(Indexes(c), (std::vector<int>{2, 3, 1}));
    c.GetPlotNumPoints(3, n);
    EXPECT_EQ(n, 3);
}

TEST(PlotList, AssignPlotCopiesListAndPropertiesButNotSampleRate) {
    TFFTDraw a(RecordingFactory());
    a.SetYAxisFormat(TAxisFormat::Log);
    const double x[] = {1, 10};
    const double y[] = {1, 100};
    a.FFTDraw(x, y, 2, 4, 0, TPlotStyle::Line);
    a.SetGridColor(0x123456);
    a.SetPlotTitle("T");
    a.SetSampleRate(TSampleRate::n192000);
    a.SetFFTNuimber(TFFTNumber::n256);

    TFFTDraw b(RecordingFactory());
    b.AssignPlot(a);
    EXPECT_EQ(Indexes(b), (std::vector<int>{4}));
    EXPECT_EQ(b.GridColor(), 0x123456u);
    EXPECT_EQ(b.PlotTitle(), "T");
    EXPECT_EQ(b.FFTNuimber(), TFFTNumber::n256);
    EXPECT_EQ(b.SampleRate(), TSampleRate::n48000);
    // The log mapping works with the copied range at once.
    b.SetControlSize(300, 250);
    b.ResizePaintPage();
    EXPECT_NEAR(b.ScreenY(100), 0.0, 1e-9);

    b.AssignPlot(b); // onto itself: the list survives
    EXPECT_EQ(Indexes(b), (std::vector<int>{4}));

    const double y2[] = {3, 4};
    a.FFTDraw(y2, 2, 5, 0, TPlotStyle::Line);
    const TFFTDraw copy(a); // copy construction assigns the whole plot
    EXPECT_EQ(Indexes(copy), (std::vector<int>{4, 5}));
    EXPECT_EQ(copy.GridColor(), 0x123456u);
}

TEST(Scaling, AutoScaleFollowsTheDataAndAnEmptyListGivesMinusOneToOne) {
    TFFTDraw d(RecordingFactory());
    const double x[] = {3, -2, 8};
    const double y[] = {0.5, 7, -4};
    d.FFTDraw(x, y, 3, 0, 0, TPlotStyle::Line);
    EXPECT_EQ(d.XMin(), -2);
    EXPECT_EQ(d.XMax(), 8);
    EXPECT_EQ(d.YMin(), -4);
    EXPECT_EQ(d.YMax(), 7);
    d.RemovePlot(0);
    EXPECT_EQ(d.XMin(), -1);
    EXPECT_EQ(d.XMax(), 1);
    EXPECT_EQ(d.YMin(), -1);
    EXPECT_EQ(d.YMax(), 1);
}

TEST(Scaling, AnEmptyHeadPlotDoesNotSeedTheRange) {
    TFFTDraw d(RecordingFactory());
    const double x[] = {4, 6};
    d.FFTDraw(x, x, 2, 0, 0, TPlotStyle::Line);
    d.FFTDraw(x, x, 0, 1, 0, TPlotStyle::Line); // head without points
    EXPECT_EQ(d.XMin(), 4);
    EXPECT_EQ(d.XMax(), 6);
}

TEST(Scaling, AutoScaleOffKeepsTheView) {
    TFFTDraw d(RecordingFactory());
    d.SetXAutoScale(false);
    d.SetYAutoScale(false);
    d.SetXYMinMax(256, 1024, -30, 18);
    const double y[] = {100, -100};
    d.FFTDraw(y, 2, 0, 0, TPlotStyle::Line);
    EXPECT_EQ(d.XMin(), 256);
    EXPECT_EQ(d.XMax(), 1024);
    EXPECT_EQ(d.YMin(), -30);
    EXPECT_EQ(d.YMax(), 18);
}

TEST(Scaling, RangeCheckOnLinearAndLogAxes) {
    TFFTDraw d(RecordingFactory());
    d.SetYAutoScale(false);
    d.SetXAutoScale(false);
    d.SetYMin(4);
    d.SetYMax(4);
    EXPECT_EQ(d.YMax(), 5);
    d.SetYAxisFormat(TAxisFormat::Log);
    d.SetYMax(4);
    EXPECT_EQ(d.YMax(), 40);
    d.SetXMin(3);
    d.SetXMax(3);
    EXPECT_EQ(d.XMax(), 4);
}

TEST(Scaling, LogLimitRulesUseTheirOwnFactors) {
    TFFTDraw d(RecordingFactory());
    d.SetYAutoScale(false);
    d.SetXAutoScale(false);
    d.SetYMax(-5);
    d.SetYAxisFormat(TAxisFormat::Log); // setter: max not above 0 -> 10 and 1
    EXPECT_EQ(d.YMax(), 10);
    EXPECT_EQ(d.YMin(), 1);
    d.SetXYMinMax(1, 10, 0, 100); // the rule alone: YMin = 0.01 x YMax
    EXPECT_DOUBLE_EQ(d.YMin(), 1);

    TFFTDraw e(RecordingFactory());
    e.SetYAutoScale(false);
    e.SetYMin(0);
    e.SetYMax(50);
    e.SetYAxisFormat(TAxisFormat::Log); // setter: 0.1 x YMax
    EXPECT_DOUBLE_EQ(e.YMin(), 5);

    TFFTDraw f(RecordingFactory());
    f.SetXAutoScale(false);
    f.SetXYMinMax(-3, 200, -1, 1);
    f.SetXAxisFormat(TAxisFormat::Log); // X uses 0.1 in both places
    EXPECT_DOUBLE_EQ(f.XMin(), 20);
    f.SetXMin(0);
    EXPECT_DOUBLE_EQ(f.XMin(), 20);
}

TEST(Scaling, SetXYMinMaxAppliesTheLogRuleBeforeTheRangeCheck) {
    TFFTDraw d(RecordingFactory());
    d.SetYAutoScale(false);
    d.SetYAxisFormat(TAxisFormat::Log);
    // The log rule turns max -1 into 10, equal to min; the range check then separates them.
    d.SetXYMinMax(0, 1, 10, -1);
    EXPECT_EQ(d.YMin(), 10);
    EXPECT_EQ(d.YMax(), 100);
    d.SetXYMinMax(0, 1, 0, 0);
    EXPECT_EQ(d.YMax(), 10);
    EXPECT_DOUBLE_EQ(d.YMin(), 0.1);
}

struct ClampCase {
    const char* name;
    void (TFFTDraw::*set)(int);
    int (TFFTDraw::*get)() const;
    int written;
    int stored;
};

TEST(Properties, ClampsOnWrite) {
    const ClampCase cases[] = {
        {"PointSize 0", &TFFTDraw::SetPointSize, &TFFTDraw::PointSize, 0, 1},
        {"PointSize 25", &TFFTDraw::SetPointSize, &TFFTDraw::PointSize, 25, 10},
        {"PointSize 7", &TFFTDraw::SetPointSize, &TFFTDraw::PointSize, 7, 7},
        {"NumHorzGrid -3", &TFFTDraw::SetNumHorzGrid, &TFFTDraw::NumHorzGrid, -3, 0},
        {"NumVertGrid -1", &TFFTDraw::SetNumVertGrid, &TFFTDraw::NumVertGrid, -1, 0},
        {"VertTickLength > height", &TFFTDraw::SetVertTickLength, &TFFTDraw::VertTickLength, 400,
         250},
        {"VertTickLength < 0", &TFFTDraw::SetVertTickLength, &TFFTDraw::VertTickLength, -2, 0},
        {"HorzTickLength > width", &TFFTDraw::SetHorzTickLength, &TFFTDraw::HorzTickLength, 400,
         300},
    };
    for (const auto& c : cases) {
        TFFTDraw d(RecordingFactory());
        (d.*c.set)(c.written);
        EXPECT_EQ((d.*c.get)(), c.stored) << c.name;
    }
}

TEST(Properties, InitialValues) {
    TFFTDraw d(RecordingFactory());
    EXPECT_TRUE(d.AutoRedraw());
    EXPECT_EQ(d.AxisColor(), 0x0000FF00u);
    EXPECT_EQ(d.GridColor(), 0x00008000u);
    EXPECT_EQ(d.AxisStyle(), TAxisStyle::CenteredBox);
    EXPECT_EQ(d.YMax(), 15);
    EXPECT_EQ(d.YMin(), -15);
    EXPECT_EQ(d.XMax(), 1000);
    EXPECT_EQ(d.XMin(), 0);
    EXPECT_EQ(d.NumVertGrid(), 10);
    EXPECT_EQ(d.NumHorzGrid(), 5);
    EXPECT_EQ(d.XTitle(), "Frequency ");
    EXPECT_EQ(d.YTitle(), "dB");
    EXPECT_EQ(d.PlotTitle(), "Frequency Response");
    EXPECT_EQ(d.AxisLabelFont().Color, 0x0000FF00u);
    EXPECT_EQ(d.FFTNuimber(), TFFTNumber::n1024);
    EXPECT_EQ(d.ControlWidth(), 300);
    EXPECT_EQ(d.ControlHeight(), 250);
    EXPECT_EQ(d.Color(), 0x00000000u);
    // Nothing is drawn or laid out until the first paint.
    EXPECT_EQ(d.GetPlotWidth(), 0);
    EXPECT_TRUE(testing::Screen(d).ops.empty());
}

// Each row: a setter call and how many whole-plot redraws it causes with AutoRedraw on.
struct RedrawCase {
    const char* name;
    void (*write)(TFFTDraw&);
    int redrawsWhenAuto;
};

TEST(Properties, SettersRedrawOnlyWhileAutoRedraw) {
    const RedrawCase cases[] = {
        {"AxisStyle", [](TFFTDraw& d) { d.SetAxisStyle(TAxisStyle::Box); }, 1},
        {"YMax", [](TFFTDraw& d) { d.SetYMax(20); }, 1},
        {"PointSize", [](TFFTDraw& d) { d.SetPointSize(3); }, 1},
        {"GridColor", [](TFFTDraw& d) { d.SetGridColor(1); }, 1},
        {"NumHorzGrid", [](TFFTDraw& d) { d.SetNumHorzGrid(3); }, 1},
        {"ShowXLabel", [](TFFTDraw& d) { d.SetShowXLabel(false); }, 1},
        {"YLabelPrecision", [](TFFTDraw& d) { d.SetYLabelPrecision(2); }, 1},
        {"XAxisFormat", [](TFFTDraw& d) { d.SetXAxisFormat(TAxisFormat::Log); }, 1},
        {"SetXYMinMax", [](TFFTDraw& d) { d.SetXYMinMax(0, 1, 0, 1); }, 1},
        {"FFTDraw",
         [](TFFTDraw& d) {
             const double y[] = {1, 2};
             d.FFTDraw(y, 2, 0, 0, TPlotStyle::Line);
         },
         1},
        {"XTitle", [](TFFTDraw& d) { d.SetXTitle("x"); }, 0},
        {"MouseControl", [](TFFTDraw& d) { d.SetMouseControl(false); }, 0},
        {"AxisColor", [](TFFTDraw& d) { d.SetAxisColor(1); }, 0},
    };
    for (const auto& c : cases) {
        for (const bool autoRedraw : {true, false}) {
            TFFTDraw d(RecordingFactory());
            d.Paint();
            d.SetAutoRedraw(autoRedraw);
            ClearRecords(d);
            c.write(d);
            EXPECT_EQ(PlotClears(d), autoRedraw ? c.redrawsWhenAuto : 0)
                << c.name << (autoRedraw ? " auto" : " manual");
        }
    }
}

TEST(Properties, AxisColorDrawsTheAxesWithoutCopying) {
    TFFTDraw d(RecordingFactory());
    d.Paint();
    ClearRecords(d);
    d.SetAxisColor(0x00ABCDEF);
    auto& plot = testing::Rec(d, TFFTDraw::PlotPage);
    ASSERT_EQ(plot.Count(testing::Op::FrameRect), 1);
    EXPECT_EQ(plot.Of(testing::Op::FrameRect)[0].brush.Color, 0x00ABCDEFu);
    EXPECT_TRUE(testing::Screen(d).ops.empty());
}

TEST(Properties, TitleAndFontSettersRelayout) {
    TFFTDraw d(RecordingFactory(7, 13));
    d.Paint();
    const int top = d.Page(TFFTDraw::PlotPage).Dest.Top;
    EXPECT_EQ(top, 26); // 2 x the plot title's height
    TPlotFont big = d.PlotTitleFont();
    big.SizePt = 20;
    d.SetYTitle("level"); // relayout even with the same metrics
    d.SetShowPlotTitle(false);
    EXPECT_EQ(d.Page(TFFTDraw::PlotPage).Dest.Top, 0);
    d.SetPlotTitleFont(big);
    EXPECT_EQ(d.Font().SizePt, 20);
    EXPECT_EQ(d.Page(TFFTDraw::PlotTitlePage).Image->Font.SizePt, 20);
}

TEST(Properties, ChangeCallsTheHandler) {
    TFFTDraw d(RecordingFactory());
    int calls = 0;
    d.Change(); // no handler: nothing
    d.OnChange = [&](TFFTDraw& sender) {
        EXPECT_EQ(&sender, &d);
        ++calls;
    };
    d.Change();
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace tq50r::plot
