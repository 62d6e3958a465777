#include "editor/fader.h"

#include "editor/skin.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace tq50r::editor {

namespace {
// One notch of an ordinary mouse wheel.
constexpr int WheelNotch = 120;
constexpr double FocusFramePx = 2.0;
} // namespace

double FaderGeometry::thumbCentreY(int position) const {
    const int p = std::clamp(position, min, std::max(min, max));
    const double top = TravelTopPx;
    const double bottom = heightPx - TravelBottomMarginPx;
    if (max <= min) {
        return top;
    }
    return top + (bottom - top) * (p - min) / static_cast<double>(max - min);
}

QPoint FaderGeometry::thumbTopLeft(int position) const {
    const int x = (widthPx - ThumbWidthPx) / 2;
    const int y = static_cast<int>(std::lround(thumbCentreY(position))) - ThumbHeightPx / 2;
    return {x, y};
}

QRect FaderGeometry::thumbRect(int position) const {
    return {thumbTopLeft(position), QSize(ThumbWidthPx, ThumbHeightPx)};
}

QPoint FaderGeometry::channelTopLeft() const {
    return {(widthPx - ChannelWidthPx) / 2, (heightPx - ChannelHeightPx) / 2};
}

int FaderGeometry::positionAtY(double yPx) const {
    if (max <= min) {
        return min;
    }
    const double top = TravelTopPx;
    const double bottom = heightPx - TravelBottomMarginPx;
    if (bottom <= top) {
        return min;
    }
    const double steps = (yPx - top) / (bottom - top) * (max - min);
    const long rounded = std::lround(std::clamp(steps, 0.0, static_cast<double>(max - min)));
    return min + static_cast<int>(rounded);
}

TPTrackBar::TPTrackBar(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    resize(FaderGeometry::DefaultWidthPx, FaderGeometry::DefaultHeightPx);
    repeatTimer_ = new QTimer(this);
    repeatTimer_->setObjectName(QStringLiteral("ChannelRepeat"));
    connect(repeatTimer_, &QTimer::timeout, this, &TPTrackBar::RepeatTimerTimer);
}

TPTrackBar::~TPTrackBar() = default;

QSize TPTrackBar::sizeHint() const {
    return {FaderGeometry::DefaultWidthPx, FaderGeometry::DefaultHeightPx};
}

FaderGeometry TPTrackBar::geometryModel() const {
    FaderGeometry g;
    g.widthPx = width();
    g.heightPx = height();
    g.min = min_;
    g.max = max_;
    return g;
}

void TPTrackBar::setMin(int value) {
    setRange(value, std::max(value, max_));
}

void TPTrackBar::setMax(int value) {
    setRange(std::min(value, min_), value);
}

void TPTrackBar::setRange(int minValue, int maxValue) {
    min_ = minValue;
    max_ = std::max(minValue, maxValue);
    update();
    setPosition(position_);
}

void TPTrackBar::setPosition(int value) {
    const int limited = std::clamp(value, min_, max_);
    if (limited == position_) {
        return;
    }
    position_ = limited;
    update();
    emit changed(position_);
}

void TPTrackBar::setLineSize(int value) {
    lineSize_ = std::max(1, value);
}

void TPTrackBar::setPageSize(int value) {
    pageSize_ = std::max(1, value);
}

void TPTrackBar::SetThumbBitmap(const QPixmap& picture) {
    // A pixmap is a value: the faders share the pixels of one picture until one is changed.
    thumb_ = picture;
    update();
}

void TPTrackBar::SetChannelBitmap(const QPixmap& picture) {
    channel_ = picture;
    update();
}

void TPTrackBar::userSetPosition(int value) {
    const bool gesture = !pressed_;
    if (gesture) {
        emit editStarted();
    }
    const int before = position_;
    setPosition(value);
    if (position_ != before) {
        emit userChanged(position_);
    }
    if (gesture) {
        emit editFinished();
    }
}

void TPTrackBar::userStep(int delta) {
    const long long target = static_cast<long long>(position_) + delta;
    userSetPosition(static_cast<int>(std::clamp<long long>(target, min_, max_)));
}

bool TPTrackBar::isRepeating() const {
    return repeatTimer_->isActive();
}

void TPTrackBar::RepeatTimerTimer() {
    repeatTimer_->setInterval(RepeatMs);
    if (!pressed_ || dragging_) {
        repeatTimer_->stop();
        return;
    }
    // Page towards the held pointer, never past it, until the thumb lies under it.
    const int target = geometryModel().positionAtY(pointerYPx_);
    const int distance = target - position_;
    if (distance != 0) {
        userStep(distance < 0 ? -std::min(pageSize_, -distance) : std::min(pageSize_, distance));
    }
}

void TPTrackBar::endPress() {
    repeatTimer_->stop();
    dragging_ = false;
    if (pressed_) {
        pressed_ = false;
        emit editFinished();
    }
}

void TPTrackBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const FaderGeometry g = geometryModel();
    if (!channel_.isNull()) {
        painter.drawPixmap(g.channelTopLeft(), channel_);
    }
    if (!thumb_.isNull()) {
        if (!isEnabled()) {
            painter.setOpacity(0.45);
        }
        painter.drawPixmap(g.thumbTopLeft(position_), thumb_);
    }
    if (hasFocus()) {
        // Keyboard focus: an accent frame around the thumb, two pixels wide so it is easy to find.
        painter.setOpacity(1.0);
        painter.setPen(QPen(theme::color(theme::AccentRgb), FocusFramePx));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(g.thumbRect(position_)).adjusted(-1, -1, 1, 1));
    }
}

void TPTrackBar::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    emit mouseDown(event->button(), pos);
    if (event->button() != Qt::LeftButton || pressed_) {
        return;
    }
    pressed_ = true;
    pointerYPx_ = event->position().y();
    emit editStarted();
    const FaderGeometry g = geometryModel();
    if (g.thumbRect(position_).adjusted(-1, -1, 1, 1).contains(pos)) {
        dragging_ = true;
        dragOffsetPx_ = event->position().y() - g.thumbCentreY(position_);
        return;
    }
    // A press on the channel beside the thumb moves one page towards it, and more while held.
    userStep(pointerYPx_ < g.thumbCentreY(position_) ? -pageSize_ : pageSize_);
    repeatTimer_->start(FirstRepeatMs);
}

void TPTrackBar::mouseMoveEvent(QMouseEvent* event) {
    if (pressed_) {
        pointerYPx_ = event->position().y();
    }
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        userSetPosition(geometryModel().positionAtY(event->position().y() - dragOffsetPx_));
    }
    // Reported after the move, so that a hover line reads the new position.
    emit mouseMove(event->buttons(), event->position().toPoint());
}

void TPTrackBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        endPress();
    }
    emit mouseUp(event->button(), event->position().toPoint());
}

void TPTrackBar::wheelEvent(QWheelEvent* event) {
    // Wheel up moves the thumb up (towards Min); partial deltas of smooth
    // wheels are collected until they make a whole notch.
    // Some platforms turn a wheel with Shift held into a horizontal one.
    const QPoint delta = event->angleDelta();
    wheelRemainder_ += delta.y() != 0 ? delta.y() : delta.x();
    const int notches = wheelRemainder_ / WheelNotch;
    wheelRemainder_ -= notches * WheelNotch;
    if (notches != 0) {
        userStep(-notches * lineSize_);
    }
    event->accept();
}

void TPTrackBar::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        userStep(-lineSize_);
        break;
    case Qt::Key_Down:
    case Qt::Key_Right:
        userStep(lineSize_);
        break;
    case Qt::Key_PageUp:
        userStep(-pageSize_);
        break;
    case Qt::Key_PageDown:
        userStep(pageSize_);
        break;
    case Qt::Key_Home:
        userSetPosition(min_);
        break;
    case Qt::Key_End:
        userSetPosition(max_);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TPTrackBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled()) {
            endPress(); // a disabled fader never sees the release
        }
        update();
    }
    QWidget::changeEvent(event);
}

} // namespace tq50r::editor
