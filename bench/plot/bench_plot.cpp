// Redraw cost of the main window's graph on the QImage canvas.
#include "plot/core/main_graph.h"
#include "plot/qimage_canvas.h"
#include "tools/plot-render/demo_scene.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

namespace {

using tq50r::plot::TFFTDraw;

std::unique_ptr<TFFTDraw> MakeScene() {
    auto graph = std::make_unique<TFFTDraw>([] { return tq50r::plot::makeQImageCanvas(); });
    tq50r::plot::demo::DrawScene(*graph);
    graph->Paint();
    return graph;
}

// Clear, grid, ticks, axes, curve, blocks and the copy to the control.
void BM_WholeRedraw(benchmark::State& state) {
    auto graph = MakeScene();
    for (auto _ : state) {
        graph->DrawAllPlots();
        benchmark::DoNotOptimize(graph->ControlCanvas().Width());
    }
}
BENCHMARK(BM_WholeRedraw)->Unit(benchmark::kMicrosecond);

// The paint cycle: the whole redraw plus titles, right margin and blocks.
void BM_PaintCycle(benchmark::State& state) {
    auto graph = MakeScene();
    for (auto _ : state) {
        graph->Paint();
    }
}
BENCHMARK(BM_PaintCycle)->Unit(benchmark::kMicrosecond);

// One editor update: five markers set, then the new curve (which redraws once more).
void BM_EditorUpdate(benchmark::State& state) {
    auto graph = MakeScene();
    const auto curve = tq50r::plot::demo::CurveDb();
    const auto& bands = tq50r::plot::demo::Bands();
    for (auto _ : state) {
        for (std::size_t n = 0; n < bands.size(); ++n) {
            graph->DrawBlock(bands[n].gainDb, tq50r::plot::demo::MarkerX(bands[n].freqHz),
                             tq50r::plot::ColorWhite, static_cast<int>(n), bands[n].hidden);
        }
        graph->FFTDraw(curve.data(), tq50r::plot::MainGraphCurvePoints,
                       tq50r::plot::MainGraphCurveIndex, tq50r::plot::MainGraphCurveColor,
                       tq50r::plot::TPlotStyle::Line);
    }
}
BENCHMARK(BM_EditorUpdate)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
