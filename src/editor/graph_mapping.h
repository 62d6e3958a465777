// Pixel <-> value mapping of the editor's mouse handling on the response graph, the hit test that
// picks a band marker and the computation of a drag step. Pure arithmetic, no toolkit: the widget
// side only forwards mouse positions and asks the plot for its drawing-area size and ranges.
//
// The mapping uses the plot's ranges and drawing-area size but offsets of its own; it is
// deliberately not the exact inverse of the plot's value-to-screen mapping.
#pragma once

#include "eq/eq_setting.h"

namespace tq50r::editor {

// The editor's own mapping constants.
inline constexpr double MapLeftOffsetPx = 30.0; // column taken as the drawing area's left edge
inline constexpr double MapTopOffsetPx = -21.0; // row offset of the level mapping
inline constexpr double MapLevelOffsetDb = 8.0; // level correction of the row mapping

// Hit window around a marker: closer than this in grid units and in whole dB.
inline constexpr int HitRangeGridUnits = 5;
inline constexpr int HitRangeDb = 2;

// Limit of the dragged level v in whole dB (the band's gain is -v).
inline constexpr int DragMaxLevelDb = 12;

// What the mapping needs to know about the plot at the moment of use.
struct PlotGeometry {
    int widthPx = 0;  // drawing-area width (GetPlotWidth)
    int heightPx = 0; // drawing-area height (GetPlotHeight)
    double xMin = 256.0;
    double xMax = 1024.0;
    double yMin = -30.0;
    double yMax = 18.0;
};

// Mouse column -> position on the grid scale (a double in grid-index units).
double plotX(const PlotGeometry& g, int xPx);
// Mouse row -> whole-unit row value, truncated toward zero.
int rawY(const PlotGeometry& g, int yPx);
// Mouse row -> the plot level in dB the editor assigns to that row.
int levelDb(const PlotGeometry& g, int yPx);
// Mouse column -> frequency in Hz.
double frequencyHz(const PlotGeometry& g, int xPx);

// What the hit test needs of one band.
struct MarkerState {
    int markerXUnits = 0; // marker x as stored in the plot, truncated toward zero
    int gainDb = 0;       // the band's whole-dB gain (= -fader position)
    bool hidden = false;  // shown off: the marker is not painted and cannot be grabbed
};

// True when the mouse at (xPx, yPx) is on the band's marker.
bool hitsMarker(const PlotGeometry& g, const MarkerState& m, int trimDb, int xPx, int yPx);

// The band whose marker is under the mouse, or -1 (band index 0..4): the marker drawn on top, so
// that a press takes what the user sees. Markers are drawn from band 1 to band 5, with `topBand`
// (the last one grabbed, or -1) above them all.
int grabbedBand(const PlotGeometry& g, const std::array<MarkerState, eq::BandCount>& markers,
                int trimDb, int xPx, int yPx, int topBand = -1);

// Where a band dragged to (xPx, yPx) goes: its new gain and the frequency under the pointer. The
// model operation that takes them (eq::setFromPlot) snaps the frequency into the table and
// applies the shelf rule.
struct DragTarget {
    int gainDb = 0; // -v with v limited to +-DragMaxLevelDb; also shown on the hover line
    double hz = 0.0;
};

DragTarget dragTarget(const PlotGeometry& g, int trimDb, int xPx, int yPx);

} // namespace tq50r::editor
