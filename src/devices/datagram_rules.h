// What a discovery listener does with one datagram: plain rules over the bytes, the source and
// the state of the lists, free of sockets and timers so that they can be checked on any input.
#pragma once

#include "platform/mac_lookup.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace tq50r::devices {

// The way a device was found.
enum class Route : std::uint8_t { Port8000, Ssdp, Module, Serial };

// "port8000", "ssdp", "module", "serial".
std::string_view routeName(Route route);

namespace datagram {

// The port-8000 search, sent every SearchIntervalMs.
inline constexpr std::uint8_t Port8000Search[] = {0x01, 0x02, 0x00, 0x0C, 0x00, 0x00,
                                                  0x00, 0x00, 0x00, 0x01, 0xFF, 0xFF};
// The module search: the text and one zero byte.
inline constexpr char ModuleSearch[] = "HF-A11ASSISTHREAD";
inline constexpr std::size_t ModuleSearchSize = sizeof ModuleSearch; // with the zero byte
inline constexpr std::string_view SsdpMarker = "upnp_MDL-S2E";

inline constexpr std::size_t Port8000ReadSize = 100;
inline constexpr std::size_t SsdpReadSize = 1024;
inline constexpr std::size_t ModuleReadSize = 100;
// An answer is longer than this many bytes.
inline constexpr std::size_t Port8000MinAnswer = 12;
inline constexpr std::size_t ModuleMinAnswer = 20;

// Pauses of the listeners after a datagram.
inline constexpr int Port8000PauseMs = 20;
inline constexpr int SsdpPauseMs = 100;
inline constexpr int ModuleAnswerPauseMs = 50;
inline constexpr int ModulePauseMs = 10;

// Sender periods.
inline constexpr int SearchIntervalMs = 2000;
inline constexpr int ModuleSearchIntervalMs = 1500;

enum class Action : std::uint8_t {
    Ignore,   // nothing changes
    ResetAge, // a known device was heard: its age starts again
    Find,     // an unknown source qualifies: learn its MAC, then add it
};

struct Verdict {
    Action action = Action::Ignore;
    int pauseMs = 0; // before the listener takes its next datagram
};

// `known`: the source's key is listed; `listPause`: the lists are being changed.
Verdict judge(Route route, std::span<const std::uint8_t> data, bool known, bool listPause);

// Whether a datagram from `source` is looked at: in the loopback scope only 127.0.0.0/8.
constexpr bool sourceAccepted(std::uint32_t source, bool loopbackScope) {
    return !loopbackScope || platform::isLoopbackIpv4(source);
}

} // namespace datagram
} // namespace tq50r::devices
