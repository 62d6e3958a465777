#include "widgets/link_label.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>
#include <utility>

namespace tq50r::widgets {

namespace {

// Pure blue, the usual colour of a link.
constexpr QRgb LinkRgb = 0xff0000ff;

UrlOpener& currentOpener() {
    static UrlOpener opener;
    return opener;
}

} // namespace

UrlOpener setUrlOpener(UrlOpener opener) {
    UrlOpener previous = std::move(currentOpener());
    currentOpener() = std::move(opener);
    return previous;
}

bool openWithDesktop(const QString& url) {
    const QString trimmed = url.trimmed();
    if (trimmed.isEmpty()) {
        return false;
    }
    // A bare host name such as "www.example.com" becomes an http address;
    // anything that turns out to be a local file or another scheme is not
    // handed on, so a caption can never start a program.
    const QUrl address = QUrl::fromUserInput(trimmed);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https") &&
         scheme != QLatin1String("mailto"))) {
        return false;
    }
    return QDesktopServices::openUrl(address);
}

TUnlURLLabel::TUnlURLLabel(QWidget* parent) : QLabel(parent) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor::fromRgba(LinkRgb));
    setPalette(p);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    setCursor(Qt::PointingHandCursor);
    setTextFormat(Qt::PlainText);
}

void TUnlURLLabel::SetURL(const QString& url) {
    url_ = url;
    setText(url);
}

void TUnlURLLabel::Click() {
    emit OnClick();
    const UrlOpener& opener = currentOpener();
    if (opener) {
        opener(url_);
    } else {
        openWithDesktop(url_);
    }
}

void TUnlURLLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void TUnlURLLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && pressed_) {
        pressed_ = false;
        event->accept();
        if (rect().contains(event->position().toPoint())) {
            Click();
        }
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

} // namespace tq50r::widgets
