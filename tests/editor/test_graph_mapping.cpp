// The editor's pixel <-> value mapping on the graph, the marker hit test and the drag target,
// checked without any window.
#include "editor/graph_mapping.h"
#include "eq/operations.h"
#include "eq/response.h"

#include <cmath>
#include <gtest/gtest.h>

namespace tq50r::editor {
namespace {

// W = 768 makes one pixel one grid unit (plotX = X + 226); H = 192 makes four rows one dB.
PlotGeometry unitGeometry() {
    return PlotGeometry{768, 192, 256.0, 1024.0, -30.0, 18.0};
}
// The main window's graph: drawing area 749 x 201.
PlotGeometry windowGeometry() {
    return PlotGeometry{749, 201, 256.0, 1024.0, -30.0, 18.0};
}

TEST(GraphMapping, LeftEdgeIsTheLowEndOfTheView) {
    const PlotGeometry g{750, 201, 256.0, 1024.0, -30.0, 18.0};
    EXPECT_DOUBLE_EQ(plotX(g, 30), 256.0);
    EXPECT_NEAR(frequencyHz(g, 30), 12.447, 0.001);
    // Below 19 Hz the drag takes the table's first value, which the upper-neighbour rule files
    // under index 1.
    eq::EqSetting s = eq::startSetting();
    const DragTarget t = dragTarget(g, 0, 30, 75);
    eq::setFromPlot(s, 2, t.hz, t.gainDb);
    EXPECT_EQ(s.band(2).freqIndex, 1);
}

TEST(GraphMapping, RowToLevelUsesTheEditorsOwnOffsets) {
    struct Case {
        int yPx;
        int rawY;
        int levelDb;
    };
    // H = 201: rawY = trunc((Y + 21) / 201 * 48); level = -(rawY - 30 + 8).
    const Case cases[] = {{0, 5, 17}, {75, 22, 0}, {201, 53, -31}, {-21, 0, 22}, {-25, 0, 22}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.yPx);
        EXPECT_EQ(rawY(windowGeometry(), c.yPx), c.rawY);
        EXPECT_EQ(levelDb(windowGeometry(), c.yPx), c.levelDb);
    }
}

TEST(GraphMapping, DragLevelIsLimitedWhateverTheTrim) {
    for (int trim : {0, -6, -18}) {
        SCOPED_TRACE(trim);
        EXPECT_EQ(dragTarget(windowGeometry(), trim, 400, -5000).gainDb, 12);
        EXPECT_EQ(dragTarget(windowGeometry(), trim, 400, 5000).gainDb, -12);
    }
}

TEST(GraphMapping, DragGainIsLevelMinusTrim) {
    // Row 75 is the 0 dB row. With trim -6 a marker drawn at -6 dB belongs to a 0 dB band; moving
    // it to the 0 dB row sets +6 dB.
    EXPECT_EQ(dragTarget(windowGeometry(), 0, 400, 75).gainDb, 0);
    EXPECT_EQ(dragTarget(windowGeometry(), -6, 400, 75).gainDb, 6);
}

TEST(GraphMapping, DragFrequencyFollowsTheGridScale) {
    const PlotGeometry g = unitGeometry();
    const int x1k = static_cast<int>(std::lround(eq::markerX(1000.0))) - 226;
    EXPECT_NEAR(dragTarget(g, 0, x1k, 60).hz, 1000.0, 5.0);
    EXPECT_NEAR(dragTarget(g, 0, 30 + 768, 60).hz, 24000.0, 1e-6);
}

TEST(GraphMapping, HitWindowIsFiveGridUnitsAndTwoDb) {
    const PlotGeometry g = unitGeometry();
    const MarkerState m{701, 0, false}; // 1000 Hz, 0 dB
    // Row 67 is level 0 (rawY 22); every 4 rows are one dB.
    struct Case {
        int xPx;
        int yPx;
        bool hit;
    };
    const Case cases[] = {
        {475, 67, true}, {479, 67, true}, {480, 67, false}, {471, 67, true},  {470, 67, false},
        {475, 71, true}, {475, 63, true}, {475, 75, false}, {475, 59, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.xPx << "," << c.yPx);
        EXPECT_EQ(hitsMarker(g, m, 0, c.xPx, c.yPx), c.hit);
    }
    // The marker is drawn at gain + trim: with trim -3 the hit moves to the -3 dB row.
    EXPECT_FALSE(hitsMarker(g, m, -3, 475, 67));
    EXPECT_TRUE(hitsMarker(g, m, -3, 475, 79));
}

TEST(GraphMapping, HiddenMarkerCannotBeGrabbed) {
    const PlotGeometry g = unitGeometry();
    EXPECT_FALSE(hitsMarker(g, MarkerState{701, 0, true}, 0, 475, 67));
}

TEST(GraphMapping, GrabTakesTheMarkerDrawnOnTop) {
    const PlotGeometry g = unitGeometry();
    std::array<MarkerState, eq::BandCount> markers{};
    for (std::size_t i = 0; i < markers.size(); ++i) {
        markers[i] = MarkerState{300 + 50 * static_cast<int>(i), 0, false};
    }
    markers[1] = MarkerState{701, 0, false};
    markers[3] = MarkerState{703, 1, false};
    EXPECT_EQ(grabbedBand(g, markers, 0, 475, 67), 3);    // band 4 is drawn after band 2
    EXPECT_EQ(grabbedBand(g, markers, 0, 475, 67, 1), 1); // band 2 raised above the others
    EXPECT_EQ(grabbedBand(g, markers, 0, 475, 67, 4), 3); // a raised marker elsewhere
    markers[3].hidden = true;                             // an off band drops out
    EXPECT_EQ(grabbedBand(g, markers, 0, 475, 67), 1);
    EXPECT_EQ(grabbedBand(g, markers, 0, 10, 190), -1);
}

TEST(GraphMapping, EmptyDrawingAreaStaysFinite) {
    const PlotGeometry g{0, 0, 256.0, 1024.0, -30.0, 18.0};
    EXPECT_TRUE(std::isfinite(plotX(g, 100)));
    const DragTarget t = dragTarget(g, 0, 100, 100);
    EXPECT_GE(t.gainDb, -12);
    EXPECT_LE(t.gainDb, 12);
}

} // namespace
} // namespace tq50r::editor
