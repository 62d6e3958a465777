// The one way the simulator sends a datagram. Every destination is checked
// first: anything outside 127.0.0.0/8 is refused unless the process was
// started inside a network namespace of its own and told so.
#pragma once

#include <cstdint>
#include <istream>
#include <netinet/in.h>
#include <span>
#include <string>

namespace tq50r::sim {

// 127.0.0.0/8; the address is in network byte order, as in sockaddr_in.
bool isLoopback(in_addr address);

// Whether a datagram to `address` may leave this process.
bool destinationAllowed(in_addr address, bool namespaceOk);

enum class SendResult { Sent, Refused, Failed };

// sendto() on a UDP socket after the destination check. A refused
// destination never reaches the socket.
SendResult guardedSendTo(int fd, std::span<const std::uint8_t> data, const sockaddr_in& dest,
                         bool namespaceOk);

// True when this process runs in a network namespace other than that of
// process 1 (when that can be seen) and without a default route, which is
// what a namespace test arranges. Unknown (no /proc) reads as false.
bool inPrivateNetworkNamespace();
// Whether a /proc/net/route table holds a default route (destination and mask 0).
bool hasDefaultRoute(std::istream& routes);

// Dotted text of an IPv4 address and the reverse; parse fails on anything
// that is not four decimal octets.
std::string addressText(in_addr address);
bool parseAddress(const std::string& text, in_addr& out);

// address + n in host order (127.0.0.2 + 1 = 127.0.0.3).
in_addr offsetAddress(in_addr address, std::uint32_t n);

} // namespace tq50r::sim
