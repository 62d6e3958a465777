// A picture that acts as a button: the editor's type, on/off, trim and bypass images. It shows one
// picture of a skin list, reports press, release, click (release over the image after a press
// on it) and pointer movement, and draws itself dimmed while disabled. Tab reaches it; Space or
// Enter acts as a click (press, release and click), and a held key repeats like a held button. A
// press that is cut off by disabling or hiding the picture reports its release (without a click),
// so that a held button's repetition always ends.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace tq50r::editor {

class ImageButton : public QWidget {
    Q_OBJECT
public:
    ImageButton(const QString& name, QSize size, QWidget* parent);

    void setPicture(const QPixmap& picture, int pictureIndex);
    int pictureIndex() const { return pictureIndex_; }
    const QPixmap& picture() const { return picture_; }

signals:
    void mouseDown(Qt::MouseButton button);
    void mouseUp(Qt::MouseButton button);
    void clicked();
    void mouseMoved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Ends a left-button press that can no longer see its release (disabled or hidden).
    void dropPress();

    QPixmap picture_;
    int pictureIndex_ = -1;
    bool pressed_ = false;
};

} // namespace tq50r::editor
