#pragma once
// This computer's own IPv4 addresses.
#include <cstdint>
#include <optional>

namespace tq50r::platform {

/// The first non-loopback IPv4 address of an interface that is up, in host byte order; nothing
/// when there is none.
std::optional<std::uint32_t> firstHostIpv4();

} // namespace tq50r::platform
