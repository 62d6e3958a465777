// The state the main window holds for the subsystems it hands it to: the search countdown.
// Whether a device is connected is the connection's alone (devices::Connection). The device lists,
// the port list and their flags belong to the device rooms (devices/device_list.h,
// devices/serial_scan.h).
#pragma once

#include <atomic>
#include <cstdint>

namespace tq50r::app {

// Flags of the connection.
struct SharedFlags {
    std::atomic<std::uint8_t> cancelBusy{0}; // the connecting dialog's Cancel is being handled
    std::atomic<int> connectAttempts{0};
};

inline constexpr int SearchCountdownStart = 15;

struct MainWindowState {
    int searchCountdown = SearchCountdownStart;

    SharedFlags flags;
};

} // namespace tq50r::app
