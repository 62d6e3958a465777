#include "editor/fader.h"

#include "editor/skin.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace tq50r::editor {

namespace {
// One notch of an ordinary mouse wheel.
constexpr int WheelNotch = 120;
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
    thumb_ = picture.copy();
    update();
}

void TPTrackBar::SetChannelBitmap(const QPixmap& picture) {
    channel_ = picture.copy();
    update();
}

void TPTrackBar::stepBy(int delta) {
    // Saturate before adding so extreme limits cannot overflow.
    const long long target = static_cast<long long>(position_) + delta;
    setPosition(static_cast<int>(std::clamp<long long>(target, min_, max_)));
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
        // Keyboard focus: a thin accent frame around the thumb.
        painter.setOpacity(1.0);
        painter.setPen(theme::color(theme::AccentRgb));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(g.thumbRect(position_).adjusted(-1, -1, 0, 0));
    }
}

void TPTrackBar::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    emit mouseDown(event->button(), pos);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const FaderGeometry g = geometryModel();
    if (g.thumbRect(position_).adjusted(-1, -1, 1, 1).contains(pos)) {
        dragging_ = true;
        dragOffsetPx_ = event->position().y() - g.thumbCentreY(position_);
        return;
    }
    // A press on the channel beside the thumb moves one page towards it.
    if (event->position().y() < g.thumbCentreY(position_)) {
        stepBy(-pageSize_);
    } else {
        stepBy(pageSize_);
    }
}

void TPTrackBar::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMove(event->buttons(), event->position().toPoint());
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        setPosition(geometryModel().positionAtY(event->position().y() - dragOffsetPx_));
    }
}

void TPTrackBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = false;
    }
    emit mouseUp(event->button(), event->position().toPoint());
}

void TPTrackBar::wheelEvent(QWheelEvent* event) {
    // Wheel up moves the thumb up (towards Min); partial deltas of smooth
    // wheels are collected until they make a whole notch.
    wheelRemainder_ += event->angleDelta().y();
    const int notches = wheelRemainder_ / WheelNotch;
    wheelRemainder_ -= notches * WheelNotch;
    if (notches != 0) {
        stepBy(-notches * lineSize_);
    }
    event->accept();
}

void TPTrackBar::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        stepBy(-lineSize_);
        break;
    case Qt::Key_Down:
    case Qt::Key_Right:
        stepBy(lineSize_);
        break;
    case Qt::Key_PageUp:
        stepBy(-pageSize_);
        break;
    case Qt::Key_PageDown:
        stepBy(pageSize_);
        break;
    case Qt::Key_Home:
        setPosition(min_);
        break;
    case Qt::Key_End:
        setPosition(max_);
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
            dragging_ = false;
        }
        update();
    }
    QWidget::changeEvent(event);
}

} // namespace tq50r::editor
