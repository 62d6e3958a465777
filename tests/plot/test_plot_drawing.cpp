// What the plot draws: grid, ticks, axes, curves with their guard band and styles, blocks,
// titles, the page copies, and the pen width carried from one step to the next.
#include "plot/core/fft_draw.h"
#include "plot/core/main_graph.h"
#include "plot/recording_canvas.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace tq50r::plot {
namespace {

using testing::ClearRecords;
using testing::Op;
using testing::Rec;
using testing::RecordingCanvas;
using testing::RecordingFactory;

constexpr TColor CurveColor = 0x009DA900;

struct MainGraph : ::testing::Test {
    TFFTDraw d{RecordingFactory()};
    void SetUp() override {
        configureMainWindowGraph(d);
        // All five markers hidden unless a test shows them.
        for (int n = 0; n < 5; ++n) {
            d.DrawBlock(0, 0, ColorWhite, n, true);
        }
    }
    RecordingCanvas& plot() { return Rec(d, TFFTDraw::PlotPage); }
    void Redraw() {
        ClearRecords(d);
        d.DrawAllPlots();
    }
    // The curve's moves and lines: only the curve uses its colour.
    std::vector<Op> CurveSteps() {
        std::vector<Op> steps;
        for (const auto& op : plot().ops) {
            if ((op.kind == Op::LineTo || op.kind == Op::MoveTo) && op.pen.Color == CurveColor) {
                steps.push_back(op);
            }
        }
        return steps;
    }
    // Full-width horizontal lines and full-height vertical lines in a colour.
    std::vector<int> HorizontalRows(TColor color, int toX) {
        std::vector<int> rows;
        for (const auto& op : plot().Of(Op::LineTo)) {
            if (op.pen.Color == color && op.from.X == 0 && op.to.X == toX && op.from.Y == op.to.Y) {
                rows.push_back(op.to.Y);
            }
        }
        return rows;
    }
    std::vector<int> VerticalColumns(TColor color, int fromY, int toY) {
        std::vector<int> cols;
        for (const auto& op : plot().Of(Op::LineTo)) {
            if (op.pen.Color == color && op.from.X == op.to.X && op.from.Y == fromY &&
                op.to.Y == toY) {
                cols.push_back(op.to.X);
            }
        }
        return cols;
    }
};

std::vector<Op::Kind> Kinds(const std::vector<Op>& ops) {
    std::vector<Op::Kind> kinds;
    for (const auto& op : ops) {
        kinds.push_back(op.kind);
    }
    return kinds;
}

// Column of a frequency on the main graph, computed from the scale's definition.
int ColumnOfHz(double hz) {
    const double u = 1024.0 * std::log10(hz) / std::log10(24000.0);
    return static_cast<int>(749.0 * (u - 256.0) / 768.0);
}

TEST_F(MainGraph, HorizontalGridEvery3DbFromMinus27ToPlus15) {
    d.SetGridColor(0x00112233); // distinguishes grid from the white frame and axis
    Redraw();
    std::vector<int> expected;
    for (int db = -27; db <= 15; db += 3) {
        expected.push_back(static_cast<int>(201.0 - 201.0 * (db + 30) / 48.0));
    }
    std::vector<int> rows = HorizontalRows(0x00112233, 749);
    std::sort(rows.begin(), rows.end(), std::greater<>());
    EXPECT_EQ(rows, expected);
    ASSERT_EQ(rows.size(), 15u);
    EXPECT_EQ(rows[9], 75); // 0 dB
}

TEST_F(MainGraph, VerticalGridAtDecadeStepsFrom20HzTo20kHz) {
    d.SetGridColor(0x00112233);
    Redraw();
    std::set<int> inside;
    for (int col : VerticalColumns(0x00112233, 0, 201)) {
        if (col >= 0 && col < 749) {
            inside.insert(col);
        }
    }
    std::set<int> expected;
    for (double decade : {10.0, 100.0, 1000.0}) {
        for (int j = decade == 10.0 ? 2 : 1; j <= 9; ++j) {
            expected.insert(ColumnOfHz(decade * j));
        }
    }
    expected.insert(ColumnOfHz(10000));
    expected.insert(ColumnOfHz(20000));
    EXPECT_EQ(inside, expected);
    EXPECT_EQ(inside.size(), 28u); // 8 + 9 + 9 + 2
    EXPECT_LT(ColumnOfHz(10), 0);
    EXPECT_GT(ColumnOfHz(30000), 749);
}

TEST_F(MainGraph, TicksInAxisColourAtTheGridPlaces) {
    d.SetAxisColor(0x00445566);
    Redraw();
    EXPECT_EQ(HorizontalRows(0x00445566, 6).size(), 15u); // HorzTickLength 6
    // Linear X: from the bottom up VertTickLength + 2.
    const auto ticks = VerticalColumns(0x00445566, 201, 201 - 6 - 2);
    EXPECT_EQ(ticks.size(), 140u); // every decade line, inside the page or not
    EXPECT_EQ(std::count(ticks.begin(), ticks.end(), ColumnOfHz(1000)), 2);
}

TEST_F(MainGraph, AxesFrameAndZeroLine) {
    Redraw();
    const auto frames = plot().Of(Op::FrameRect);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].rect, (TRect{0, 0, 749, 201}));
    EXPECT_EQ(frames[0].brush.Color, ColorWhite);
    // The 0 dB line and the x = 0 line, which lies left of the page.
    EXPECT_EQ(HorizontalRows(ColorWhite, 749).size(), 16u); // 15 grid rows + the 0 dB line
    EXPECT_EQ(VerticalColumns(ColorWhite, 0, 201).back(), -249);
}

TEST_F(MainGraph, AxisStyles) {
    struct Case {
        TAxisStyle style;
        int frames;
        int extraLines; // lines beyond grid and ticks
    };
    for (const Case c : {Case{TAxisStyle::Box, 1, 0}, Case{TAxisStyle::Centered, 0, 2},
                         Case{TAxisStyle::CenteredBox, 1, 2}, Case{TAxisStyle::LB, 0, 2},
                         Case{TAxisStyle::None, 0, 0}}) {
        d.SetAxisStyle(c.style);
        Redraw();
        EXPECT_EQ(plot().Count(Op::FrameRect), c.frames) << static_cast<int>(c.style);
        // Grid 15 + 140, ticks 15 + 140.
        EXPECT_EQ(plot().Count(Op::LineTo), 310 + c.extraLines) << static_cast<int>(c.style);
    }
    d.SetAxisStyle(TAxisStyle::LB);
    Redraw();
    const auto lines = plot().Of(Op::LineTo);
    EXPECT_EQ(lines[lines.size() - 2].to, (TPoint{0, 200}));
    EXPECT_EQ(lines.back().to, (TPoint{749, 200}));
}

TEST_F(MainGraph, CurveIsOnePolylineInTheFixedColour) {
    std::vector<double> y(1024, 0.0);
    ClearRecords(d);
    d.FFTDraw(y.data(), 1024, 0, ColorRed, TPlotStyle::Line);
    std::vector<Op> curve;
    for (const auto& op : plot().ops) {
        if ((op.kind == Op::LineTo || op.kind == Op::MoveTo) && op.pen.Width == 2) {
            curve.push_back(op);
        }
    }
    ASSERT_EQ(curve.size(), 1025u); // move to point 0, then a line to every point
    EXPECT_EQ(curve[0].kind, Op::MoveTo);
    EXPECT_EQ(curve[1].kind, Op::LineTo);
    EXPECT_EQ(curve[1].to, curve[0].to); // point 0 again
    EXPECT_EQ(curve[1].pen.Color, CurveColor);
    EXPECT_EQ(curve.back().to, (TPoint{Truncate(d.ScreenX(1023)), 75}));
    EXPECT_EQ(curve[0].to, (TPoint{-249, 75}));
}

TEST_F(MainGraph, FarPointsBreakTheLine) {
    // y 1e9 is far above; y 40 dB lies above the page but within the guard band.
    const double x[] = {300, 400, 500, 600, 700};
    const double y[] = {0, 1e9, 0, 40, -1e300};
    ClearRecords(d);
    d.FFTDraw(x, y, 5, 0, 0, TPlotStyle::Line);
    const std::vector<Op> curve = CurveSteps();
    ASSERT_EQ(curve.size(), 6u);
    EXPECT_EQ(curve[1].kind, Op::LineTo);
    EXPECT_EQ(curve[2].kind, Op::MoveTo); // 1e9: move only
    EXPECT_LT(curve[2].to.Y, -402);
    EXPECT_EQ(curve[3].kind, Op::LineTo); // continues with the next point
    EXPECT_EQ(curve[4].kind, Op::LineTo); // 40 dB: drawn, the page clips it
    EXPECT_EQ(curve[4].to.Y, Truncate(d.ScreenY(40)));
    EXPECT_EQ(curve[5].kind, Op::MoveTo); // far below: saturated, not wrapped around
    EXPECT_EQ(curve[5].to.Y, INT_MAX);
}

TEST_F(MainGraph, GuardBandEdges) {
    // Columns: -2W is inside, 3W is outside.
    const double lo = d.DataX(-2.0 * 749);
    const double hi = d.DataX(3.0 * 749);
    const double x[] = {lo + 1e-6, hi, hi - 1e-3};
    const double y[] = {0, 0, 0};
    ClearRecords(d);
    d.FFTDraw(x, y, 3, 0, 0, TPlotStyle::Line);
    EXPECT_EQ(Kinds(CurveSteps()),
              (std::vector<Op::Kind>{Op::MoveTo, Op::LineTo, Op::MoveTo, Op::LineTo}));
}

std::vector<Op> CurveOps(TFFTDraw& d, TPlotStyle style) {
    const double x[] = {300, 500};
    const double y[] = {0, 6};
    ClearRecords(d);
    d.FFTDraw(x, y, 2, 0, 0, style);
    d.SetPlotStyle(0, style);
    ClearRecords(d);
    d.DrawAllPlots();
    std::vector<Op> out;
    for (const auto& op : Rec(d, TFFTDraw::PlotPage).ops) {
        const bool shape =
            op.kind == Op::MoveTo || op.kind == Op::LineTo || op.kind == Op::Rectangle;
        if (shape && op.pen.Color == CurveColor) {
            out.push_back(op);
        }
    }
    return out;
}

TEST_F(MainGraph, PlotStyles) {
    d.SetPointSize(3);
    const auto points = CurveOps(d, TPlotStyle::Points);
    ASSERT_EQ(points.size(), 3u); // move, two squares
    EXPECT_EQ(points[1].kind, Op::Rectangle);
    const int sx = Truncate(d.ScreenX(300));
    EXPECT_EQ(points[1].rect, (TRect{sx - 3, 75 - 3, sx + 3, 75 + 3}));
    EXPECT_EQ(points[1].brush.Color, CurveColor);

    EXPECT_EQ(Kinds(CurveOps(d, TPlotStyle::LinePoints)),
              (std::vector<Op::Kind>{Op::MoveTo, Op::LineTo, Op::Rectangle, Op::MoveTo, Op::LineTo,
                                     Op::Rectangle, Op::MoveTo}));

    const auto sameAs = [&](TPlotStyle a, TPlotStyle b) {
        const auto x = CurveOps(d, a);
        const auto y = CurveOps(d, b);
        if (x.size() != y.size()) {
            return false;
        }
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (x[i].kind != y[i].kind || x[i].to != y[i].to || !(x[i].rect == y[i].rect)) {
                return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(sameAs(TPlotStyle::Points, TPlotStyle::PointsAlt));
    EXPECT_TRUE(sameAs(TPlotStyle::LinePoints, TPlotStyle::LinePointsAlt));
    EXPECT_FALSE(sameAs(TPlotStyle::Line, TPlotStyle::Points));
}

TEST_F(MainGraph, NewestPlotIsDrawnFirst) {
    const double y1[] = {-20, -20};
    const double y2[] = {10, 10};
    d.FFTDraw(y1, 2, 300.0, 600.0, 1, 0, TPlotStyle::Line);
    d.FFTDraw(y2, 2, 300.0, 600.0, 2, 0, TPlotStyle::Line);
    Redraw();
    std::vector<int> rows;
    for (const auto& op : CurveSteps()) {
        if (op.kind == Op::MoveTo) {
            rows.push_back(op.to.Y);
        }
    }
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], Truncate(d.ScreenY(10)));
    EXPECT_EQ(rows[1], Truncate(d.ScreenY(-20)));
}

TEST_F(MainGraph, OnlyShownBlocksAmongTheFirstFiveAreNumberedDiscs) {
    const bool hidden[] = {false, true, false, false, true};
    for (int n = 0; n < 5; ++n) {
        d.DrawBlock(-6.0 + n, 300.0 + 100 * n, 0x00123456, n, hidden[n]);
    }
    d.DrawBlock(0, 500, ColorWhite, 7, false); // stored, never painted
    Redraw();
    const auto discs = plot().Of(Op::Ellipse);
    const auto texts = plot().Of(Op::TextOut);
    ASSERT_EQ(discs.size(), 3u);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].text, "1");
    EXPECT_EQ(texts[1].text, "3");
    EXPECT_EQ(texts[2].text, "4");
    const double sx = d.ScreenX(500);
    const double sy = d.ScreenY(-4);
    EXPECT_EQ(discs[1].rect,
              (TRect{Truncate(sx - 8), Truncate(sy - 8), Truncate(sx + 8), Truncate(sy + 8)}));
    EXPECT_EQ(discs[1].pen, (TPen{ColorWhite, 1}));
    EXPECT_EQ(discs[1].brush.Color, ColorWhite); // the stored colour is not used
    EXPECT_EQ(texts[1].to, (TPoint{Truncate(sx - 4), Truncate(sy - 6)}));
    EXPECT_EQ(texts[1].font.Color, ColorRed);
    EXPECT_EQ(d.GetBlockPos(7), (TPoint{500, 0}));
}

TEST_F(MainGraph, BlockPositionsTruncateTowardZero) {
    d.DrawBlock(-4.5, 701.33, ColorWhite, 2, false);
    EXPECT_EQ(d.GetBlockPos(2), (TPoint{701, -4}));
    d.DrawBlock(1, 1, ColorWhite, 15, false); // no such entry: ignored
    d.DrawBlock(1, 1, ColorWhite, -1, false);
    EXPECT_EQ(d.GetBlockPos(15), (TPoint{0, 0}));
}

TEST_F(MainGraph, DrawBlockRepaintsWithoutClearingAndCopiesThePlotPage) {
    ClearRecords(d);
    d.DrawBlock(0, 600, ColorWhite, 0, false);
    EXPECT_EQ(testing::PlotClears(d), 0);
    EXPECT_EQ(plot().Count(Op::Ellipse), 1);
    const auto copies = testing::Screen(d).Of(Op::CopyRect);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].source, &plot());
    EXPECT_EQ(copies[0].rect, (TRect{30, 0, 779, 201}));
    EXPECT_EQ(copies[0].sourceRect, (TRect{0, 0, 749, 201}));
}

TEST_F(MainGraph, PenWidthCarriesOverBetweenRedraws) {
    std::vector<double> y(1024, 0.0);
    d.FFTDraw(y.data(), 1024, 0, ColorRed, TPlotStyle::Line);
    // All blocks hidden: nothing resets the width the curve left behind.
    Redraw();
    EXPECT_EQ(plot().Of(Op::FrameRect)[0].pen.Width, 2);
    EXPECT_EQ(plot().Of(Op::LineTo)[0].pen.Width, 2); // the first grid line
    // One shown block sets width 1 after the curve, so the next grid is thin again.
    d.DrawBlock(0, 600, ColorWhite, 3, false);
    Redraw();
    EXPECT_EQ(plot().Of(Op::LineTo)[0].pen.Width, 1);
}

TEST_F(MainGraph, UserGrid) {
    ClearRecords(d);
    d.DrawUserGrid(512.0, 0x00ABCDEF);
    auto lines = plot().Of(Op::LineTo);
    ASSERT_EQ(lines.size(), 1u);
    const int col = Truncate(d.ScreenX(512));
    EXPECT_EQ(lines[0].from, (TPoint{col, 0}));
    EXPECT_EQ(lines[0].to, (TPoint{col, 201}));
    EXPECT_EQ(lines[0].pen.Color, 0x00ABCDEFu);

    ClearRecords(d);
    d.DrawUserGrid(3.0, 400.0, 0x00ABCDEF, 4, true);
    const auto squares = plot().Of(Op::Rectangle);
    ASSERT_EQ(squares.size(), 1u);
    const double sx = d.ScreenX(400);
    const double sy = d.ScreenY(3);
    EXPECT_EQ(squares[0].rect,
              (TRect{Truncate(sx - 3), Truncate(sy - 3), Truncate(sx + 4), Truncate(sy + 4)}));
    EXPECT_EQ(squares[0].pen.Width, 1);
    EXPECT_EQ(d.GetBlockPos(4), (TPoint{400, 3}));
    EXPECT_EQ(plot().Count(Op::Ellipse), 0); // stored hidden
}

// A grid column is u(f) of its own frequency, bit for bit: with the view ending exactly at 5 kHz
// the 5 kHz line lies on the page's right edge, not a column short of it.
TEST(Drawing, FFTGridColumnsArePlacedByTheFrequencyPosition) {
    TFFTDraw d(RecordingFactory());
    d.SetFFTNuimber(TFFTNumber::n256);
    d.Paint();
    d.SetXAutoScale(false);
    const double u5k = d.FFTPosition(5000.0);
    d.SetXYMinMax(u5k - 1.0, u5k, -1, 1);
    ClearRecords(d);
    d.DrawGrid();
    const int w = d.GetPlotWidth();
    bool onEdge = false;
    for (const auto& op : Rec(d, TFFTDraw::PlotPage).Of(Op::LineTo)) {
        onEdge = onEdge || (op.from.X == w && op.to.X == w);
    }
    EXPECT_TRUE(onEdge);
}

TEST(Drawing, NothingIsDrawnWhileInvisible) {
    TFFTDraw d(RecordingFactory());
    d.Paint();
    d.SetControlVisible(false);
    ClearRecords(d);
    const double y[] = {1, 2};
    d.FFTDraw(y, 2, 0, 0, TPlotStyle::Line);
    d.SetAxisColor(ColorWhite);
    EXPECT_TRUE(Rec(d, TFFTDraw::PlotPage).ops.empty());
    EXPECT_TRUE(testing::Screen(d).ops.empty());
}

TEST(Drawing, TitlesArePlacedAndCopied) {
    TFFTDraw d(RecordingFactory(7, 13));
    d.Paint();
    ClearRecords(d);
    d.DrawTitles();
    // Plot page 193 wide at column 77; "Frequency Response" is 126 wide, 13 high.
    const auto title = Rec(d, TFFTDraw::PlotTitlePage).Of(Op::TextOut);
    ASSERT_EQ(title.size(), 1u);
    EXPECT_EQ(title[0].to, (TPoint{(193 - 126) / 2 + 77, 26 - 39 / 2}));
    EXPECT_EQ(Rec(d, TFFTDraw::XTitlePage).Of(Op::TextOut)[0].to, (TPoint{(193 - 70) / 2, 7}));
    EXPECT_EQ(Rec(d, TFFTDraw::YTitlePage).Of(Op::TextOut)[0].to, (TPoint{6, (182 - 14) / 2}));
    // Three titles and the right margin reach the control, in that order.
    std::vector<const Canvas*> sources;
    for (const auto& op : testing::Screen(d).Of(Op::CopyRect)) {
        sources.push_back(op.source);
    }
    EXPECT_EQ(sources, (std::vector<const Canvas*>{d.Page(TFFTDraw::PlotTitlePage).Image.get(),
                                                   d.Page(TFFTDraw::XTitlePage).Image.get(),
                                                   d.Page(TFFTDraw::YTitlePage).Image.get(),
                                                   d.Page(TFFTDraw::RightMarginPage).Image.get()}));
}

TEST(Drawing, RedrawScreenAndClearPlotFollowTheFlags) {
    TFFTDraw d(RecordingFactory(7, 13));
    d.Paint();
    d.SetAutoRedraw(false);
    d.SetShowYTitle(false);
    ClearRecords(d);
    d.RedrawScreen();
    std::vector<const Canvas*> sources;
    for (const auto& op : testing::Screen(d).Of(Op::CopyRect)) {
        sources.push_back(op.source);
    }
    EXPECT_EQ(sources, (std::vector<const Canvas*>{d.Page(TFFTDraw::XLabelPage).Image.get(),
                                                   d.Page(TFFTDraw::XTitlePage).Image.get(),
                                                   d.Page(TFFTDraw::YLabelPage).Image.get(),
                                                   d.Page(TFFTDraw::PlotTitlePage).Image.get(),
                                                   d.Page(TFFTDraw::RightMarginPage).Image.get(),
                                                   d.Page(TFFTDraw::PlotPage).Image.get()}));
    ClearRecords(d);
    d.ClearPlot();
    EXPECT_TRUE(Rec(d, TFFTDraw::YTitlePage).ops.empty());
    EXPECT_EQ(Rec(d, TFFTDraw::XLabelPage).Count(Op::FillRect), 1);
    EXPECT_TRUE(testing::Screen(d).ops.empty());
}

TEST(Drawing, SetPlotColorRepaintsThatPlotAndCopiesThePages) {
    TFFTDraw d(RecordingFactory(7, 13));
    d.Paint();
    const double y[] = {1, 2};
    d.FFTDraw(y, 2, 3, 0, TPlotStyle::Line);
    ClearRecords(d);
    EXPECT_TRUE(d.SetPlotColor(3, 0x00FF00FF));
    EXPECT_EQ(testing::PlotClears(d), 0);
    EXPECT_EQ(Rec(d, TFFTDraw::PlotPage).Count(Op::LineTo), 2);
    EXPECT_EQ(testing::Screen(d).Count(Op::CopyRect), 7);
    TColor c = 0;
    d.GetPlotColor(3, c);
    EXPECT_EQ(c, 0x00FF00FFu);
}

TEST(Drawing, LogGridDrawsDecadesEvenWithoutSubLines) {
    TFFTDraw d(RecordingFactory());
    d.Paint();
    d.SetYAutoScale(false);
    d.SetXAutoScale(false);
    d.SetXYMinMax(1, 100, 1, 1000);
    d.SetYAxisFormat(TAxisFormat::Log);
    d.SetXAxisFormat(TAxisFormat::Log);
    d.SetNumHorzGrid(0);
    d.SetNumVertGrid(1);
    d.SetShowVertTicks(false);
    d.SetShowHorzTicks(false);
    d.SetAxisStyle(TAxisStyle::None);
    ClearRecords(d);
    d.DrawAllPlots();
    const auto lines = Rec(d, TFFTDraw::PlotPage).Of(Op::LineTo);
    const int w = d.GetPlotWidth();
    const int h = d.GetPlotHeight();
    std::vector<int> rows;
    std::vector<int> cols;
    for (const auto& op : lines) {
        (op.from.Y == op.to.Y ? rows : cols).push_back(op.from.Y == op.to.Y ? op.to.Y : op.to.X);
    }
    // Decades 1, 10, 100 on Y; decades 1, 10 plus one mid line each (5.5, 55) on X.
    EXPECT_EQ(rows, (std::vector<int>{h, Truncate(h - h / 3.0), Truncate(h - 2 * h / 3.0)}));
    EXPECT_EQ(cols, (std::vector<int>{0, Truncate(w * std::log10(5.5) / 2), w / 2,
                                      Truncate(w * std::log10(55.0) / 2)}));

    d.SetYAxisFormat(TAxisFormat::Linear); // a linear axis with no sub-lines draws none
    ClearRecords(d);
    d.DrawAllPlots();
    for (const auto& op : Rec(d, TFFTDraw::PlotPage).Of(Op::LineTo)) {
        EXPECT_NE(op.from.Y, op.to.Y);
    }
}

} // namespace
} // namespace tq50r::plot
