// Grabbing a band marker on the response graph, as a user starts a drag, and the main() of
// the benchmark programs that drag it.
#pragma once

#include "editor/eq_editor.h"
#include "editor/graph_mapping.h"
#include "platform/network_scope.h"
#include "plot/fft_draw_widget.h"

#include <QApplication>
#include <benchmark/benchmark.h>

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

// main() of a benchmark program with widgets, on the offscreen platform unless told otherwise.
inline int runWidgetBenchmarks(int argc, char** argv) {
    // No benchmark ever searches a real network.
    platform::restrictToLoopback();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace tq50r::bench
