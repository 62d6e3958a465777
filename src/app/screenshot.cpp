#include "app/screenshot.h"

#include <QImageWriter>
#include <QPixmap>
#include <QWidget>
#include <cstdio>

namespace tq50r::app {

bool saveScreenshot(QWidget& window, const QString& path) {
    const QPixmap picture = window.grab();
    QImageWriter writer(path, "png");
    if (!writer.write(picture.toImage())) {
        std::fprintf(stderr, "Cannot write %s: %s\n", qPrintable(path),
                     qPrintable(writer.errorString()));
        return false;
    }
    return true;
}

} // namespace tq50r::app
