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

// Pixels of 32 bits, as the carried pictures hold them.
QImage thirtyTwoBit(QImage image) {
    if (image.depth() == 32) {
        return image;
    }
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

QByteArray arrayName(ImageList list, int index) {
    return QByteArray(imageListName(list)) + QByteArray::number(index);
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
            const QByteArray name = arrayName(list, index);
            out += "const std::uint32_t " + name + "[] = {";
            int word = 0;
            for (int y = 0; y < image.height(); ++y) {
                const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y));
                for (int x = 0; x < image.width(); ++x, ++word) {
                    out += word % WordsPerLine == 0 ? "\n    " : " ";
                    out += "0x" + QByteArray::number(row[x], 16).rightJustified(8, '0') + "u,";
                }
            }
            out += "\n};\n";
            tables += "    {" + QByteArray::number(image.width()) + ", " +
                      QByteArray::number(image.height()) + ", " +
                      QByteArray::number(static_cast<int>(image.format())) + ", " + name + "},\n";
        }
        tables += "};\n";
        lookup += "    case ImageList::" + QByteArray(imageListName(list)) +
                  ":\n        return index >= 0 && index < " + QByteArray::number(count) + " ? &" +
                  table + "[index] : nullptr;\n";
    }
    lookup += "    }\n    return nullptr;\n}\n";
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
