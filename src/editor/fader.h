// The gain fader of each EQ band: a vertical slider whose channel and thumb
// are our own pictures. Position -12 sits at the top (the editor shows the
// gain as -position, so the top reads +12 dB).
#pragma once

#include <QPixmap>
#include <QWidget>

class QTimer;

namespace tq50r::editor {

// Where the thumb sits for a position and which position a pointer row
// means. Kept apart from the widget so it can be checked without one.
struct FaderGeometry {
    static constexpr int DefaultWidthPx = 25;
    static constexpr int DefaultHeightPx = 177;
    static constexpr int ThumbWidthPx = 15;
    static constexpr int ThumbHeightPx = 9;
    static constexpr int ChannelWidthPx = 15;
    static constexpr int ChannelHeightPx = 167;
    // The thumb's centre row at the first and at the last position, measured
    // from the top and from the bottom edge; they line up with the outer ticks
    // of the dB scale painted beside the fader.
    static constexpr int TravelTopPx = 11;
    static constexpr int TravelBottomMarginPx = 12;

    int widthPx = DefaultWidthPx;
    int heightPx = DefaultHeightPx;
    int min = 0;
    int max = 0;

    // Centre row of the thumb for a position (clamped to min..max).
    double thumbCentreY(int position) const;
    // Top-left corner of the thumb picture for a position.
    QPoint thumbTopLeft(int position) const;
    QRect thumbRect(int position) const;
    // Top-left corner of the channel picture.
    QPoint channelTopLeft() const;
    // The position whose thumb centre is nearest to a row, limited to min..max.
    int positionAtY(double yPx) const;
};

class TPTrackBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int DefaultMin = 0;
    static constexpr int DefaultMax = 10;
    // Holding the mouse on the channel beside the thumb pages again after FirstRepeatMs and then
    // every RepeatMs, until the thumb reaches the pointer, as an ordinary slider does.
    static constexpr int FirstRepeatMs = 400;
    static constexpr int RepeatMs = 100;

    explicit TPTrackBar(QWidget* parent = nullptr);
    ~TPTrackBar() override;

    int min() const { return min_; }
    int max() const { return max_; }
    int position() const { return position_; }
    int lineSize() const { return lineSize_; }
    int pageSize() const { return pageSize_; }
    int tag() const { return tag_; }

    // Changing a limit pulls the position into the new range; a position that
    // moves because of it is reported like any other change.
    void setMin(int value);
    void setMax(int value);
    void setRange(int minValue, int maxValue);
    // Limited to min..max; raises changed() only when the position differs.
    void setPosition(int value);
    void setLineSize(int value);
    void setPageSize(int value);
    void setTag(int value) { tag_ = value; }

    const QPixmap& ThumbBitmap() const { return thumb_; }
    const QPixmap& ChannelBitmap() const { return channel_; }
    // Copies the picture and repaints; a null picture draws nothing.
    void SetThumbBitmap(const QPixmap& picture);
    void SetChannelBitmap(const QPixmap& picture);

    FaderGeometry geometryModel() const;
    // True while the user holds the thumb with the mouse.
    bool isDragging() const { return dragging_; }
    // The channel repeat: active while the mouse is held on the channel. The tick handler is public
    // so the repeat can be driven without waiting on the clock.
    bool isRepeating() const;
    void RepeatTimerTimer();

    QSize sizeHint() const override;

signals:
    // Every change of the position, made by the user or by the program.
    void changed(int position);
    // The base control's mouse events, for hover lines and the like
    // (coordinates relative to the fader).
    void mouseDown(Qt::MouseButton button, QPoint pos);
    void mouseMove(Qt::MouseButtons buttons, QPoint pos);
    void mouseUp(Qt::MouseButton button, QPoint pos);
    // A position change made by the user's hand (mouse, wheel or keys), after `changed`.
    void userChanged(int position);
    // One user gesture: a press until its release, or one key or wheel step. Every userChanged
    // falls between the two.
    void editStarted();
    void editFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // A step or a move made by the user: one gesture unless a press is already in progress.
    void userStep(int delta);
    void userSetPosition(int value);
    void endPress();

    int min_ = DefaultMin;
    int max_ = DefaultMax;
    int position_ = (DefaultMax + DefaultMin) / 2;
    int lineSize_ = 1;
    int pageSize_ = 1;
    int tag_ = 0;
    QPixmap thumb_;
    QPixmap channel_;
    QTimer* repeatTimer_ = nullptr;
    bool pressed_ = false;    // the left button went down on the fader and is still held
    double pointerYPx_ = 0.0; // the held pointer's row, for the channel repeat
    bool dragging_ = false;
    double dragOffsetPx_ = 0.0; // pointer row minus thumb centre at the press
    int wheelRemainder_ = 0;    // wheel delta not yet turned into steps
};

} // namespace tq50r::editor
