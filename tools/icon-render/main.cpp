// tq50r-icon-render: draws an SVG file into a square PNG of the given size.
//
//   tq50r-icon-render ICON.svg SIZE OUT.png
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <charconv>
#include <cstdio>
#include <string_view>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr int MinSizePx = 1;
constexpr int MaxSizePx = 1024;

int usageError() {
    std::fputs("usage: tq50r-icon-render ICON.svg SIZE OUT.png\n", stderr);
    return ExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        return usageError();
    }
    const std::string_view sizeText = argv[2];
    int sizePx = 0;
    const auto parsed = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), sizePx);
    if (parsed.ec != std::errc() || parsed.ptr != sizeText.data() + sizeText.size() ||
        sizePx < MinSizePx || sizePx > MaxSizePx) {
        return usageError();
    }

    // The offscreen platform: a build machine has no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);

    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "tq50r-icon-render: cannot read %s\n", argv[1]);
        return ExitFailure;
    }
    QImage image(sizePx, sizePx, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        renderer.render(&painter, QRectF(0, 0, sizePx, sizePx));
    }
    if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "tq50r-icon-render: cannot write %s\n", argv[3]);
        return ExitFailure;
    }
    return ExitOk;
}
