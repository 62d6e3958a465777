// The state the main window holds for the subsystems it hands it to: the
// device lists and the flags shared with the discovery workers. Whether a
// device is connected is the connection's alone (devices::Connection).
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

namespace tq50r::app {

// Flags and counters shared with the worker threads. Each one is a single
// word; workers and the main thread read and write them without a lock.
struct SharedFlags {
    std::atomic<std::uint8_t> listPause{0};   // main thread is changing the device lists
    std::atomic<std::uint8_t> ageingBusy{0};  // the ageing timer is in its pass
    std::atomic<std::uint8_t> tilePending{0}; // a found device waits for its tile
    std::atomic<std::uint8_t> scanHold{0};   // a USB device answered; the serial scan stops probing
    std::atomic<std::uint8_t> cancelBusy{0}; // the connecting dialog's Cancel is being handled
    std::atomic<int> connectAttempts{0};
};

inline constexpr int SearchCountdownStart = 15;

struct MainWindowState {
    // Parallel device lists: element i of each belongs to the same device.
    QStringList deviceKeys;
    std::vector<std::int32_t> deviceAges;
    // Serial ports the system lists; none when it lists no port at all.
    std::optional<QStringList> serialPorts;
    std::int32_t deviceCount = 0;

    std::int32_t connectedIndex = 0; // -1 once the connected device was removed
    std::int32_t pressedIndex = 0;
    std::int32_t menuIndex = 0;
    std::int32_t pendingTileIndex = 0;
    int searchCountdown = SearchCountdownStart;

    // From the command line: discovery stays on 127.0.0.0/8, extra ports to scan.
    bool loopbackOnly = false;
    QStringList extraSerialPorts;

    SharedFlags flags;
};

} // namespace tq50r::app
