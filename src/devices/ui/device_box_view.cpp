#include "devices/ui/device_box_view.h"

#include "devices/ui/device_panel.h"

#include <QLabel>
#include <QMenu>
#include <QScrollArea>

namespace tq50r::devices::ui {

DeviceBoxView::DeviceBoxView(DeviceList& devices, QScrollArea* box, QWidget* content,
                             DevicePaintBox* frame, QMenu* menu, QLabel* countLabel,
                             QObject* parent)
    : QObject(parent), devices_(devices), box_(box), content_(content), frame_(frame), menu_(menu),
      countLabel_(countLabel) {
    setObjectName(QStringLiteral("DeviceBoxView"));
    connect(&devices_, &DeviceList::tileBuilt, this, &DeviceBoxView::tileBuilt);
    connect(&devices_, &DeviceList::tileRemoved, this, &DeviceBoxView::tileRemoved);
    connect(&devices_, &DeviceList::tileChanged, this, &DeviceBoxView::tileChanged);
    connect(&devices_, &DeviceList::frameChanged, this, &DeviceBoxView::frameChanged);
    connect(&devices_, &DeviceList::deviceCountChanged, this,
            [this](int count) { countLabel_->setText(QString::number(count)); });
    fitContent();
}

TDevicePanel* DeviceBoxView::tileAt(int index) const {
    if (index < 0 || index >= static_cast<int>(tiles_.size()))
        return nullptr;
    return tiles_[static_cast<std::size_t>(index)];
}

int DeviceBoxView::tileCount() const {
    int count = 0;
    for (const TDevicePanel* t : tiles_)
        count += t != nullptr ? 1 : 0;
    return count;
}

void DeviceBoxView::tileBuilt(int index) {
    if (!devices_.isValidIndex(index))
        return;
    if (tiles_.size() < static_cast<std::size_t>(devices_.size()))
        tiles_.resize(static_cast<std::size_t>(devices_.size()), nullptr);
    TDevicePanel*& slot = tiles_[static_cast<std::size_t>(index)];
    if (slot == nullptr) {
        slot = new TDevicePanel(content_);
        connect(slot, &TDevicePanel::mouseDown, &devices_, &DeviceList::DeviceMouseDown);
        connect(slot, &TDevicePanel::mouseUp, &devices_, &DeviceList::DeviceMouseUp);
        connect(slot, &TDevicePanel::clicked, this, &DeviceBoxView::DevicePanelClick);
        connect(slot, &TDevicePanel::menuRequested, this, &DeviceBoxView::showMenu);
        // Tab goes from the box through the tiles in list order.
        QWidget* before = box_;
        for (int i = index - 1; i >= 0 && before == box_; --i) {
            if (TDevicePanel* t = tileAt(i))
                before = t;
        }
        QWidget::setTabOrder(before, slot);
    }
    showTile(index);
    // The frame stays above the tiles.
    frame_->raise();
    fitContent();
}

void DeviceBoxView::tileRemoved(int index) {
    if (index < 0 || index >= static_cast<int>(tiles_.size()))
        return;
    // Later: the removal may come from the tile's own menu.
    if (TDevicePanel* gone = tiles_[static_cast<std::size_t>(index)]) {
        gone->hide();
        gone->deleteLater();
    }
    tiles_.erase(tiles_.begin() + index);
    fitContent();
}

void DeviceBoxView::tileChanged(int index) {
    showTile(index);
}

void DeviceBoxView::showTile(int index) {
    if (TDevicePanel* t = tileAt(index); t != nullptr && devices_.isValidIndex(index)) {
        const auto at = static_cast<std::size_t>(index);
        t->show(devices_.deviceTiles()[at], devices_.deviceEntries()[at].kind);
    }
}

void DeviceBoxView::frameChanged() {
    const DeviceFrame& f = devices_.frame();
    frame_->move(f.left, f.top);
    frame_->setVisible(f.visible);
    if (f.visible)
        frame_->raise();
}

void DeviceBoxView::fitContent() {
    const int rows = static_cast<int>(tiles_.size());
    const int needed = (tile::Height + tile::Spacing) * rows + tile::Spacing;
    const int height = std::max(box_->viewport()->height(), needed);
    content_->setMinimumHeight(height);
    content_->resize(content_->width(), height);
}

void DeviceBoxView::showMenu(int tag, const QPoint& globalPos) {
    if (menu_ != nullptr && devices_.isValidIndex(tag))
        menu_->popup(globalPos);
}

} // namespace tq50r::devices::ui
