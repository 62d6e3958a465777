#include "editor/axis_strips.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace tq50r::editor {

namespace {

QColor stripBackground() {
    return QColor(StripGrey, StripGrey, StripGrey);
}

QFont stripFont() {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(StripFontPx);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

template <std::size_t N>
void paintLabels(QPainter& p, const std::array<StripLabel, N>& labels, int widthPx, int heightPx) {
    p.fillRect(0, 0, widthPx, heightPx, stripBackground());
    p.setFont(stripFont());
    p.setPen(Qt::white);
    const QFontMetrics fm(p.font());
    // Each label's baseline lies one (unrounded) ascent below the top of its cell, as a text laid
    // out in the cell from its top would have it, on a scaled screen too.
    const qreal ascent = QFontMetricsF(p.font()).ascent();
    for (const StripLabel& l : labels) {
        const QString text = QString::fromLatin1(l.text);
        const int widthOfText = fm.horizontalAdvance(text) + 1;
        // A label that would run past the strip's end ("(Hz)" at the right) moves left into it.
        const int x = std::min(l.xPx, widthPx - widthOfText);
        p.drawText(QPointF(x, l.yPx + ascent), text);
    }
}

} // namespace

void LeftBoxPaint(QPainter& p, int widthPx, int heightPx) {
    paintLabels(p, LeftStripLabels, widthPx, heightPx);
}

void BottomBoxPaint(QPainter& p, int widthPx, int heightPx) {
    paintLabels(p, BottomStripLabels, widthPx, heightPx);
}

void RightBoxPaint(QPainter& p, int widthPx, int heightPx) {
    p.fillRect(QRect(QPoint(RightStripFillLeftPx, 0), QPoint(widthPx - 1, heightPx - 1)),
               stripBackground());
}

AxisStrip::AxisStrip(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    switch (kind) {
    case Kind::Left:
        setObjectName(QStringLiteral("LeftPaintBox"));
        resize(LeftStripWidthPx, LeftStripHeightPx);
        break;
    case Kind::Bottom:
        setObjectName(QStringLiteral("BottomPaintBox"));
        resize(BottomStripWidthPx, BottomStripHeightPx);
        break;
    case Kind::Right:
        setObjectName(QStringLiteral("RightPaintBox"));
        resize(RightStripWidthPx, RightStripHeightPx);
        break;
    }
    // Pass mouse input through to the graph underneath (the strips lie over its margins).
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void AxisStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    switch (kind_) {
    case Kind::Left:
        LeftBoxPaint(p, width(), height());
        break;
    case Kind::Bottom:
        BottomBoxPaint(p, width(), height());
        break;
    case Kind::Right:
        RightBoxPaint(p, width(), height());
        break;
    }
}

} // namespace tq50r::editor
