// Where on the graph the mouse grabs a band's marker, found with the editor's own hit test.
#pragma once

#include "editor/eq_editor.h"
#include "editor/graph_mapping.h"
#include "eq/response.h"
#include "plot/fft_draw_widget.h"

#include <QPoint>
#include <optional>

namespace tq50r::app::testing {

// Scans the graph (and the strip above it) for a point that hits band n's marker at `trimDb`.
inline std::optional<QPoint> markerPoint(const editor::EqEditor& eq, int n, int trimDb) {
    constexpr int AbovePx = 20;
    constexpr int RightPx = 60;
    const editor::PlotGeometry g = eq.plotGeometry();
    const editor::MarkerState marker{static_cast<int>(eq.plot()->BlockX(n - 1)), eq.gainDb(n),
                                     false};
    for (int x = 0; x < g.widthPx + RightPx; ++x)
        for (int y = -AbovePx; y < g.heightPx; ++y)
            if (editor::hitsMarker(g, marker, trimDb, x, y))
                return QPoint(x, y);
    return std::nullopt;
}

} // namespace tq50r::app::testing
