// One drag step on the response graph: mouse move -> model -> band recompute -> total -> graph
// redraw and repaint of the widget. Runs on the offscreen platform.
#include "drag_support.h"
#include "editor/eq_editor.h"
#include "editor/fader.h"
#include "eq/operations.h"
#include "plot/fft_draw_widget.h"

#include <QApplication>
#include <QWidget>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

using tq50r::editor::EqEditor;
using tq50r::editor::OfflineSender;

struct Fixture {
    QWidget window;
    QWidget* panel2 = new QWidget(&window);
    QWidget* panel4 = new QWidget(&window);
    tq50r::eq::EqSetting setting = tq50r::eq::startSetting();
    OfflineSender sender;
    std::unique_ptr<EqEditor> editor;

    Fixture() {
        window.resize(860, 620);
        panel2->setGeometry(0, 0, 849, 241);
        panel4->setGeometry(0, 250, 505, 353);
        editor = std::make_unique<EqEditor>(panel2, panel4, setting, sender, nullptr);
        window.show();
        QApplication::processEvents();
    }

    // Grabs band 3's marker.
    void grab() { tq50r::bench::grabMarker(*editor, 2); }
};

void BM_DragStep(benchmark::State& state) {
    Fixture f;
    f.grab();
    if (f.editor->selectedBand() != 2) {
        state.SkipWithError("marker not grabbed");
        return;
    }
    // Alternate between two spots so that every step changes frequency and gain.
    const int xs[] = {300, 420};
    const int ys[] = {60, 110};
    int i = 0;
    for (auto _ : state) {
        f.editor->FFTDrawMouseMove(xs[i], ys[i]);
        f.editor->plot()->repaint();
        i ^= 1;
    }
    f.editor->FFTDrawMouseUp();
}
BENCHMARK(BM_DragStep)->Unit(benchmark::kMicrosecond);

// The same step without the widget repaint: editor, model, response and the graph's own drawing.
void BM_DragStepNoRepaint(benchmark::State& state) {
    Fixture f;
    f.grab();
    const int xs[] = {300, 420};
    const int ys[] = {60, 110};
    int i = 0;
    for (auto _ : state) {
        f.editor->FFTDrawMouseMove(xs[i], ys[i]);
        i ^= 1;
    }
    f.editor->FFTDrawMouseUp();
}
BENCHMARK(BM_DragStepNoRepaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return tq50r::bench::runWidgetBenchmarks(argc, argv);
}
