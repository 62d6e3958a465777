#pragma once
// The hardware address behind an IPv4 address, from the kernel's neighbour table.
#include <chrono>
#include <cstdint>
#include <istream>
#include <optional>
#include <stop_token>
#include <string>

namespace tq50r::platform {

/// MAC text of a loopback address: the loopback interface has an all-zero hardware address.
inline constexpr const char* kLoopbackMac = "000000000000";
/// UDP port of the datagram that makes the kernel resolve an address (the discard service).
inline constexpr std::uint16_t kNudgePort = 9;
/// How often the neighbour table is read again while a resolution is under way.
inline constexpr std::chrono::milliseconds kNeighbourPollStep{50};

/// True for 127.0.0.0/8 (host byte order).
constexpr bool isLoopbackIpv4(std::uint32_t address) {
    return (address >> 24) == 127;
}

/// Dotted text of an address in host byte order ("198.18.0.2").
std::string ipv4Text(std::uint32_t address);

/// The complete entry for `address` (dotted text) in a table laid out as /proc/net/arp:
/// 12 upper-case hexadecimal digits, or nothing when the entry is missing or incomplete.
std::optional<std::string> macFromArpTable(std::istream& table, const std::string& address);

/// The kernel's neighbour table entry for `address` (host byte order), read now.
std::optional<std::string> neighbourMac(std::uint32_t address);

/// Sends one empty UDP datagram to `address`, so that the kernel resolves its hardware address.
/// Only ever called for an address that has just sent us a datagram.
void nudgeNeighbour(std::uint32_t address);

/// Blocking lookup: loopback addresses answer kLoopbackMac; otherwise the table, and when the
/// entry is missing one nudge and further looks every kNeighbourPollStep until `wait` has passed
/// or `stop` is requested. Runs on a worker thread, never on the GUI thread.
std::optional<std::string> lookupMac(std::uint32_t address, std::chrono::milliseconds wait,
                                     std::stop_token stop = {});

} // namespace tq50r::platform
