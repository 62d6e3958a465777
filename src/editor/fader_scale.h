// The fixed dB scale painted beside each fader: nine ticks and their labels
// from +12 at the top to -12 at the bottom, lined up with the fader's thumb.
#pragma once

#include <QWidget>

class QPainter;

namespace tq50r::editor {

class FaderScale : public QWidget {
    Q_OBJECT

public:
    static constexpr int DefaultWidthPx = 65;
    static constexpr int NarrowWidthPx = 17;
    static constexpr int DefaultHeightPx = 169;

    explicit FaderScale(QWidget* parent = nullptr);

    // Paints the background, the ticks and the labels; also used to render the
    // scale into pictures without a widget on screen.
    static void PaintBox2Paint(QPainter& painter, QSize size);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tq50r::editor
