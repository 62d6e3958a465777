// Mirrors the device list into the scrolling device box: one tile per built entry, moved and
// destroyed as the list changes, the green frame, the count label and the tile menu.
#pragma once

#include "devices/device_list.h"

#include <QObject>
#include <vector>

class QLabel;
class QMenu;
class QScrollArea;

namespace tq50r::devices::ui {

class DevicePaintBox;
class TDevicePanel;

class DeviceBoxView : public QObject {
    Q_OBJECT
public:
    // `box` scrolls `content`, which holds the tiles and `frame`; `menu` is the tile menu
    // (DeviceMenu); `countLabel` shows the number of tiles.
    DeviceBoxView(DeviceList& devices, QScrollArea* box, QWidget* content, DevicePaintBox* frame,
                  QMenu* menu, QLabel* countLabel, QObject* parent = nullptr);

    // The tile of the entry at `index`, or null while it has none.
    TDevicePanel* tileAt(int index) const;
    int tileCount() const;

signals:
    // A tile (or one of its labels) was clicked: connect to the device at pressedIndex.
    void DevicePanelClick(int index);

private:
    void tileBuilt(int index);
    void tileRemoved(int index);
    void tileChanged(int index);
    void showTile(int index);
    void frameChanged();
    void fitContent();
    void showMenu(int tag, const QPoint& globalPos);

    DeviceList& devices_;
    QScrollArea* box_;
    QWidget* content_;
    DevicePaintBox* frame_;
    QMenu* menu_;
    QLabel* countLabel_;
    std::vector<TDevicePanel*> tiles_; // by list index; null while an entry waits for its tile
};

} // namespace tq50r::devices::ui
