#include "devices/device_list.h"

#include "protocol/frames.h"

namespace tq50r::devices {

namespace {

QString tileMacText(const QString& mac) {
    return QString::fromStdString(protocol::macDisplayText(mac.toUpper().toStdString()));
}

template <typename T> void eraseAt(std::vector<T>& list, int index) {
    list.erase(list.begin() + index);
}

} // namespace

DeviceList::DeviceList(QObject* parent)
    : QObject(parent), deviceTimer_(new QTimer(this)), disconnectTimer_(new QTimer(this)),
      refreshTimer_(new QTimer(this)) {
    setObjectName(QStringLiteral("DeviceList"));
    deviceTimer_->setObjectName(QStringLiteral("DeviceTimer"));
    deviceTimer_->setInterval(DeviceTimerMs);
    connect(deviceTimer_, &QTimer::timeout, this, &DeviceList::DeviceTimerTimer);
    disconnectTimer_->setObjectName(QStringLiteral("DisconnectTimer"));
    disconnectTimer_->setInterval(DisconnectTimerMs);
    connect(disconnectTimer_, &QTimer::timeout, this, &DeviceList::DisconnectTimerTimer);
    disconnectTimer_->start();
    // Not a timer of the window: the pause between the removals of UPDATE.
    refreshTimer_->setObjectName(QStringLiteral("RefreshPause"));
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(RefreshPauseMs);
    connect(refreshTimer_, &QTimer::timeout, this, &DeviceList::RefreshStep);
}

int DeviceList::indexOfKey(const QString& key) const {
    for (int i = 0; i < size(); ++i) {
        if (deviceKeys_[i].compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool DeviceList::addDevice(const QString& key, const QString& mac, std::int32_t kind) {
    if (flags_.tilePending != 0)
        return false;
    flags_.tilePending = 1;
    deviceKeys_.append(key);
    const int index = size() - 1;
    DeviceEntry entry{index, QStringLiteral("Device%1").arg(index), key, mac, kind};
    if (kind == KindUsb)
        emit probeCloseRequested();
    deviceEntries_.push_back(std::move(entry));
    // The tile follows on the tile timer's tick; its place in the list is kept from now on, so
    // the four lists never differ in length.
    deviceTiles_.push_back(DeviceTile{});
    pendingTileIndex_ = index;
    deviceTimer_->start();
    deviceAges_.push_back(0);
    return true;
}

int DeviceList::addManualDevice(const QString& key) {
    deviceKeys_.append(key);
    const int index = size() - 1;
    deviceEntries_.push_back(
        DeviceEntry{index, QStringLiteral("Device%1").arg(index), key, UnknownMac, KindNetwork});
    deviceTiles_.push_back(DeviceTile{});
    deviceAges_.push_back(0);
    buildTile(index);
    return index;
}

void DeviceList::resetAge(int index) {
    if (isValidIndex(index))
        deviceAges_[static_cast<std::size_t>(index)] = 0;
}

int DeviceList::markFirstMissingUsb(const std::optional<QStringList>& ports) {
    for (int i = 0; i < size(); ++i) {
        const DeviceEntry& entry = deviceEntries_[static_cast<std::size_t>(i)];
        if (entry.kind != KindUsb)
            continue;
        if (!ports || !ports->contains(entry.key, Qt::CaseInsensitive)) {
            showRedCross(i);
            return i;
        }
    }
    return -1;
}

void DeviceList::DeviceTimerTimer() {
    deviceTimer_->stop();
    if (isValidIndex(pendingTileIndex_) &&
        !deviceTiles_[static_cast<std::size_t>(pendingTileIndex_)].built)
        buildTile(pendingTileIndex_);
    flags_.tilePending = 0;
}

void DeviceList::DisconnectTimerTimer() {
    if (flags_.listPause != 0)
        return;
    flags_.ageingBusy = 1;
    for (std::int32_t& age : deviceAges_)
        ++age;
    for (int i = 0; i < size(); ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (deviceEntries_[at].kind == KindUsb)
            continue;
        if (deviceAges_[at] >= AgeLimitTicks) {
            showRedCross(i);
            deviceAges_[at] = 0;
            break;
        }
    }
    flags_.ageingBusy = 0;
}

void DeviceList::buildTile(int index) {
    if (!isValidIndex(index))
        return;
    const auto at = static_cast<std::size_t>(index);
    const DeviceEntry& entry = deviceEntries_[at];
    DeviceTile& t = deviceTiles_[at];
    if (t.built)
        return;
    t.built = true;
    // The tag is the list position, so tiles, entries and keys stay in step even when a tile
    // typed in by hand is built before one that waits for the tile timer.
    t.tag = index;
    t.left = tile::Left;
    t.top = tile::topOf(index);
    t.nameText = entry.name;
    t.addressCaption = entry.kind != KindUsb ? QStringLiteral("IP:") : QStringLiteral("Port:");
    t.addressText = entry.key;
    t.macText = tileMacText(entry.mac);
    ++deviceCount_;
    emit tileBuilt(index);
    emit deviceCountChanged(deviceCount_);
}

void DeviceList::removeDevice(int index) {
    if (!isValidIndex(index))
        return;
    const auto at = static_cast<std::size_t>(index);
    const std::int32_t kind = deviceEntries_[at].kind;
    const bool hadTile = deviceTiles_[at].built;
    if (kind == KindUsb) {
        flags_.scanHold = 0;
        emit scanHoldReleased();
    }

    deviceKeys_.removeAt(index);
    eraseAt(deviceEntries_, index);
    eraseAt(deviceTiles_, index);
    eraseAt(deviceAges_, index);
    emit tileRemoved(index);

    if (hadTile) {
        --deviceCount_;
        emit deviceCountChanged(deviceCount_);
    } else {
        // The entry waiting for its tile is gone: the next find may be added.
        deviceTimer_->stop();
        flags_.tilePending = 0;
    }
    if (pendingTileIndex_ > index)
        --pendingTileIndex_;
    retagFrom(index);

    if (index == connectedIndex_) {
        connectedIndex_ = -1;
        frame_.visible = false;
        emit frameChanged();
        emit connectedDeviceRemoved(kind);
    } else if (index < connectedIndex_) {
        --connectedIndex_;
        frame_.top = deviceTiles_[static_cast<std::size_t>(connectedIndex_)].top - tile::FrameOffset;
        emit frameChanged();
    }
}

void DeviceList::retagFrom(int index) {
    for (int i = index; i < size(); ++i) {
        const auto at = static_cast<std::size_t>(i);
        deviceEntries_[at].index = i;
        DeviceTile& t = deviceTiles_[at];
        t.tag = i;
        t.top = tile::topOf(i);
        if (t.built)
            emit tileChanged(i);
    }
}

void DeviceList::RemoveDeviceItemClick() {
    flags_.listPause = 1;
    removeDevice(menuIndex_);
    flags_.listPause = 0;
}

void DeviceList::RefreshBtnClick() {
    flags_.listPause = 1;
    // Single-threaded: the ageing is never in its pass while a click is handled.
    refreshRemaining_ = size();
    refreshTimer_->stop();
    RefreshStep();
}

void DeviceList::RefreshStep() {
    if (refreshRemaining_ <= 0) {
        finishRefresh();
        return;
    }
    // Devices found while UPDATE runs are appended behind the ones it removes, so counting
    // down from the old last index removes exactly the devices that were listed at the click.
    --refreshRemaining_;
    removeDevice(std::min(refreshRemaining_, size() - 1));
    refreshTimer_->start();
}

void DeviceList::finishRefresh() {
    refreshTimer_->stop();
    refreshRemaining_ = 0;
    flags_.listPause = 0;
    emit refreshFinished();
}

void DeviceList::DeviceMouseDown(int tag, Qt::MouseButton button) {
    if (button == Qt::LeftButton) {
        if (isValidIndex(tag)) {
            deviceTiles_[static_cast<std::size_t>(tag)].lowered = true;
            emit tileChanged(tag);
        }
        pressedIndex_ = tag;
    } else if (button == Qt::RightButton) {
        menuIndex_ = tag;
    }
}

void DeviceList::DeviceMouseUp(int tag, Qt::MouseButton button) {
    if (button == Qt::LeftButton && isValidIndex(tag)) {
        deviceTiles_[static_cast<std::size_t>(tag)].lowered = false;
        emit tileChanged(tag);
    }
}

void DeviceList::markConnected(const QString& name) {
    if (!isValidIndex(connectedIndex_))
        return;
    const auto at = static_cast<std::size_t>(connectedIndex_);
    DeviceTile& t = deviceTiles_[at];
    t.nameText = name;
    t.redCross = false;
    deviceEntries_[at].name = name;
    frame_ = DeviceFrame{true, t.left - tile::FrameOffset, t.top - tile::FrameOffset};
    emit tileChanged(connectedIndex_);
    emit frameChanged();
}

void DeviceList::renameDevice(int index, const QString& name) {
    if (!isValidIndex(index))
        return;
    const auto at = static_cast<std::size_t>(index);
    deviceEntries_[at].name = name;
    deviceTiles_[at].nameText = name;
    emit tileChanged(index);
    emit deviceRenamed(index, name);
}

void DeviceList::showRedCross(int index) {
    if (!isValidIndex(index))
        return;
    DeviceTile& t = deviceTiles_[static_cast<std::size_t>(index)];
    if (t.redCross)
        return;
    t.redCross = true;
    emit tileChanged(index);
}

void DeviceList::hideFrame() {
    if (!frame_.visible)
        return;
    frame_.visible = false;
    emit frameChanged();
}

void DeviceList::setMac(int index, const QString& mac, bool showOnTile) {
    if (!isValidIndex(index))
        return;
    const auto at = static_cast<std::size_t>(index);
    deviceEntries_[at].mac = mac;
    if (showOnTile) {
        deviceTiles_[at].macText = tileMacText(mac);
        emit tileChanged(index);
    }
}

} // namespace tq50r::devices
