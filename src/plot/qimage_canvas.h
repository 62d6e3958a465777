// A plot canvas over a QImage, painted with QPainter without antialiasing (crisp pixels). Lines of
// pens up to a few pixels wide are rasterised by the canvas itself; a one-pixel line covers its
// start pixel but not its end pixel, so a line of length n lights n pixels.
#pragma once

#include "plot/core/canvas.h"

#include <QImage>
#include <QPainter>
#include <memory>
#include <optional>
#include <vector>

namespace tq50r::plot {

QColor toQColor(TColor c);
QFont toQFont(const TPlotFont& f);

class QImageCanvas final : public Canvas {
public:
    QImageCanvas() = default;
    ~QImageCanvas() override;
    QImageCanvas(const QImageCanvas&) = delete;
    QImageCanvas& operator=(const QImageCanvas&) = delete;

    void SetSize(int width, int height) override;
    int Width() const override { return width_; }
    int Height() const override { return height_; }

    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void FrameRect(const TRect& r) override;
    void FillRect(const TRect& r) override;
    void Rectangle(const TRect& r) override;
    void Ellipse(const TRect& r) override;
    void TextOut(int x, int y, const std::string& text) override;
    int TextWidth(const std::string& text) override;
    int TextHeight(const std::string& text) override;
    void CopyRect(const TRect& destRect, Canvas& source, const TRect& sourceRect) override;

    // The image with every pending paint finished.
    const QImage& Image();

    // Paints `area` of what the canvas shows, at the canvas's own coordinates, straight from the
    // canvases it was copied from, when it has not made its own pixels yet (see below); false when
    // it has (then paint from Image()).
    bool PaintUnmade(QPainter& painter, const QRect& area) const;

private:
    // A canvas makes its pixels when it is first drawn on or asked for: a page that is resized
    // several times before it is first drawn, or never drawn, costs no pixels until then. Until
    // then it shows white, or the colour it was filled with as a whole, under the rectangles copied
    // onto it: those are kept as references to their sources, which make this canvas take its
    // copies before they change (the control canvas is drawn on the screen straight from the
    // pages at its first paint).
    struct PendingCopy {
        QRect dest;
        QImageCanvas* source;
        QRect sourceRect;
    };

    bool hasArea() const { return width_ > 0 && height_ > 0; }
    // Makes the pixels (if not yet) with what is pending.
    void make();
    // Before the pixels change: the canvases holding copies of this one take them, and this one
    // makes its pixels.
    QImage& writable();
    void beforeChange();
    void dropPending();
    QPainter& painter();
    void endPaint();
    // Consecutive line-tos with one pen are collected and drawn as one polyline.
    void flushPolyline();
    void thinPolyline();
    void strokeSegment(QPoint a, QPoint b, double radius, QRgb color);
    void applyPen(QPainter& p);
    void applyBrush(QPainter& p, bool filled);
    // Ends a pending polyline and gives the painter for a shape within r, or nullptr when there
    // is no image or r is empty (nothing to draw).
    QPainter* rectPainter(const TRect& r);
    const QFontMetrics& metrics();

    int width_ = 0;
    int height_ = 0;
    QImage image_; // null until make() makes it
    std::optional<QColor> pendingFill_;
    std::vector<PendingCopy> pendingCopies_;
    std::vector<QImageCanvas*> holders_; // canvases with pending copies of this one
    std::vector<QPoint> polyline_;
    TPen polylinePen_;
    bool penApplied_ = false; // the painter holds polylinePen_-style state of applyPen
    TPen appliedPen_;
    std::unique_ptr<QPainter> painter_;
    TPoint pos_;
    // Font metrics of the last font asked for, kept while the font stays the same.
    TPlotFont metricsFont_;
    std::unique_ptr<QFontMetrics> metrics_;
};

// The factory the widget and the tools hand to TFFTDraw.
std::unique_ptr<Canvas> makeQImageCanvas();

} // namespace tq50r::plot
