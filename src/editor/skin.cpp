#include "editor/skin.h"

#include "editor/skin_carried.h"
#include "editor/skin_paint.h"

#include <QPixmapCache>
#include <cstring>

namespace tq50r::editor {

QImage carriedImage(const CarriedPicture& picture) {
    return QImage(reinterpret_cast<const uchar*>(picture.pixels), picture.width, picture.height,
                  picture.width * 4, static_cast<QImage::Format>(picture.format));
}

bool carriedSkinFits(const QImage& probe) {
    const QImage painted = thirtyTwoBit(probe);
    const QImage carried = carriedImage(carriedSkinProbe());
    if (painted.size() != carried.size() || painted.format() != carried.format()) {
        return false;
    }
    const auto rowBytes = static_cast<std::size_t>(carried.width()) * 4;
    for (int y = 0; y < carried.height(); ++y) {
        if (std::memcmp(painted.constScanLine(y), carried.constScanLine(y), rowBytes) != 0) {
            return false;
        }
    }
    return true;
}

namespace {

// Painting the probe costs one short text in a font the window loads anyway; the answer holds
// for the whole run.
bool carriedPicturesShow() {
    static const bool fit = carriedSkinFits(paintSkinProbe());
    return fit;
}

} // namespace

QPixmap skinPicture(ImageList list, int index) {
    const CarriedPicture* carried = carriedSkinPicture(list, index);
    if (carried == nullptr) {
        return {};
    }
    // Pictures are asked for on every band refresh: each becomes a pixmap once.
    const QString key = QStringLiteral("tq50r-skin-%1-%2").arg(static_cast<int>(list)).arg(index);
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        picture = carriedPicturesShow() ? QPixmap::fromImage(carriedImage(*carried))
                                        : paintSkinPicture(list, index);
        QPixmapCache::insert(key, picture);
    }
    return picture;
}

} // namespace tq50r::editor
