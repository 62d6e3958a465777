// A device tile (TDevicePanel) with its red cross, and the green frame that marks the connected
// device's tile (DevicePaintBox).
#pragma once

#include "devices/device_list.h"

#include <QFrame>
#include <QWidget>

class QLabel;

namespace tq50r::devices::ui {

// The red cross of a device that is off line or failed to answer.
class RedCrossBox : public QWidget {
    Q_OBJECT
public:
    static constexpr QRect Place{120, 4, 25, 25};
    static constexpr int PenWidthPx = 2;
    static constexpr int InsetPx = 4;

    explicit RedCrossBox(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The green frame around the connected device's tile: three nested rectangles.
class DevicePaintBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int ThicknessPx = 3;

    explicit DevicePaintBox(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class TDevicePanel : public QFrame {
    Q_OBJECT
public:
    explicit TDevicePanel(QWidget* parent = nullptr);

    // Shows what the device list holds for this tile: texts, place, cross and bevel; the strip
    // on its left edge tells USB devices from network ones.
    void show(const DeviceTile& tile, std::int32_t kind = KindNetwork);
    int tag() const { return tag_; }
    bool isLowered() const { return lowered_; }

    QLabel* NameLabel = nullptr;
    QLabel* IPLabel = nullptr;
    QLabel* MACLabel = nullptr;
    QLabel* addressCaption = nullptr;
    RedCrossBox* RedCross = nullptr;

signals:
    void mouseDown(int tag, Qt::MouseButton button);
    void mouseUp(int tag, Qt::MouseButton button);
    void clicked(int tag);
    void menuRequested(int tag, const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Space or Enter on the focused tile acts as a click; the menu key opens the tile menu.
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int tag_ = 0;
    std::int32_t kind_ = KindNetwork;
    bool lowered_ = false;
    bool leftDown_ = false;
};

} // namespace tq50r::devices::ui
