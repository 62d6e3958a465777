// Two stacked arrow buttons beside the frequency and Q boxes. A press gives
// one click on release over the button; holding it repeats the click after
// 400 ms and then every 100 ms while the button stays pressed.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace tq50r::platform {
class ClockTimer;
class TimerClock;
} // namespace tq50r::platform

namespace tq50r::editor {

// Placement of the two buttons for a control size.
struct SpinLayout {
    static constexpr int MinWidthPx = 15;

    int widthPx = 0; // the control's width after raising it to the minimum
    QRect up;
    QRect down;

    static SpinLayout forSize(int widthPx, int heightPx);
};

class TCSpinButton : public QWidget {
    Q_OBJECT

public:
    enum class Button { None, Up, Down };

    static constexpr int DefaultWidthPx = 20;
    static constexpr int DefaultHeightPx = 25;
    static constexpr int FirstRepeatMs = 400;
    static constexpr int RepeatMs = 100;
    static constexpr int FocusInsetPx = 3;

    // `clock` drives the repeat (the event loop's when none is given).
    explicit TCSpinButton(QWidget* parent = nullptr, platform::TimerClock* clock = nullptr);
    ~TCSpinButton() override;

    const QPixmap& UpGlyph() const { return upGlyph_; }
    const QPixmap& DownGlyph() const { return downGlyph_; }
    // A null picture brings back the built-in arrow.
    void setUpGlyph(const QPixmap& glyph);
    void setDownGlyph(const QPixmap& glyph);

    QWidget* FocusControl() const { return focusControl_; }
    void setFocusControl(QWidget* control) { focusControl_ = control; }

    int tag() const { return tag_; }
    void setTag(int value) { tag_ = value; }

    SpinLayout layoutModel() const;
    Button focusedButton() const { return focused_; }
    // The button held with the mouse (None when no press is in progress).
    Button heldButton() const { return held_; }
    // True while the held button shows pressed (the pointer is over it).
    bool isHeldButtonDown() const { return heldDown_; }

    bool isRepeatTimerActive() const;
    // The repeat timer's tick.
    void TimerExpired();

    QSize sizeHint() const override;

signals:
    void OnUpClick();
    void OnDownClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QRect rectOf(Button button) const;
    Button buttonAt(QPoint pos) const;
    void click(Button button);
    void endPress();

    QPixmap upGlyph_;
    QPixmap downGlyph_;
    QPointer<QWidget> focusControl_;
    platform::ClockTimer* repeatTimer_ = nullptr;
    Button focused_ = Button::Up;
    Button held_ = Button::None;
    bool heldDown_ = false;
    int tag_ = 0;
};

} // namespace tq50r::editor
