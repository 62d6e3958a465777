#include "editor/spin_button.h"

#include "editor/skin.h"
#include "platform/clock_timer.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace tq50r::editor {

SpinLayout SpinLayout::forSize(int widthPx, int heightPx) {
    SpinLayout l;
    l.widthPx = std::max(widthPx, MinWidthPx);
    const int h = std::max(heightPx, 0);
    const int upHeight = h / 2;
    // The down button overlaps the up button's last row by one pixel.
    const int downTop = std::max(upHeight - 1, 0);
    l.up = QRect(0, 0, l.widthPx, upHeight);
    l.down = QRect(0, downTop, l.widthPx, h - upHeight + 1);
    return l;
}

TCSpinButton::TCSpinButton(QWidget* parent, platform::TimerClock* clock) : QWidget(parent) {
    setFocusPolicy(Qt::TabFocus); // takes the focus on a press itself, see mousePressEvent
    setMinimumWidth(SpinLayout::MinWidthPx);
    repeatTimer_ = new platform::ClockTimer(this, clock);
    connect(repeatTimer_, &platform::ClockTimer::timeout, this, &TCSpinButton::TimerExpired);
    resize(DefaultWidthPx, DefaultHeightPx);
}

TCSpinButton::~TCSpinButton() = default;

QSize TCSpinButton::sizeHint() const {
    return {DefaultWidthPx, DefaultHeightPx};
}

void TCSpinButton::setUpGlyph(const QPixmap& glyph) {
    upGlyph_ = glyph.copy();
    update();
}

void TCSpinButton::setDownGlyph(const QPixmap& glyph) {
    downGlyph_ = glyph.copy();
    update();
}

bool TCSpinButton::isRepeatTimerActive() const {
    return repeatTimer_->isActive();
}

SpinLayout TCSpinButton::layoutModel() const {
    return SpinLayout::forSize(width(), height());
}

void TCSpinButton::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    update();
}

QRect TCSpinButton::rectOf(Button button) const {
    // Taken from the current size every time: a hidden control gets its
    // resize event only when shown, and must still hit-test correctly.
    const SpinLayout layout = layoutModel();
    switch (button) {
    case Button::Up:
        return layout.up;
    case Button::Down:
        return layout.down;
    case Button::None:
        break;
    }
    return {};
}

TCSpinButton::Button TCSpinButton::buttonAt(QPoint pos) const {
    // The down button lies above the up button where the two overlap.
    const SpinLayout layout = layoutModel();
    if (layout.down.contains(pos)) {
        return Button::Down;
    }
    if (layout.up.contains(pos)) {
        return Button::Up;
    }
    return Button::None;
}

void TCSpinButton::click(Button button) {
    if (button == Button::Up) {
        emit OnUpClick();
    } else if (button == Button::Down) {
        emit OnDownClick();
    }
}

void TCSpinButton::endPress() {
    repeatTimer_->stop();
    held_ = Button::None;
    heldDown_ = false;
    update();
}

void TCSpinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || held_ != Button::None) {
        return;
    }
    const Button hit = buttonAt(event->position().toPoint());
    if (hit == Button::None) {
        return;
    }
    held_ = hit;
    heldDown_ = true;
    focused_ = hit;
    QWidget* target = focusControl_.data();
    if (target != nullptr && target->isEnabled() && target->isVisible() &&
        target->focusPolicy() != Qt::NoFocus) {
        target->setFocus(Qt::MouseFocusReason);
    } else if (focusPolicy() & Qt::TabFocus) {
        setFocus(Qt::MouseFocusReason);
    }
    repeatTimer_->start(FirstRepeatMs);
    update();
}

void TCSpinButton::mouseMoveEvent(QMouseEvent* event) {
    if (held_ == Button::None) {
        return;
    }
    // The held button keeps the mouse: it shows pressed only while the
    // pointer is over it, and the other button never reacts.
    const bool over = rectOf(held_).contains(event->position().toPoint());
    if (over != heldDown_) {
        heldDown_ = over;
        update();
    }
}

void TCSpinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || held_ == Button::None) {
        return;
    }
    const Button button = held_;
    const bool over = rectOf(button).contains(event->position().toPoint());
    endPress();
    if (over) {
        click(button);
    }
}

void TCSpinButton::TimerExpired() {
    repeatTimer_->setInterval(RepeatMs);
    // The press is still captured while a button is held; it is lost when the
    // control is hidden or disabled (endPress).
    if (held_ != Button::None && heldDown_) {
        click(held_);
    }
}

void TCSpinButton::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
        focused_ = Button::Up;
        update();
        click(Button::Up);
        break;
    case Qt::Key_Down:
        focused_ = Button::Down;
        update();
        click(Button::Down);
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        click(focused_);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TCSpinButton::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TCSpinButton::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void TCSpinButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled() && held_ != Button::None) {
            endPress();
        }
        update();
    }
    QWidget::changeEvent(event);
}

void TCSpinButton::hideEvent(QHideEvent* event) {
    if (held_ != Button::None) {
        endPress();
    }
    QWidget::hideEvent(event);
}

void TCSpinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), theme::color(theme::PanelRgb));
    const Button order[] = {Button::Up, Button::Down};
    for (const Button b : order) {
        const QRect r = rectOf(b);
        if (r.isEmpty()) {
            continue;
        }
        const bool down = (held_ == b && heldDown_);
        painter.fillRect(r, theme::color(down ? theme::ButtonPressedRgb : theme::ButtonRgb));
        painter.setPen(theme::color(down ? theme::PanelShadowRgb : theme::ButtonEdgeRgb));
        painter.drawRect(r.adjusted(0, 0, -1, -1));

        const QPixmap& custom = (b == Button::Up) ? upGlyph_ : downGlyph_;
        const QPixmap glyph =
            custom.isNull() ? (b == Button::Up ? spinUpGlyph() : spinDownGlyph()) : custom;
        const int shift = down ? 1 : 0;
        QRect glyphRect(QPoint(0, 0), glyph.deviceIndependentSize().toSize());
        glyphRect.moveCenter(r.center());
        glyphRect.translate(shift, shift);
        painter.setOpacity(isEnabled() ? 1.0 : 0.35);
        painter.drawPixmap(glyphRect.topLeft(), glyph);
        painter.setOpacity(1.0);

        if (hasFocus() && focused_ == b) {
            // A solid edge in the accent colour makes the focus easy to find; the dotted
            // rectangle inside marks the button that Space clicks.
            painter.setPen(theme::color(theme::AccentRgb));
            painter.drawRect(r.adjusted(0, 0, -1, -1));
            QPen dotted(theme::color(theme::AccentRgb), 1, Qt::DotLine);
            painter.setPen(dotted);
            QRect focusRect = r.adjusted(FocusInsetPx, FocusInsetPx, -FocusInsetPx, -FocusInsetPx);
            focusRect.translate(shift, shift);
            painter.drawRect(focusRect.adjusted(0, 0, -1, -1));
        }
    }
}

} // namespace tq50r::editor
