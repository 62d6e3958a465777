// tq50r-plot-render OUT.png [X Y W H SCALE]: renders the main window's graph with a demonstration
// curve and five band markers (one hidden) into a PNG, without a display. With a rectangle and a
// scale it writes that part of the picture enlarged (pixels kept square) for close inspection.
#include "plot/fft_draw_widget.h"
#include "tools/plot-render/demo_scene.h"

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    constexpr int plainArgs = 2;
    constexpr int zoomArgs = 7;
    if (argc != plainArgs && argc != zoomArgs) {
        std::fprintf(stderr, "usage: tq50r-plot-render OUT.png [X Y W H SCALE]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    tq50r::plot::TFFTDrawWidget graph;
    graph.setObjectName("FFTDraw1");
    tq50r::plot::demo::DrawScene(graph);
    graph.Paint();
    QImage picture = graph.ScreenImage();
    if (argc == zoomArgs) {
        const QRect part(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                         std::atoi(argv[5]));
        const int scale = std::max(1, std::atoi(argv[6]));
        picture = picture.copy(part).scaled(part.size() * scale, Qt::IgnoreAspectRatio,
                                            Qt::FastTransformation);
    }
    if (!picture.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "tq50r-plot-render: cannot write %s\n", argv[1]);
        return 1;
    }
    return EXIT_SUCCESS;
}
