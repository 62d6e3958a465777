#include "editor/image_button.h"

#include "editor/skin.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace tq50r::editor {

namespace {
// Opacity of a disabled picture.
constexpr double DisabledOpacity = 0.4;
constexpr double FocusFramePx = 2.0;
} // namespace

ImageButton::ImageButton(const QString& name, QSize size, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    resize(size);
    setMouseTracking(true);
    // Reached with Tab; a mouse click leaves the keyboard focus where it was.
    setFocusPolicy(Qt::TabFocus);
}

void ImageButton::setPicture(const QPixmap& picture, int pictureIndex) {
    picture_ = picture;
    pictureIndex_ = pictureIndex;
    update();
}

void ImageButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!isEnabled()) {
        p.setOpacity(DisabledOpacity);
    }
    p.drawPixmap(0, 0, picture_);
    if (hasFocus()) {
        p.setOpacity(1.0);
        p.setPen(QPen(theme::color(theme::AccentRgb), FocusFramePx));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

void ImageButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space && event->key() != Qt::Key_Return &&
        event->key() != Qt::Key_Enter) {
        QWidget::keyPressEvent(event);
        return;
    }
    emit mouseDown(Qt::LeftButton);
    emit mouseUp(Qt::LeftButton);
    emit clicked();
    event->accept();
}

void ImageButton::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void ImageButton::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void ImageButton::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    emit mouseDown(event->button());
}

void ImageButton::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        pressed_ = false;
    }
    emit mouseUp(event->button());
    if (click) {
        emit clicked();
    }
}

void ImageButton::mouseMoveEvent(QMouseEvent*) {
    emit mouseMoved();
}

void ImageButton::enterEvent(QEnterEvent*) {
    emit mouseMoved();
}

void ImageButton::dropPress() {
    if (pressed_) {
        pressed_ = false;
        emit mouseUp(Qt::LeftButton);
    }
}

void ImageButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        dropPress();
    }
    QWidget::changeEvent(event);
}

void ImageButton::hideEvent(QHideEvent* event) {
    dropPress();
    QWidget::hideEvent(event);
}

} // namespace tq50r::editor
