#include "plot/qimage_canvas.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tq50r::plot {

namespace {
// Coordinates beyond this are far outside any page; lines are clipped to it before painting and
// rectangles clamped, so extreme data cannot overflow the painter's fixed-point arithmetic.
constexpr double CoordLimit = 1 << 20;
constexpr int CoordLimitInt = 1 << 20;
// Pens up to this width are rasterised by the canvas itself; wider ones are stroked.
constexpr int MaxThickPenWidth = 4;
// Pixel (x, y) covers the square from (x, y) to (x + 1, y + 1); its centre decides coverage.
constexpr double PixelCentre = 0.5;
// The colour bits of a 32-bit pixel (its top byte is the opaque alpha of the image format).
constexpr QRgb RgbMask = 0x00FFFFFF;

// Dash patterns of a one-pixel pen, in pixels along the line's longer axis: lit, then the whole
// period; the pattern runs on through the joints of a polyline.
struct DashPattern {
    std::int64_t litPx;
    std::int64_t periodPx;
};
constexpr DashPattern DashedPattern{4, 6};
constexpr DashPattern DottedPattern{1, 3};

// Products of two coordinate differences of 32-bit ints need more than 64 bits.
__extension__ typedef __int128 WideInt;

WideInt floorDiv(WideInt num, WideInt den) { // den > 0
    const WideInt q = num / den;
    return (num % den != 0 && num < 0) ? q - 1 : q;
}

WideInt ceilDiv(WideInt num, WideInt den) { // den > 0
    const WideInt q = num / den;
    return (num % den != 0 && num > 0) ? q + 1 : q;
}

// A one-pixel line from (x0, y0) towards (x1, y1): one pixel per step along the longer axis,
// starting with the start pixel and leaving out the end pixel, so a zero-length line is empty and
// consecutive lines of a polyline meet without plotting a joint twice. At step i the other
// coordinate has moved by floor((2 i dn + dm) / (2 dm)) of its dn, where dm is the length along
// the longer axis: the exact line's position, halves rounded away from the start. Calls
// plot(x, y, i) for the steps whose pixel lies in the w x h image (skipping the others in
// constant time, so lines far outside cost nothing) and returns the number of steps, dm.
template <class Plot>
std::int64_t thinLine(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, int w,
                      int h, Plot&& plot) {
    const std::int64_t dx = x1 - x0;
    const std::int64_t dy = y1 - y0;
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const std::int64_t m0 = xMajor ? x0 : y0;
    const std::int64_t n0 = xMajor ? y0 : x0;
    const std::int64_t dm = std::abs(xMajor ? dx : dy);
    const std::int64_t dn = std::abs(xMajor ? dy : dx);
    const std::int64_t sm = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const std::int64_t sn = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const std::int64_t mLast = (xMajor ? w : h) - 1;
    const std::int64_t nLast = (xMajor ? h : w) - 1;
    if (dm == 0) {
        return 0;
    }
    // Steps whose coordinate along the longer axis lies in the image.
    std::int64_t iFirst = std::max<std::int64_t>(0, sm > 0 ? -m0 : m0 - mLast);
    std::int64_t iLast = std::min(dm - 1, sm > 0 ? mLast - m0 : m0);
    // Minor offsets k (0 .. dn) whose coordinate lies in the image; k never falls as i grows.
    const std::int64_t kLo = std::max<std::int64_t>(0, sn > 0 ? -n0 : n0 - nLast);
    const std::int64_t kHi = std::min(dn, sn > 0 ? nLast - n0 : n0);
    if (kLo > kHi || iFirst > iLast) {
        return dm;
    }
    const WideInt twoDm = WideInt{2} * dm;
    const WideInt twoDn = WideInt{2} * dn;
    if (dn > 0) {
        // k(i) >= kLo  <=>  2 i dn >= 2 dm kLo - dm;  k(i) <= kHi  <=>  2 i dn < 2 dm (kHi + 1) -
        // dm.
        iFirst = std::max(iFirst, static_cast<std::int64_t>(ceilDiv(twoDm * kLo - dm, twoDn)));
        iLast =
            std::min(iLast, static_cast<std::int64_t>(floorDiv(twoDm * (kHi + 1) - dm - 1, twoDn)));
    }
    if (iFirst > iLast) {
        return dm;
    }
    const WideInt start = twoDn * iFirst + dm;
    auto k = static_cast<std::int64_t>(start / twoDm);
    auto rest = static_cast<std::int64_t>(start % twoDm); // below 2 dm, so 64 bits hold it
    const auto twoDm64 = static_cast<std::int64_t>(twoDm);
    const auto twoDn64 = static_cast<std::int64_t>(twoDn);
    for (std::int64_t i = iFirst; i <= iLast; ++i) {
        const auto m = static_cast<int>(m0 + sm * i);
        const auto n = static_cast<int>(n0 + sn * k);
        if (xMajor) {
            plot(m, n, i);
        } else {
            plot(n, m, i);
        }
        rest += twoDn64;
        if (rest >= twoDm64) { // dn <= dm: at most one step across per step along
            rest -= twoDm64;
            ++k;
        }
    }
    return dm;
}

int clampCoord(int v) {
    return std::clamp(v, -CoordLimitInt, CoordLimitInt);
}

bool isEmpty(const TRect& r) {
    return r.Right <= r.Left || r.Bottom <= r.Top;
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
    // Plain pixels in the font's exact colour: numerals on the markers stay crisp.
    font.setStyleStrategy(QFont::NoAntialias);
    font.setBold(f.Bold);
    font.setItalic(f.Italic);
    return font;
}

QImageCanvas::~QImageCanvas() {
    endPaint();
    beforeChange(); // holders of copies of this canvas take them now
    dropPending();
}

// The pixels of a thick solid pen along one segment: every pixel whose centre lies closer than
// half the pen width to the segment (a stroke with round ends, so consecutive segments join
// without gaps). Each row of the image meets that shape in one run of pixels.
void QImageCanvas::strokeSegment(QPoint a, QPoint b, double radius, QRgb color) {
    const int w = image_.width();
    const int h = image_.height();
    const double ax = a.x();
    const double ay = a.y();
    const double dx = b.x() - ax;
    const double dy = b.y() - ay;
    const double len2 = dx * dx + dy * dy;
    const double r2 = radius * radius;
    const int rowFirst = std::max(0, static_cast<int>(std::floor(std::min(ay, ay + dy) - radius)));
    const int rowLast =
        std::min(h - 1, static_cast<int>(std::ceil(std::max(ay, ay + dy) + radius)));
    for (int row = rowFirst; row <= rowLast; ++row) {
        const double cy = row + PixelCentre - ay; // relative to a
        double lo = std::numeric_limits<double>::infinity();
        double hi = -lo;
        // The round ends.
        for (const auto& [ex, ey] : {std::pair{0.0, 0.0}, std::pair{dx, dy}}) {
            const double rest = r2 - (cy - ey) * (cy - ey);
            if (rest > 0.0) {
                const double half = std::sqrt(rest);
                lo = std::min(lo, ex - half);
                hi = std::max(hi, ex + half);
            }
        }
        // The band between them: 0 < t < 1 along the segment, distance below the radius across.
        if (len2 > 0.0) {
            double bandLo = -std::numeric_limits<double>::infinity();
            double bandHi = -bandLo;
            const auto within = [&](double slope, double offset, double lower, double upper) {
                // lower < slope * x + offset < upper
                if (slope == 0.0) {
                    if (!(offset > lower && offset < upper)) {
                        bandLo = 1.0;
                        bandHi = 0.0;
                    }
                    return;
                }
                double x0 = (lower - offset) / slope;
                double x1 = (upper - offset) / slope;
                if (x0 > x1) {
                    std::swap(x0, x1);
                }
                bandLo = std::max(bandLo, x0);
                bandHi = std::min(bandHi, x1);
            };
            const double reach = radius * std::sqrt(len2);
            within(dx, cy * dy, 0.0, len2);      // projection along the segment
            within(-dy, cy * dx, -reach, reach); // distance across it, times the length
            if (bandLo < bandHi) {
                lo = std::min(lo, bandLo);
                hi = std::max(hi, bandHi);
            }
        }
        if (!(lo < hi)) {
            continue;
        }
        // Pixels whose centres lie strictly inside (lo, hi), relative to a.
        const double left = std::clamp(ax + lo - PixelCentre, -1.0, static_cast<double>(w));
        const double right = std::clamp(ax + hi - PixelCentre, -1.0, static_cast<double>(w));
        const int first = std::max(0, static_cast<int>(std::floor(left)) + 1);
        const int last = std::min(w - 1, static_cast<int>(std::ceil(right)) - 1);
        if (first > last) {
            continue;
        }
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(row));
        std::fill(line + first, line + last + 1, color);
    }
}

// The one-pixel pen's pixels, written straight into the image: the pen's colour (copy), its
// colour bits flipped into the pixel (xor), or the pixel's colour inverted (not).
void QImageCanvas::thinPolyline() {
    if (Pen.Style == TPenStyle::Clear || image_.format() != QImage::Format_RGB32) {
        return;
    }
    const QRgb color = toQColor(Pen.Color).rgb();
    const QRgb flip = Pen.Mode == TPenMode::Xor ? (color & RgbMask) : RgbMask;
    const bool copy = Pen.Mode == TPenMode::Copy;
    const DashPattern* dash = Pen.Style == TPenStyle::Dash  ? &DashedPattern
                              : Pen.Style == TPenStyle::Dot ? &DottedPattern
                                                            : nullptr;
    uchar* const bits = image_.bits();
    const qsizetype bytesPerLine = image_.bytesPerLine();
    std::int64_t phase = 0; // steps drawn before the current segment
    const auto plot = [&](int x, int y, std::int64_t step) {
        if (dash != nullptr && (phase + step) % dash->periodPx >= dash->litPx) {
            return;
        }
        QRgb& px = reinterpret_cast<QRgb*>(bits + y * bytesPerLine)[x];
        px = copy ? color : (px ^ flip);
    };
    for (std::size_t i = 1; i < polyline_.size(); ++i) {
        const QPoint a = polyline_[i - 1];
        const QPoint b = polyline_[i];
        phase += thinLine(a.x(), a.y(), b.x(), b.y(), image_.width(), image_.height(), plot);
    }
}

void QImageCanvas::flushPolyline() {
    if (polyline_.size() < 2) {
        polyline_.clear();
        return;
    }
    writable(); // made before its pixels are written below
    const TPen current = Pen;
    Pen = polylinePen_;
    const int width = Pen.Width;
    if (width <= 1) {
        // Written straight into the image like the thick pens below (see there why that keeps
        // the order with the painter's steps).
        thinPolyline();
    } else if (width <= MaxThickPenWidth && Pen.Style == TPenStyle::Solid &&
               Pen.Mode == TPenMode::Copy) {
        // A thick opaque pen is rasterised here, segment by segment: the pixels a stroked
        // outline of that width covers, at a fraction of the cost of stroking. The painter
        // draws straight into the image, so the order with its own steps is kept; the image is
        // never shared while a painter is on it (a painter detaches it when it begins, and
        // Image() ends the painter before handing the image out).
        const QRgb color = toQColor(Pen.Color).rgb();
        const double radius = width / 2.0;
        for (std::size_t i = 1; i < polyline_.size(); ++i) {
            strokeSegment(polyline_[i - 1], polyline_[i], radius, color);
        }
    } else if (polyline_.size() == 2) {
        QPainter& p = painter();
        applyPen(p);
        p.drawLine(polyline_[0], polyline_[1]);
    } else {
        QPainter& p = painter();
        applyPen(p);
        p.drawPolyline(polyline_.data(), static_cast<int>(polyline_.size()));
    }
    Pen = current;
    polyline_.clear();
}

QPainter& QImageCanvas::painter() {
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(&writable());
        painter_->setRenderHint(QPainter::Antialiasing, false);
        painter_->setRenderHint(QPainter::TextAntialiasing, false);
    }
    return *painter_;
}

void QImageCanvas::endPaint() {
    flushPolyline();
    penApplied_ = false;
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

void QImageCanvas::make() {
    if (!image_.isNull() || !hasArea()) {
        return;
    }
    image_ = QImage(width_, height_, QImage::Format_RGB32);
    image_.fill(pendingFill_.value_or(QColor(Qt::white)));
    if (!pendingCopies_.empty()) {
        // As CopyRect would have copied them.
        QPainter p(&image_);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        for (const PendingCopy& c : pendingCopies_) {
            p.drawImage(c.dest, c.source->image_, c.sourceRect);
        }
    }
    dropPending();
}

void QImageCanvas::beforeChange() {
    for (QImageCanvas* holder : std::exchange(holders_, {})) {
        holder->make();
    }
}

QImage& QImageCanvas::writable() {
    beforeChange();
    make();
    return image_;
}

void QImageCanvas::dropPending() {
    for (const PendingCopy& c : pendingCopies_) {
        std::erase(c.source->holders_, this);
    }
    pendingCopies_.clear();
    pendingFill_.reset();
}

const QImage& QImageCanvas::Image() {
    endPaint();
    make();
    return image_;
}

bool QImageCanvas::PaintUnmade(QPainter& painter, const QRect& area) const {
    if (!image_.isNull() || !hasArea()) {
        return false;
    }
    const QRect shown = area & QRect(0, 0, width_, height_);
    painter.fillRect(shown, pendingFill_.value_or(QColor(Qt::white)));
    painter.save();
    painter.setClipRect(shown);
    for (const PendingCopy& c : pendingCopies_) {
        painter.drawImage(c.dest, c.source->image_, c.sourceRect);
    }
    painter.restore();
    return true;
}

void QImageCanvas::SetSize(int width, int height) {
    endPaint();
    polyline_.clear();
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == width_ && height == height_) {
        return;
    }
    beforeChange();
    dropPending();
    width_ = width;
    height_ = height;
    image_ = QImage();
}

void QImageCanvas::applyPen(QPainter& p) {
    if (penApplied_ && appliedPen_ == Pen) {
        return;
    }
    penApplied_ = true;
    appliedPen_ = Pen;
    if (Pen.Style == TPenStyle::Clear) {
        p.setPen(Qt::NoPen);
        return;
    }
    QPen pen(toQColor(Pen.Color));
    pen.setWidth(std::max(1, Pen.Width));
    // A one-pixel pen is cosmetic: the painter's fast line path, same pixels.
    pen.setCosmetic(Pen.Width <= 1);
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
    const TPoint from = pos_;
    pos_ = TPoint{x, y};
    if (!hasArea()) {
        return;
    }
    beforeChange();
    const auto near = [](int v) { return v > -CoordLimitInt && v < CoordLimitInt; };
    const bool inRange = near(from.X) && near(from.Y) && near(x) && near(y);
    // A one-pixel pen is rasterised exactly at any distance; the others are clipped first.
    if (inRange || Pen.Width <= 1) {
        // Both ends beyond the same edge: nothing of the line can show.
        const int w = width_;
        const int h = height_;
        const int reach = std::max(1, Pen.Width);
        if ((from.X < -reach && x < -reach) || (from.Y < -reach && y < -reach) ||
            (from.X > w + reach && x > w + reach) || (from.Y > h + reach && y > h + reach)) {
            return;
        }
        const bool continues =
            !polyline_.empty() && polyline_.back() == QPoint(from.X, from.Y) && polylinePen_ == Pen;
        if (!continues) {
            flushPolyline();
            polyline_.emplace_back(from.X, from.Y);
            polylinePen_ = Pen;
        }
        polyline_.emplace_back(x, y);
        return;
    }
    flushPolyline();
    double x0 = from.X;
    double y0 = from.Y;
    double x1 = x;
    double y1 = y;
    if (!clipSegment(x0, y0, x1, y1)) {
        return;
    }
    QPainter& p = painter();
    applyPen(p);
    p.drawLine(QPointF(x0, y0), QPointF(x1, y1));
}

QPainter* QImageCanvas::rectPainter(const TRect& r) {
    flushPolyline();
    if (!hasArea() || isEmpty(r)) {
        return nullptr;
    }
    beforeChange();
    return &painter();
}

void QImageCanvas::FrameRect(const TRect& r) {
    QPainter* const p = rectPainter(r);
    if (p == nullptr) {
        return;
    }
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    p->setPen(toQColor(Brush.Color));
    penApplied_ = false;
    p->setBrush(Qt::NoBrush);
    p->drawRect(toQRect(r).adjusted(0, 0, -1, -1));
}

void QImageCanvas::FillRect(const TRect& r) {
    if (image_.isNull() && hasArea() && polyline_.empty() &&
        toQRect(r).contains(QRect(0, 0, width_, height_))) {
        // Filling the whole of a canvas without pixels: only its colour is kept.
        beforeChange();
        dropPending();
        pendingFill_ = toQColor(Brush.Color);
        return;
    }
    QPainter* const p = rectPainter(r);
    if (p == nullptr) {
        return;
    }
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    penApplied_ = false;
    p->fillRect(toQRect(r), toQColor(Brush.Color));
}

void QImageCanvas::Rectangle(const TRect& r) {
    QPainter* const p = rectPainter(r);
    if (p == nullptr) {
        return;
    }
    applyPen(*p);
    applyBrush(*p, true);
    p->drawRect(toQRect(r).adjusted(0, 0, -1, -1));
}

void QImageCanvas::Ellipse(const TRect& r) {
    QPainter* const p = rectPainter(r);
    if (p == nullptr) {
        return;
    }
    applyPen(*p);
    applyBrush(*p, true);
    p->drawEllipse(toQRect(r).adjusted(0, 0, -1, -1));
}

const QFontMetrics& QImageCanvas::metrics() {
    if (!metrics_ || !(metricsFont_ == Font)) {
        metricsFont_ = Font;
        metrics_ = std::make_unique<QFontMetrics>(toQFont(Font));
    }
    return *metrics_;
}

void QImageCanvas::TextOut(int x, int y, const std::string& text) {
    flushPolyline();
    if (!hasArea() || text.empty()) {
        return;
    }
    beforeChange();
    const QString s = QString::fromStdString(text);
    const QFontMetrics& fm = metrics();
    const QRect cell(clampCoord(x), clampCoord(y), fm.horizontalAdvance(s), fm.height());
    QPainter& p = painter();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    penApplied_ = false;
    if (Brush.Style == TBrushStyle::Solid) {
        p.fillRect(cell, toQColor(Brush.Color));
    }
    p.setFont(toQFont(Font));
    p.setPen(toQColor(Font.Color));
    penApplied_ = false;
    p.drawText(QPoint(cell.left(), cell.top() + fm.ascent()), s);
}

int QImageCanvas::TextWidth(const std::string& text) {
    // The layout measures the same few label texts again at every relayout; shaping a text
    // costs far more than looking its width up. Widths depend on the font alone, so one table
    // per thread serves every canvas.
    struct Key {
        TPlotFont font;
        std::string text;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const {
            const std::hash<std::string> h;
            return h(k.text) ^ (h(k.font.Face) << 1) ^
                   (static_cast<std::size_t>(k.font.SizePt) << 2) ^
                   (static_cast<std::size_t>(k.font.Bold) << 3) ^
                   (static_cast<std::size_t>(k.font.Italic) << 4);
        }
    };
    // The colour does not change a width.
    Key key{Font, text};
    key.font.Color = ColorBlack;
    thread_local std::unordered_map<Key, int, KeyHash> widths;
    constexpr std::size_t MaxRemembered = 4096; // bounded however many texts are measured
    if (const auto found = widths.find(key); found != widths.end()) {
        return found->second;
    }
    if (widths.size() >= MaxRemembered) {
        widths.clear();
    }
    const int width = metrics().horizontalAdvance(QString::fromStdString(text));
    widths.emplace(std::move(key), width);
    return width;
}

int QImageCanvas::TextHeight(const std::string&) {
    thread_local std::vector<std::pair<TPlotFont, int>> heights;
    TPlotFont font = Font;
    font.Color = ColorBlack;
    for (const auto& [known, height] : heights) {
        if (known == font) {
            return height;
        }
    }
    const int height = metrics().height();
    constexpr std::size_t MaxFonts = 64;
    if (heights.size() >= MaxFonts) {
        heights.clear();
    }
    heights.emplace_back(font, height);
    return height;
}

void QImageCanvas::CopyRect(const TRect& destRect, Canvas& source, const TRect& sourceRect) {
    flushPolyline();
    auto* src = dynamic_cast<QImageCanvas*>(&source);
    if (src == nullptr || src == this || !hasArea()) {
        return;
    }
    const QImage& from = src->Image();
    if (from.isNull() || isEmpty(destRect)) {
        return;
    }
    beforeChange();
    if (image_.isNull()) {
        // Kept as a reference until either canvas changes; one that hides an earlier copy
        // wholly replaces it.
        const PendingCopy copy{toQRect(destRect), src, toQRect(sourceRect)};
        std::vector<QImageCanvas*> sources;
        for (const PendingCopy& c : pendingCopies_) {
            sources.push_back(c.source);
        }
        std::erase_if(pendingCopies_,
                      [&](const PendingCopy& c) { return copy.dest.contains(c.dest); });
        pendingCopies_.push_back(copy);
        for (QImageCanvas* s : sources) {
            if (std::none_of(pendingCopies_.begin(), pendingCopies_.end(),
                             [s](const PendingCopy& c) { return c.source == s; })) {
                std::erase(s->holders_, this);
            }
        }
        if (std::find(src->holders_.begin(), src->holders_.end(), this) == src->holders_.end()) {
            src->holders_.push_back(this);
        }
        return;
    }
    QPainter& p = painter();
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(toQRect(destRect), from, toQRect(sourceRect));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    penApplied_ = false;
}

std::unique_ptr<Canvas> makeQImageCanvas() {
    return std::make_unique<QImageCanvas>();
}

} // namespace tq50r::plot
