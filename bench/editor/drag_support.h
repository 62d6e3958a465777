// Grabbing a band marker on the response graph, as a user starts a drag.
#pragma once

#include "editor/eq_editor.h"
#include "editor/graph_mapping.h"
#include "plot/fft_draw_widget.h"

namespace tq50r::bench {

// Presses on band `band`'s marker (0-based) at its 0 dB level, with the editor's own mapping.
inline void grabMarker(editor::EqEditor& editor, int band) {
    const auto g = editor.plotGeometry();
    const int bx = editor.plot()->GetBlockPos(band).X;
    const int x =
        static_cast<int>(editor::MapLeftOffsetPx + (bx - g.xMin) / (g.xMax - g.xMin) * g.widthPx) +
        1;
    for (int y = 0; y < g.heightPx; ++y) {
        if (editor::levelDb(g, y) == 0) {
            editor.FFTDrawMouseDown(Qt::LeftButton, x, y);
            break;
        }
    }
}

} // namespace tq50r::bench
