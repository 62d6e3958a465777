// tq50r-skin-bake: paints every picture of the skin lists with the window's painting code and
// writes a C++ source that carries them as pixels, so the program shows them without painting
// (and without loading the fonts their texts need) at start-up.
//
//   tq50r-skin-bake OUT.cpp
#include "editor/skin_paint.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>
#include <QString>
#include <cstdio>

using namespace tq50r::editor;

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr int WordsPerLine = 8;

QByteArray arrayName(ImageList list, int index) {
    return QByteArray(imageListName(list)) + QByteArray::number(index);
}

// The pixels as an array named `name`, and the picture's entry for a table.
QByteArray pixelArray(const QImage& image, const QByteArray& name, QByteArray& entry) {
    QByteArray out = "const std::uint32_t " + name + "[] = {";
    int word = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x, ++word) {
            out += word % WordsPerLine == 0 ? "\n    " : " ";
            out += "0x" + QByteArray::number(row[x], 16).rightJustified(8, '0') + "u,";
        }
    }
    out += "\n};\n";
    entry = "{" + QByteArray::number(image.width()) + ", " + QByteArray::number(image.height()) +
            ", " + QByteArray::number(static_cast<int>(image.format())) + ", " + name + "}";
    return out;
}

// The source text, or an empty array when a picture cannot be painted.
QByteArray source() {
    QByteArray out;
    out += "// Made by tq50r-skin-bake from src/editor/skin_paint.cpp at build time; not edited by "
           "hand.\n#include \"editor/skin_carried.h\"\n\nnamespace tq50r::editor {\n\nnamespace "
           "{\n\n";
    QByteArray tables;
    QByteArray lookup = "const CarriedPicture* carriedSkinPicture(ImageList list, int index) {\n"
                        "    switch (list) {\n";
    for (const ImageList list : AllImageLists) {
        const int count = skinPictureCount(list);
        const QByteArray table = QByteArray(imageListName(list)) + "Pictures";
        tables += "const CarriedPicture " + table + "[] = {\n";
        for (int index = 0; index < count; ++index) {
            const QImage image = thirtyTwoBit(paintSkinPicture(list, index).toImage());
            if (image.isNull() || image.size() != skinPictureSize(list)) {
                std::fprintf(stderr, "tq50r-skin-bake: %s %d cannot be painted\n",
                             imageListName(list), index);
                return {};
            }
            QByteArray entry;
            out += pixelArray(image, arrayName(list, index), entry);
            tables += "    " + entry + ",\n";
        }
        tables += "};\n";
        lookup += "    case ImageList::" + QByteArray(imageListName(list)) +
                  ":\n        return index >= 0 && index < " + QByteArray::number(count) + " ? &" +
                  table + "[index] : nullptr;\n";
    }
    lookup += "    }\n    return nullptr;\n}\n";
    const QImage probe = thirtyTwoBit(paintSkinProbe());
    if (probe.isNull()) {
        std::fputs("tq50r-skin-bake: the probe cannot be painted\n", stderr);
        return {};
    }
    QByteArray probeEntry;
    out += pixelArray(probe, "Probe", probeEntry);
    tables += "const CarriedPicture ProbePicture = " + probeEntry + ";\n";
    lookup += "\nconst CarriedPicture& carriedSkinProbe() {\n    return ProbePicture;\n}\n";
    out += "\n" + tables + "\n} // namespace\n\n" + lookup + "\n} // namespace tq50r::editor\n";
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: tq50r-skin-bake OUT.cpp\n", stderr);
        return ExitUsage;
    }
    // The offscreen platform: a build machine has no display, and the tests paint on it too.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);

    const QByteArray text = source();
    if (text.isEmpty()) {
        return ExitFailure;
    }
    QSaveFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        std::fprintf(stderr, "tq50r-skin-bake: cannot write %s\n", argv[1]);
        return ExitFailure;
    }
    return ExitOk;
}
