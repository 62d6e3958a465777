#include "editor/graph_mapping.h"

#include "eq/response.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tq50r::editor {

namespace {

int truncToInt(double v) {
    return static_cast<int>(v);
}

double safeExtent(int px) {
    return px > 0 ? static_cast<double>(px) : 1.0;
}

} // namespace

double plotX(const PlotGeometry& g, int xPx) {
    return g.xMin + (xPx - MapLeftOffsetPx) / safeExtent(g.widthPx) * (g.xMax - g.xMin);
}

int rawY(const PlotGeometry& g, int yPx) {
    return truncToInt((yPx - MapTopOffsetPx) / safeExtent(g.heightPx) * (g.yMax - g.yMin));
}

int levelDb(const PlotGeometry& g, int yPx) {
    return -truncToInt(rawY(g, yPx) + g.yMin + MapLevelOffsetDb);
}

double frequencyHz(const PlotGeometry& g, int xPx) {
    return std::pow(10.0, std::log10(eq::GridTopHz) * plotX(g, xPx) / eq::ResponsePointCount);
}

bool hitsMarker(const PlotGeometry& g, const MarkerState& m, int trimDb, int xPx, int yPx) {
    if (m.hidden) {
        return false;
    }
    const int dy = std::abs(m.gainDb + trimDb - levelDb(g, yPx));
    const int dx = std::abs(truncToInt(plotX(g, xPx) - m.markerXUnits));
    return dx < HitRangeGridUnits && dy < HitRangeDb;
}

int grabbedBand(const PlotGeometry& g, const std::array<MarkerState, eq::BandCount>& markers,
                int trimDb, int xPx, int yPx, int topBand) {
    if (topBand >= 0 && topBand < eq::BandCount &&
        hitsMarker(g, markers[static_cast<std::size_t>(topBand)], trimDb, xPx, yPx)) {
        return topBand;
    }
    for (int i = eq::BandCount - 1; i >= 0; --i) {
        if (hitsMarker(g, markers[static_cast<std::size_t>(i)], trimDb, xPx, yPx)) {
            return i;
        }
    }
    return -1;
}

DragTarget dragTarget(const PlotGeometry& g, int trimDb, int xPx, int yPx) {
    const int v = std::clamp(trimDb - levelDb(g, yPx), -DragMaxLevelDb, DragMaxLevelDb);
    return DragTarget{-v, frequencyHz(g, xPx)};
}

} // namespace tq50r::editor
