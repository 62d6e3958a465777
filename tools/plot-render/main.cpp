// tq50r-plot-render OUT.png [X Y W H SCALE]: renders the main window's graph with a demonstration
// curve and five band markers (one hidden) into a PNG, without a display. With a rectangle and a
// scale it writes that part of the picture enlarged (pixels kept square) for close inspection.
#include "plot/fft_draw_widget.h"
#include "tools/plot-render/demo_scene.h"

#include <QApplication>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr const char* Usage =
    "usage: tq50r-plot-render OUT.png [X Y W H SCALE]\n"
    "Renders the response graph with a demonstration curve and five band markers into a PNG.\n"
    "With a rectangle (X Y W H, pixels) and a SCALE it writes that part enlarged.\n"
    "  --help   this text\n";

int usageError(const char* message) {
    std::fprintf(stderr, "tq50r-plot-render: %s\n%s", message, Usage);
    return 2;
}

bool parseInt(const char* text, int& value) {
    const std::string_view s(text);
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    return error == std::errc() && end == s.data() + s.size();
}

} // namespace

int main(int argc, char** argv) {
    constexpr int plainArgs = 2;
    constexpr int zoomArgs = 7;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return EXIT_SUCCESS;
        }
        // Any other word that starts like an option is a mistake, never a file name.
        if (argv[i][0] == '-' && i == 1)
            return usageError("unknown option");
    }
    if (argc != plainArgs && argc != zoomArgs)
        return usageError("wrong number of arguments");
    std::array<int, zoomArgs - plainArgs> zoom{};
    if (argc == zoomArgs) {
        for (std::size_t k = 0; k < zoom.size(); ++k) {
            if (!parseInt(argv[plainArgs + k], zoom[k]))
                return usageError("X Y W H SCALE must be whole numbers");
        }
        if (zoom[2] <= 0 || zoom[3] <= 0 || zoom[4] <= 0)
            return usageError("W, H and SCALE must be positive");
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
        const QRect part(zoom[0], zoom[1], zoom[2], zoom[3]);
        const int scale = zoom[4];
        picture = picture.copy(part).scaled(part.size() * scale, Qt::IgnoreAspectRatio,
                                            Qt::FastTransformation);
    }
    if (!picture.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "tq50r-plot-render: cannot write %s\n", argv[1]);
        return 1;
    }
    return EXIT_SUCCESS;
}
