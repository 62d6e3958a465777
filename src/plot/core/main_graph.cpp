#include "plot/core/main_graph.h"

namespace tq50r::plot {

void configureMainWindowGraph(TFFTDraw& graph) {
    // Stored settings (what the window definition holds). The size comes first so that every
    // relayout below already sees the final area.
    graph.SetControlSize(MainGraphWidthPx, MainGraphHeightPx);
    graph.SetColor(ColorBlack);
    graph.SetAutoRedraw(false);
    graph.SetFixedYLabelWidth(MainGraphYLabelWidthPx);
    graph.SetShowXLabel(false);
    graph.SetYMax(MainGraphYMaxDb);
    graph.SetYMin(MainGraphYMinDb);
    graph.SetXMax(MainGraphXMax);
    graph.SetXMin(MainGraphXMin);
    graph.SetNumVertGrid(MainGraphNumVertGrid);
    graph.SetNumHorzGrid(MainGraphNumHorzGrid);
    graph.SetGridColor(ColorWhite);
    graph.SetShowXTitle(false);
    graph.SetShowYTitle(false);
    graph.SetShowPlotTitle(false);
    // The axis is drawn at once, whether or not the graph redraws by itself, so its colour comes
    // after the last setting that changes the layout: drawn earlier, it would make a page of the
    // earlier size only for the next layout to drop it. The full redraw below clears the page.
    graph.SetAxisColor(ColorWhite);
    graph.SetXTitle("Frequency ");
    graph.SetFFTNuimber(TFFTNumber::n2048);

    // Start-up sequence.
    graph.SetPlotTitle("  ");
    graph.SetYTitle("     ");
    graph.SetXTitle("    ");
    graph.SetAxisStyle(TAxisStyle::CenteredBox);
    graph.SetSampleRate(TSampleRate::n48000);
    graph.SetMouseControl(true);
    graph.SetYLabelPrecision(0);
    graph.SetAutoRedraw(true);
    graph.SetYLabelDigits(0);
    graph.SetXMax(MainGraphXMax);
    graph.SetXMin(MainGraphXMin);
    graph.SetYMax(MainGraphYMaxDb);
    graph.SetYMin(MainGraphYMinDb);
    graph.SetXAutoScale(false);
    graph.SetYAutoScale(false);
    graph.SetXAxisFormat(TAxisFormat::Linear);
    graph.SetYAxisFormat(TAxisFormat::Linear);
}

} // namespace tq50r::plot
