#include "editor/skin.h"

#include "editor/skin_carried.h"

#include <QImage>
#include <QPixmapCache>

namespace tq50r::editor {

QPixmap skinPicture(ImageList list, int index) {
    const CarriedPicture* carried = carriedSkinPicture(list, index);
    if (carried == nullptr) {
        return {};
    }
    // Pictures are asked for on every band refresh: each becomes a pixmap once.
    const QString key = QStringLiteral("tq50r-skin-%1-%2").arg(static_cast<int>(list)).arg(index);
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        const QImage image(reinterpret_cast<const uchar*>(carried->pixels), carried->width,
                           carried->height, carried->width * 4,
                           static_cast<QImage::Format>(carried->format));
        picture = QPixmap::fromImage(image);
        QPixmapCache::insert(key, picture);
    }
    return picture;
}

} // namespace tq50r::editor
