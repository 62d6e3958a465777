// The device lists: every known device as one entry, its tile, its key and its age, kept in four
// parallel lists that are always of equal length. This is the one owner of what is known; the
// discovery, the connection and the tiles on screen all go through it. Everything here runs on
// the GUI thread.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <optional>
#include <vector>

namespace tq50r::devices {

// How a device is reached and how it was found.
inline constexpr std::int32_t KindUsb = 0;     // serial port; never aged
inline constexpr std::int32_t KindNetwork = 1; // TCP; found by port 8000, SSDP or by hand
inline constexpr std::int32_t KindModule = 2;  // TCP; found by the module search

// MAC text of a device whose MAC has not been learned.
inline const QString UnknownMac = QStringLiteral("FFFFFFFFFFFF");

struct DeviceEntry {
    std::int32_t index = 0;
    QString name; // "Device" + index when created
    QString key;  // dotted IPv4 address, or the serial port name of a USB device
    QString mac;  // 12 upper-case hexadecimal digits
    std::int32_t kind = KindUsb;
};

// Geometry of a tile and of the green frame, in pixels within the device box.
namespace tile {
inline constexpr int Width = 150;
inline constexpr int Height = 81;
inline constexpr int Spacing = 10; // between tiles and above the first
inline constexpr int BoxWidth = 185;
inline constexpr int Left = (BoxWidth - Width) / 2 - 10;
inline constexpr int FrameWidth = 160;
inline constexpr int FrameHeight = 89;
inline constexpr int FrameOffset = 5; // the frame sits this far up and left of its tile
inline constexpr int topOf(int tag) {
    return (Height + Spacing) * tag + Spacing;
}
} // namespace tile

// What one tile shows and where. A tile is built by the tile timer after its entry was added;
// until then `built` is false and nothing is on screen for it.
struct DeviceTile {
    bool built = false;
    int tag = 0;
    int left = tile::Left;
    int top = 0;
    QString nameText;
    QString addressCaption; // "IP:" for network devices, "Port:" for USB devices
    QString addressText;
    QString macText; // display form, "FF:FF:FF:FF:FF:FF"
    bool redCross = false;
    bool lowered = false; // outer bevel while the left button is down on it
};

// The green frame around the connected device's tile.
struct DeviceFrame {
    bool visible = false;
    int left = 0;
    int top = 0;
};

// Flags that coordinate discovery, the ageing and the list changes. All are touched on the GUI
// thread only; they keep the meaning they have for the workers that would otherwise run beside it.
struct ListFlags {
    std::uint8_t listPause = 0;   // the lists are being changed: the scan skips its pass, the
                                  // SSDP listener ignores known devices, the ageing skips a tick
    std::uint8_t ageingBusy = 0;  // the ageing is in its pass
    std::uint8_t tilePending = 0; // a found device waits for its tile: further finds are dropped
    std::uint8_t scanHold = 0;    // a USB device answered the probe: the serial scan holds
};

class DeviceList : public QObject {
    Q_OBJECT
public:
    static constexpr int DeviceTimerMs = 10;
    static constexpr int DisconnectTimerMs = 3000;
    static constexpr int RefreshPauseMs = 2; // pause after each removal of UPDATE
    static constexpr std::int32_t AgeLimitTicks = 20;

    explicit DeviceList(QObject* parent = nullptr);

    // ---- the four parallel lists -------------------------------------------------------------
    const QStringList& deviceKeys() const { return deviceKeys_; }
    const std::vector<DeviceEntry>& deviceEntries() const { return deviceEntries_; }
    const std::vector<DeviceTile>& deviceTiles() const { return deviceTiles_; }
    const std::vector<std::int32_t>& deviceAges() const { return deviceAges_; }
    int size() const { return static_cast<int>(deviceKeys_.size()); }
    bool isValidIndex(int index) const { return index >= 0 && index < size(); }
    // Number of built tiles, as deviceCountLabel shows it.
    int deviceCount() const { return deviceCount_; }
    int pendingTileIndex() const { return pendingTileIndex_; }

    // Position of `key` in deviceKeys, compared without regard to case; -1 when absent.
    int indexOfKey(const QString& key) const;
    bool containsKey(const QString& key) const { return indexOfKey(key) >= 0; }

    ListFlags& flags() { return flags_; }
    const ListFlags& flags() const { return flags_; }

    // Tile last pressed with the left button (target of a click) and with the right button
    // (target of the tile menu).
    int pressedIndex() const { return pressedIndex_; }
    int menuIndex() const { return menuIndex_; }
    // List index of the connected (or last connected) device; -1 once it was removed.
    int connectedIndex() const { return connectedIndex_; }
    void setConnectedIndex(int index) { connectedIndex_ = index; }
    const DeviceFrame& frame() const { return frame_; }

    QTimer* deviceTimer() const { return deviceTimer_; }
    QTimer* disconnectTimer() const { return disconnectTimer_; }
    // True while UPDATE is removing devices.
    bool refreshRunning() const { return refreshRemaining_ > 0; }

    // ---- discovery side -------------------------------------------------------------------
    // Adds a found device: false (and nothing changes) while another one waits for its tile.
    bool addDevice(const QString& key, const QString& mac, std::int32_t kind);
    // Adds a network device typed in by hand and builds its tile at once; the new index.
    int addManualDevice(const QString& key);
    // A datagram from the device at `index` arrived: its age starts again.
    void resetAge(int index);
    // Device removed from the system: the first USB entry whose key is not in `ports` (none:
    // every key counts as missing) gets its red cross. Its index, or -1 when none is missing.
    int markFirstMissingUsb(const std::optional<QStringList>& ports);

    // ---- timers -----------------------------------------------------------------------------
    void DeviceTimerTimer();
    void DisconnectTimerTimer();
    // One step of UPDATE: removes the next device, then pauses RefreshPauseMs.
    void RefreshStep();

    // ---- tiles and user actions ---------------------------------------------------------------
    void buildTile(int index);
    void removeDevice(int index);
    void RemoveDeviceItemClick();
    // UPDATE: removes every device, last to first, with a short pause after each; then
    // `refreshFinished` is emitted.
    void RefreshBtnClick();
    void DeviceMouseDown(int tag, Qt::MouseButton button);
    void DeviceMouseUp(int tag, Qt::MouseButton button);

    // ---- connection side ----------------------------------------------------------------------
    // The device at connectedIndex answered: its tile shows `name`, the frame moves to it and is
    // shown, its red cross goes, the entry takes the name.
    void markConnected(const QString& name);
    void renameDevice(int index, const QString& name);
    void showRedCross(int index);
    void hideFrame();
    // Stores a MAC for the entry; with `showOnTile` its tile shows it too.
    void setMac(int index, const QString& mac, bool showOnTile);

signals:
    void tileBuilt(int index);
    // The tile at `index` is gone; the remaining tiles may have moved (tileChanged follows).
    void tileRemoved(int index);
    void tileChanged(int index);
    void frameChanged();
    void deviceCountChanged(int count);
    // A USB device was added: the probe port is to be closed shortly.
    void probeCloseRequested();
    // A USB entry was removed, which lifts the scan hold.
    void scanHoldReleased();
    // The entry at connectedIndex was removed (connectedIndex is -1 now).
    void connectedDeviceRemoved(std::int32_t kind);
    void deviceRenamed(int index, const QString& name);
    void refreshFinished();

private:
    void retagFrom(int index);
    void finishRefresh();

    QStringList deviceKeys_;
    std::vector<DeviceEntry> deviceEntries_;
    std::vector<DeviceTile> deviceTiles_;
    std::vector<std::int32_t> deviceAges_;
    int deviceCount_ = 0;
    int pendingTileIndex_ = 0;
    int pressedIndex_ = 0;
    int menuIndex_ = 0;
    int connectedIndex_ = 0;
    int refreshRemaining_ = 0;
    DeviceFrame frame_;
    ListFlags flags_;
    QTimer* deviceTimer_ = nullptr;
    QTimer* disconnectTimer_ = nullptr;
    QTimer* refreshTimer_ = nullptr;
};

} // namespace tq50r::devices
