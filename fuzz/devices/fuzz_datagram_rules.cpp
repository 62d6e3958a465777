// Any datagram from any source on any listener: the rules never read outside the bytes, never
// find a known device again, and keep their thresholds and pauses. The same bytes as a
// neighbour table must never yield anything but a 12-digit MAC.
#include "devices/datagram_rules.h"
#include "platform/mac_lookup.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <sstream>
#include <string>

namespace {

using namespace tq50r::devices;

constexpr std::size_t HeaderSize = 6; // route, flags, four source bytes

void require(bool condition) {
    if (!condition)
        std::abort();
}

void checkVerdict(Route route, std::span<const std::uint8_t> data, bool known, bool listPause) {
    const datagram::Verdict v = datagram::judge(route, data, known, listPause);
    if (known)
        require(v.action != datagram::Action::Find);
    else
        require(v.action != datagram::Action::ResetAge);
    switch (route) {
    case Route::Port8000:
        require(v.pauseMs == datagram::Port8000PauseMs);
        if (!known && data.size() <= datagram::Port8000MinAnswer)
            require(v.action == datagram::Action::Ignore);
        break;
    case Route::Ssdp:
        require(v.pauseMs == datagram::SsdpPauseMs || (known && listPause && v.pauseMs == 0));
        break;
    case Route::Module:
        if (data.size() <= datagram::ModuleMinAnswer)
            require(v.action == datagram::Action::Ignore && v.pauseMs == datagram::ModulePauseMs);
        else
            require(v.pauseMs == datagram::ModuleAnswerPauseMs + datagram::ModulePauseMs);
        break;
    case Route::Serial:
        require(v.action == datagram::Action::Ignore);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < HeaderSize)
        return 0;
    const auto route = static_cast<Route>(data[0] % 4);
    const bool known = (data[1] & 1) != 0;
    const bool listPause = (data[1] & 2) != 0;
    const bool loopbackScope = (data[1] & 4) != 0;
    const std::uint32_t source = (std::uint32_t{data[2]} << 24) | (std::uint32_t{data[3]} << 16) |
                                 (std::uint32_t{data[4]} << 8) | data[5];
    const std::span<const std::uint8_t> payload(data + HeaderSize, size - HeaderSize);

    if (!datagram::sourceAccepted(source, loopbackScope))
        require(loopbackScope && (source >> 24) != 127);
    checkVerdict(route, payload, known, listPause);
    require(!routeName(route).empty());

    std::istringstream table(std::string(payload.begin(), payload.end()));
    const std::string address = tq50r::platform::ipv4Text(source);
    if (const auto mac = tq50r::platform::macFromArpTable(table, address)) {
        require(mac->size() == 12);
        for (const char c : *mac)
            require(std::isxdigit(static_cast<unsigned char>(c)) != 0 &&
                    std::islower(static_cast<unsigned char>(c)) == 0);
    }
    return 0;
}
