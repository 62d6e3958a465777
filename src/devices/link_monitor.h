// What the link supervision counts: frames in either direction keep a link alive.
#pragma once

#include <cstdint>

namespace tq50r::devices {

struct LinkMonitor {
    // Poll timer ticks since a frame last went out or came in.
    std::int32_t idleTicks = 0;
    // A frame went out or came in since the last check.
    bool linkAlive = false;

    bool operator==(const LinkMonitor&) const = default;

    void markTraffic() {
        idleTicks = 0;
        linkAlive = true;
    }
};

} // namespace tq50r::devices
