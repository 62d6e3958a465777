#include "plot/fft_draw_widget.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace tq50r::plot {

namespace {
constexpr double FocusFramePx = 2.0;
} // namespace

TFFTDrawWidget::TFFTDrawWidget(QWidget* parent)
    : QWidget(parent), TFFTDraw([] { return makeQImageCanvas(); }) {
    QWidget::resize(InitialWidth, InitialHeight);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TFFTDrawWidget::~TFFTDrawWidget() = default;

bool TFFTDrawWidget::ControlVisible() const {
    return !(testAttribute(Qt::WA_WState_ExplicitShowHide) && testAttribute(Qt::WA_WState_Hidden));
}

bool TFFTDrawWidget::DrawingDeferred() const {
    if (inPaintCycle_ || isVisible()) {
        return false;
    }
    needsPaintCycle_ = true; // what is skipped now is drawn at the next paint
    return true;
}

void TFFTDrawWidget::SetControlSize(int width, int height) {
    TFFTDraw::SetControlSize(width, height);
    QWidget::resize(width, height);
}

QSize TFFTDrawWidget::sizeHint() const {
    return QWidget::size();
}

void TFFTDrawWidget::Invalidate() {
    needsPaintCycle_ = true;
    update();
}

void TFFTDrawWidget::Paint() {
    needsPaintCycle_ = false;
    paintedSize_ = size();
    inPaintCycle_ = true;
    TFFTDraw::Paint();
    inPaintCycle_ = false;
}

const QImage& TFFTDrawWidget::ScreenImage() {
    return static_cast<QImageCanvas&>(ControlCanvas()).Image();
}

void TFFTDrawWidget::ControlCanvasChanged() {
    if (!inPaintEvent_) {
        update();
    }
}

void TFFTDrawWidget::paintEvent(QPaintEvent* event) {
    inPaintEvent_ = true;
    if (needsPaintCycle_) {
        Paint();
    }
    inPaintEvent_ = false;
    QPainter p(this);
    const qreal scale = devicePixelRatioF();
    // On an unscaled screen the control canvas need not make pixels of its own for what was only
    // copied onto it (until the next redraw changes a page): the same pixels come straight from
    // the pages.
    auto& control = static_cast<QImageCanvas&>(ControlCanvas());
    if (scale != 1.0 || !control.PaintUnmade(p, event->rect())) {
        const QImage& screen = ScreenImage();
        if (screen.isNull()) {
            p.fillRect(event->rect(), toQColor(Color()));
            return;
        }
        // The pages are drawn in the widget's own pixels. On a screen scaled by a fraction
        // (1.5x) copying each pixel to a whole number of screen pixels would draw one grid line
        // one pixel wide and the next two; filtering keeps every line the same width. Whole
        // scales stay crisp.
        p.setRenderHint(QPainter::SmoothPixmapTransform, scale != std::floor(scale));
        p.drawImage(event->rect(), screen, event->rect());
    }
    if (hasFocus()) {
        p.setPen(QPen(focusFrameColor_, FocusFramePx));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

void TFFTDrawWidget::setFocusFrameColor(const QColor& colour) {
    focusFrameColor_ = colour;
    update();
}

void TFFTDrawWidget::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void TFFTDrawWidget::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void TFFTDrawWidget::resizeEvent(QResizeEvent* event) {
    TFFTDraw::SetControlSize(width(), height());
    if (size() != paintedSize_) {
        needsPaintCycle_ = true;
    }
    QWidget::resizeEvent(event);
}

void TFFTDrawWidget::mousePressEvent(QMouseEvent* event) {
    emit mousePressed(event->button(), event->position().toPoint(), event->modifiers());
}

void TFFTDrawWidget::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(event->buttons(), event->position().toPoint(), event->modifiers());
}

void TFFTDrawWidget::mouseReleaseEvent(QMouseEvent* event) {
    emit mouseReleased(event->button(), event->position().toPoint(), event->modifiers());
}

} // namespace tq50r::plot
