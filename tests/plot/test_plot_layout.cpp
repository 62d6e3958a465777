// Data-to-pixel mapping, the FFT frequency scale and the division of the control into pages.
#include "plot/core/fft_draw.h"
#include "plot/core/main_graph.h"
#include "plot/recording_canvas.h"

#include <cmath>
#include <gtest/gtest.h>

namespace tq50r::plot {
namespace {

using testing::Op;
using testing::PlotClears;
using testing::Rec;
using testing::RecordingCanvas;
using testing::RecordingFactory;

TEST(Mapping, MainGraphLinearAxes) {
    TFFTDraw d(RecordingFactory());
    configureMainWindowGraph(d);
    ASSERT_EQ(d.GetPlotWidth(), 749);
    ASSERT_EQ(d.GetPlotHeight(), 201);
    EXPECT_DOUBLE_EQ(d.ScreenX(256), 0.0);
    EXPECT_DOUBLE_EQ(d.ScreenX(1024), 749.0);
    EXPECT_NEAR(d.ScreenX(0), -249.67, 0.01);
    EXPECT_EQ(Truncate(d.ScreenX(0)), -249); // toward zero, not down
    EXPECT_DOUBLE_EQ(d.ScreenY(18), 0.0);
    EXPECT_DOUBLE_EQ(d.ScreenY(-30), 201.0);
    EXPECT_DOUBLE_EQ(d.ScreenY(0), 75.375);
    EXPECT_DOUBLE_EQ(d.FFTScreenX(700), d.ScreenX(700));
    EXPECT_DOUBLE_EQ(d.FFTScreenY(-7), d.ScreenY(-7));
    // The inverse helpers give the data value back.
    EXPECT_NEAR(d.DataX(d.ScreenX(512.5)), 512.5, 1e-9);
    EXPECT_NEAR(d.DataY(d.ScreenY(-12.25)), -12.25, 1e-9);
}

TEST(Mapping, MainGraphPagesAreDrawnOnlyAtTheirFinalSize) {
    TFFTDraw d(RecordingFactory());
    configureMainWindowGraph(d);
    for (int p = 0; p < TFFTDraw::PageCount; ++p) {
        EXPECT_EQ(Rec(d, static_cast<TFFTDraw::PageId>(p)).resizedAfterDrawing, 0) << "page " << p;
    }
    // The axis was drawn, and then the whole plot once the graph redraws by itself.
    EXPECT_GT(Rec(d, TFFTDraw::PlotPage).Count(Op::FrameRect), 1);
    EXPECT_GE(PlotClears(d), 1);
}

TEST(Mapping, LogAxes) {
    TFFTDraw d(RecordingFactory());
    d.Paint();
    d.SetXAutoScale(false);
    d.SetYAutoScale(false);
    d.SetXYMinMax(10, 10000, 1, 1000);
    d.SetXAxisFormat(TAxisFormat::Log);
    d.SetYAxisFormat(TAxisFormat::Log);
    const double w = d.GetPlotWidth();
    const double h = d.GetPlotHeight();
    EXPECT_DOUBLE_EQ(d.ScreenX(10), 0.0);
    EXPECT_DOUBLE_EQ(d.ScreenX(100), w / 3);
    EXPECT_DOUBLE_EQ(d.ScreenY(10), h - h / 3);
    // Non-positive values take the column (row) of a tenth of the minimum.
    EXPECT_DOUBLE_EQ(d.ScreenX(0), d.ScreenX(1));
    EXPECT_DOUBLE_EQ(d.ScreenX(-5), d.ScreenX(1));
    EXPECT_DOUBLE_EQ(d.ScreenY(-1), d.ScreenY(0.1));
    EXPECT_NEAR(d.DataX(w / 3), 100, 1e-9);
    EXPECT_NEAR(d.DataY(h - h / 3), 10, 1e-9);
}

TEST(Mapping, FFTFrequencyScale) {
    struct Case {
        TFFTNumber number;
        TSampleRate rate;
        double freqHz;
        double position;
    };
    const Case cases[] = {
        {TFFTNumber::n2048, TSampleRate::n48000, 1000, 1024 * 3 / std::log10(24000.0)},
        {TFFTNumber::n2048, TSampleRate::n48000, 24000, 1024},
        {TFFTNumber::n256, TSampleRate::n48000, 24000, 256},
        {TFFTNumber::n512, TSampleRate::n96000, 48000, 512},
        {TFFTNumber::n1024, TSampleRate::n192000, 72000, 768},
        {TFFTNumber::n1024, TSampleRate::n48000, 1, 0},
    };
    for (const auto& c : cases) {
        TFFTDraw d(RecordingFactory());
        d.SetFFTNuimber(c.number);
        d.SetSampleRate(c.rate);
        EXPECT_NEAR(d.FFTPosition(c.freqHz), c.position, 1e-9) << c.freqHz;
    }
    TFFTDraw d(RecordingFactory());
    d.SetFFTNuimber(TFFTNumber::n2048);
    EXPECT_NEAR(d.FFTPosition(1000), 701.3, 0.05);
}

TEST(Layout, MainGraphPlotStartsAtColumn30WhateverTheFont) {
    struct Metrics {
        int charWidth;
        int textHeight;
    };
    for (const Metrics m : {Metrics{3, 8}, Metrics{7, 13}, Metrics{15, 30}}) {
        TFFTDraw d(RecordingFactory(m.charWidth, m.textHeight));
        configureMainWindowGraph(d);
        d.Paint();
        const auto& plot = d.Page(TFFTDraw::PlotPage);
        EXPECT_EQ(plot.Dest, (TRect{30, 0, 779, 201})) << m.charWidth;
        EXPECT_EQ(d.GetPlotWidth(), 749);
        EXPECT_EQ(d.GetPlotHeight(), 201);
        EXPECT_EQ(d.Page(TFFTDraw::RightMarginPage).Dest, (TRect{779, 0, 809, 201}));
        EXPECT_EQ(d.Page(TFFTDraw::YLabelPage).Dest, (TRect{0, 0, 30, 201}));
    }
}

TEST(Layout, MainGraphViewStaysFixedWhateverCurveArrives) {
    TFFTDraw d(RecordingFactory());
    configureMainWindowGraph(d);
    std::vector<double> y(MainGraphCurvePoints, 40.0);
    d.FFTDraw(y.data(), MainGraphCurvePoints, MainGraphCurveIndex, MainGraphCurveColor,
              TPlotStyle::Line);
    EXPECT_EQ(d.XMin(), 256);
    EXPECT_EQ(d.XMax(), 1024);
    EXPECT_EQ(d.YMin(), -30);
    EXPECT_EQ(d.YMax(), 18);
    EXPECT_EQ(d.FFTNuimber(), TFFTNumber::n2048);
    EXPECT_FALSE(d.ShowXLabel());
    EXPECT_FALSE(d.ShowPlotTitle());
    EXPECT_EQ(d.XTitle(), "    ");
    EXPECT_EQ(d.YLabelPrecision(), 0);
}

TEST(Layout, AllPagesOfADefaultControl) {
    // Every character 7 pixels wide, every text 13 high.
    TFFTDraw d(RecordingFactory(7, 13));
    d.Paint();
    // X label "0": bottom = trunc(250 - 1.2 x 13) = 234; X title: -26 -> 208, label bottom 224.
    // Widest Y label "3.142E-0100" (77) + 4 -> left 51; Y title + 26 -> 77; plot title top 26.
    EXPECT_EQ(d.Page(TFFTDraw::PlotPage).Dest, (TRect{77, 26, 270, 208}));
    EXPECT_EQ(d.Page(TFFTDraw::PlotPage).Source, (TRect{0, 0, 193, 182}));
    EXPECT_EQ(d.Page(TFFTDraw::XLabelPage).Dest, (TRect{77, 208, 270, 224}));
    EXPECT_EQ(d.Page(TFFTDraw::XTitlePage).Dest, (TRect{77, 224, 270, 250}));
    EXPECT_EQ(d.Page(TFFTDraw::YLabelPage).Dest, (TRect{26, 26, 77, 250}));
    EXPECT_EQ(d.Page(TFFTDraw::YTitlePage).Dest, (TRect{0, 26, 26, 250}));
    EXPECT_EQ(d.Page(TFFTDraw::PlotTitlePage).Dest, (TRect{0, 0, 270, 26}));
    EXPECT_EQ(d.Page(TFFTDraw::RightMarginPage).Dest, (TRect{270, 0, 300, 250}));
    // "x = 3.142E-0100" is 105 wide: (300 - 105 - 5, 26 + 4, 295, 26 + 26 + 12).
    EXPECT_EQ(d.Page(TFFTDraw::CoordinatePage).Dest, (TRect{190, 30, 295, 64}));
    EXPECT_EQ(d.Page(TFFTDraw::CoordinatePage).Image->Width(), 105);
}

// Sizing the coordinate page measures some two hundred texts; a layout leaves that to the page's
// first use, which places it where that layout would have: changes that lay nothing out since do
// not move it, the next layout does.
TEST(Layout, TheCoordinatePageIsPlacedAtItsFirstUseForTheLastLayout) {
    std::vector<RecordingCanvas*> made; // the pages in PageId order, then the control canvas
    const CanvasFactory recording = RecordingFactory(7, 13);
    TFFTDraw d([&] {
        auto c = recording();
        made.push_back(dynamic_cast<RecordingCanvas*>(c.get()));
        return c;
    });
    ASSERT_EQ(made.size(), static_cast<std::size_t>(TFFTDraw::PageCount) + 1);
    RecordingCanvas& coordinates = *made[TFFTDraw::CoordinatePage];
    d.Paint();
    d.SetYLabelPrecision(d.YLabelPrecision());
    EXPECT_EQ(coordinates.measured, 0);
    EXPECT_EQ(coordinates.Width(), 0);

    TFFTDraw longer(RecordingFactory(7, 13));
    longer.SetYLabelPrecision(8); // "x = 3.1415927E-0100"
    longer.SetAutoRedraw(false);
    d.AssignPlotProperties(longer); // no relayout
    EXPECT_EQ(d.Page(TFFTDraw::CoordinatePage).Dest, (TRect{190, 30, 295, 64}));
    EXPECT_EQ(coordinates.Width(), 105);
    EXPECT_EQ(coordinates.measured, 2 * TFFTDraw::MeasureExponentRange + 1);
    d.Page(TFFTDraw::CoordinatePage);
    EXPECT_EQ(coordinates.measured, 2 * TFFTDraw::MeasureExponentRange + 1) << "placed once";

    d.ResizePaintPage();
    EXPECT_GT(d.Page(TFFTDraw::CoordinatePage).Image->Width(), 105);
}

TEST(Layout, TooShortDropsTitlesAndXLabels) {
    TFFTDraw d(RecordingFactory(7, 13));
    d.SetControlSize(300, 30);
    d.Paint();
    EXPECT_FALSE(d.ShowPlotTitle());
    EXPECT_FALSE(d.ShowXLabel());
    EXPECT_FALSE(d.ShowXTitle());
    EXPECT_TRUE(d.ShowYLabel());
    EXPECT_TRUE(d.ShowYTitle());
    EXPECT_EQ(d.Page(TFFTDraw::PlotPage).Dest, (TRect{77, 0, 270, 30}));
}

TEST(Layout, TooNarrowDropsYLabelsAndTitle) {
    TFFTDraw d(RecordingFactory(7, 13));
    d.SetControlSize(60, 250);
    d.Paint();
    EXPECT_FALSE(d.ShowYLabel());
    EXPECT_FALSE(d.ShowYTitle());
    EXPECT_TRUE(d.ShowPlotTitle());
    // Without Y labels the plot page starts 30 pixels left of the control.
    EXPECT_EQ(d.Page(TFFTDraw::PlotPage).Dest, (TRect{-30, 26, 30, 208}));
}

TEST(Layout, DegenerateSizesEndTheRelayout) {
    TFFTDraw d(RecordingFactory(7, 13));
    d.SetControlSize(-40, -40);
    d.Paint(); // must return; nothing fits
    EXPECT_FALSE(d.ShowYLabel());
    EXPECT_FALSE(d.ShowPlotTitle());
    d.SetControlSize(0, 0);
    d.Paint();
    EXPECT_GE(d.GetPlotWidth(), 0);
}

TEST(Layout, PaintRelayoutsOnlyWhenTheSizeChanged) {
    TFFTDraw d(RecordingFactory(7, 13));
    int painted = 0;
    d.OnPaint = [&](TFFTDraw&) { ++painted; };
    d.Paint();
    d.Page(TFFTDraw::PlotPage).Dest.Left = 1; // a layout would put it back
    d.Paint();
    EXPECT_EQ(d.Page(TFFTDraw::PlotPage).Dest.Left, 1);
    d.SetControlSize(320, 250);
    d.Paint();
    EXPECT_EQ(d.Page(TFFTDraw::PlotPage).Dest, (TRect{77, 26, 290, 208}));
    EXPECT_EQ(painted, 3);
}

TEST(Layout, SetPlotWidthChangesTheImageOnly) {
    TFFTDraw d(RecordingFactory());
    configureMainWindowGraph(d);
    EXPECT_TRUE(d.SetPlotWidth(500));
    EXPECT_EQ(d.GetPlotWidth(), 500);
    EXPECT_EQ(d.GetPlotHeight(), 201);
    EXPECT_EQ(d.Page(TFFTDraw::PlotPage).Dest.Right, 779);
}

} // namespace
} // namespace tq50r::plot
