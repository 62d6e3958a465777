// The response plot as a Qt widget: a TFFTDraw whose pages are QImage canvases. The widget runs
// the paint cycle when it is first shown, resized or invalidated, keeps the control canvas as
// its screen and forwards mouse input as signals, so the host layers its own interaction on top.
#pragma once

#include "plot/core/fft_draw.h"
#include "plot/qimage_canvas.h"

#include <QWidget>

namespace tq50r::plot {

class TFFTDrawWidget : public QWidget, public TFFTDraw {
    Q_OBJECT
public:
    explicit TFFTDrawWidget(QWidget* parent = nullptr);
    ~TFFTDrawWidget() override;

    int ControlWidth() const override { return QWidget::width(); }
    int ControlHeight() const override { return QWidget::height(); }
    // The control's own visibility flag: true unless the widget was explicitly hidden.
    bool ControlVisible() const override;
    // Before the widget is first shown (or while it is hidden) nothing is drawn but by Paint().
    bool DrawingDeferred() const override;
    void SetControlSize(int width, int height) override;

    // Runs the paint cycle at the next paint of the widget (as a toolkit repaint of the control).
    void Invalidate();
    // Runs the paint cycle now, without waiting for an event.
    void Paint() override;

    // The control canvas as shown on screen.
    const QImage& ScreenImage();
    QSize sizeHint() const override;
    // While the widget has the keyboard focus a frame of this colour marks it.
    void setFocusFrameColor(const QColor& colour);

signals:
    void mousePressed(Qt::MouseButton button, QPoint pos, Qt::KeyboardModifiers modifiers);
    void mouseMoved(Qt::MouseButtons buttons, QPoint pos, Qt::KeyboardModifiers modifiers);
    void mouseReleased(Qt::MouseButton button, QPoint pos, Qt::KeyboardModifiers modifiers);

protected:
    void ControlCanvasChanged() override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QColor focusFrameColor_{Qt::cyan};
    mutable bool needsPaintCycle_ = true;
    bool inPaintEvent_ = false;
    bool inPaintCycle_ = false;
    QSize paintedSize_; // the size at the last paint cycle
};

} // namespace tq50r::plot
