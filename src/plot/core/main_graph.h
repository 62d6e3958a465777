// The configuration of the main window's response graph: a 809 x 201 plot over the log-frequency
// scale 256 .. 1024 (about 12.45 Hz to 24 kHz) and -30 .. +18 dB, a white grid every 3 dB and at
// 20 Hz .. 20 kHz, no titles or X labels, and the plot page's left edge at column 30.
#pragma once

#include "plot/core/fft_draw.h"

namespace tq50r::plot {

inline constexpr int MainGraphWidthPx = 809;
inline constexpr int MainGraphHeightPx = 201;
inline constexpr double MainGraphXMin = 256.0;
inline constexpr double MainGraphXMax = 1024.0;
inline constexpr double MainGraphYMinDb = -30.0;
inline constexpr double MainGraphYMaxDb = 18.0;
inline constexpr int MainGraphNumVertGrid = 10;
inline constexpr int MainGraphNumHorzGrid = 15;
// The editor's mouse mapping takes the plot page's left edge to be this column of the control.
inline constexpr int MainGraphPlotLeftPx = 30;
// Width reserved for the Y labels so that the left edge lands on that column whatever the font:
// the layout starts at -30 and adds the label width plus a 4-pixel gap.
inline constexpr int MainGraphYLabelWidthPx =
    MainGraphPlotLeftPx - TFFTDraw::LayoutStartLeftPx - TFFTDraw::YLabelGapPx;

// The curve the editor hands over: 1024 points, plot 0, colour red, drawn as a line.
inline constexpr int MainGraphCurvePoints = 1024;
inline constexpr int MainGraphCurveIndex = 0;
inline constexpr TColor MainGraphCurveColor = ColorRed;

// Applies the stored settings of the main window's graph, then the start-up sequence, in order.
void configureMainWindowGraph(TFFTDraw& graph);

} // namespace tq50r::plot
