#include "plot/qimage_canvas.h"

#include <QFontMetrics>
#include <algorithm>

namespace tq50r::plot {

namespace {
// Coordinates beyond this are far outside any page; lines are clipped to it before painting and
// rectangles clamped, so extreme data cannot overflow the painter's fixed-point arithmetic.
constexpr double CoordLimit = 1 << 20;
constexpr int CoordLimitInt = 1 << 20;

int clampCoord(int v) {
    return std::clamp(v, -CoordLimitInt, CoordLimitInt);
}

QRect toQRect(const TRect& r) {
    const int l = clampCoord(r.Left);
    const int t = clampCoord(r.Top);
    const int rr = clampCoord(r.Right);
    const int b = clampCoord(r.Bottom);
    return QRect(QPoint(l, t), QPoint(rr - 1, b - 1));
}

// Liang-Barsky clipping of the segment to the square of CoordLimit; false when nothing remains.
bool clipSegment(double& x0, double& y0, double& x1, double& y1) {
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 + CoordLimit, CoordLimit - x0, y0 + CoordLimit, CoordLimit - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) {
                return false;
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) {
            return false;
        }
    }
    const double nx0 = x0 + t0 * dx;
    const double ny0 = y0 + t0 * dy;
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = nx0;
    y0 = ny0;
    return true;
}
} // namespace

QColor toQColor(TColor c) {
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

QFont toQFont(const TPlotFont& f) {
    QFont font;
    if (!f.Face.empty()) {
        font.setFamily(QString::fromStdString(f.Face));
    }
    if (f.SizePt > 0) {
        font.setPointSize(f.SizePt);
    }
    font.setBold(f.Bold);
    font.setItalic(f.Italic);
    return font;
}

QImageCanvas::~QImageCanvas() {
    endPaint();
}

QPainter& QImageCanvas::painter() {
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(&image_);
        painter_->setRenderHint(QPainter::Antialiasing, false);
        painter_->setRenderHint(QPainter::TextAntialiasing, true);
    }
    return *painter_;
}

void QImageCanvas::endPaint() {
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

const QImage& QImageCanvas::Image() {
    endPaint();
    return image_;
}

void QImageCanvas::SetSize(int width, int height) {
    endPaint();
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == image_.width() && height == image_.height()) {
        return;
    }
    if (width == 0 || height == 0) {
        image_ = QImage();
        return;
    }
    image_ = QImage(width, height, QImage::Format_RGB32);
    image_.fill(Qt::white);
}

void QImageCanvas::applyPen(QPainter& p) {
    if (Pen.Style == TPenStyle::Clear) {
        p.setPen(Qt::NoPen);
        return;
    }
    QPen pen(toQColor(Pen.Color));
    pen.setWidth(std::max(1, Pen.Width));
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    if (Pen.Style == TPenStyle::Dash) {
        pen.setStyle(Qt::DashLine);
    } else if (Pen.Style == TPenStyle::Dot) {
        pen.setStyle(Qt::DotLine);
    }
    p.setPen(pen);
    p.setCompositionMode(Pen.Mode == TPenMode::Xor   ? QPainter::RasterOp_SourceXorDestination
                         : Pen.Mode == TPenMode::Not ? QPainter::RasterOp_NotDestination
                                                     : QPainter::CompositionMode_SourceOver);
}

void QImageCanvas::applyBrush(QPainter& p, bool filled) {
    if (filled && Brush.Style == TBrushStyle::Solid) {
        p.setBrush(toQColor(Brush.Color));
    } else {
        p.setBrush(Qt::NoBrush);
    }
}

void QImageCanvas::MoveTo(int x, int y) {
    pos_ = TPoint{x, y};
}

void QImageCanvas::LineTo(int x, int y) {
    double x0 = pos_.X;
    double y0 = pos_.Y;
    double x1 = x;
    double y1 = y;
    pos_ = TPoint{x, y};
    if (image_.isNull() || !clipSegment(x0, y0, x1, y1)) {
        return;
    }
    QPainter& p = painter();
    applyPen(p);
    p.drawLine(QPointF(x0, y0), QPointF(x1, y1));
}

void QImageCanvas::FrameRect(const TRect& r) {
    if (image_.isNull() || r.Right <= r.Left || r.Bottom <= r.Top) {
        return;
    }
    QPainter& p = painter();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setPen(toQColor(Brush.Color));
    p.setBrush(Qt::NoBrush);
    p.drawRect(toQRect(r).adjusted(0, 0, -1, -1));
}

void QImageCanvas::FillRect(const TRect& r) {
    if (image_.isNull() || r.Right <= r.Left || r.Bottom <= r.Top) {
        return;
    }
    QPainter& p = painter();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.fillRect(toQRect(r), toQColor(Brush.Color));
}

void QImageCanvas::Rectangle(const TRect& r) {
    if (image_.isNull() || r.Right <= r.Left || r.Bottom <= r.Top) {
        return;
    }
    QPainter& p = painter();
    applyPen(p);
    applyBrush(p, true);
    p.drawRect(toQRect(r).adjusted(0, 0, -1, -1));
}

void QImageCanvas::Ellipse(const TRect& r) {
    if (image_.isNull() || r.Right <= r.Left || r.Bottom <= r.Top) {
        return;
    }
    QPainter& p = painter();
    applyPen(p);
    applyBrush(p, true);
    p.drawEllipse(toQRect(r).adjusted(0, 0, -1, -1));
}

const QFontMetrics& QImageCanvas::metrics() {
    if (!metrics_ || !(metricsFont_ == Font)) {
        metricsFont_ = Font;
        metrics_ = std::make_unique<QFontMetrics>(toQFont(Font));
    }
    return *metrics_;
}

void QImageCanvas::TextOut(int x, int y, const std::string& text) {
    if (image_.isNull() || text.empty()) {
        return;
    }
    const QString s = QString::fromStdString(text);
    const QFontMetrics& fm = metrics();
    const QRect cell(clampCoord(x), clampCoord(y), fm.horizontalAdvance(s), fm.height());
    QPainter& p = painter();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (Brush.Style == TBrushStyle::Solid) {
        p.fillRect(cell, toQColor(Brush.Color));
    }
    p.setFont(toQFont(Font));
    p.setPen(toQColor(Font.Color));
    p.drawText(QPoint(cell.left(), cell.top() + fm.ascent()), s);
}

int QImageCanvas::TextWidth(const std::string& text) {
    return metrics().horizontalAdvance(QString::fromStdString(text));
}

int QImageCanvas::TextHeight(const std::string&) {
    return metrics().height();
}

void QImageCanvas::CopyRect(const TRect& destRect, Canvas& source, const TRect& sourceRect) {
    auto* src = dynamic_cast<QImageCanvas*>(&source);
    if (src == nullptr || src == this || image_.isNull()) {
        return;
    }
    const QImage& from = src->Image();
    if (from.isNull() || destRect.Right <= destRect.Left || destRect.Bottom <= destRect.Top) {
        return;
    }
    QPainter& p = painter();
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(toQRect(destRect), from, toQRect(sourceRect));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

std::unique_ptr<Canvas> makeQImageCanvas() {
    return std::make_unique<QImageCanvas>();
}

} // namespace tq50r::plot
