// Frames as a device sends them, built byte by byte for the tests.
#pragma once

#include "protocol/frames.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tq50r::devices::testing {

using Bytes = std::vector<std::uint8_t>;

// A frame from its command and payload: header, length, command, payload, trailer.
inline Bytes frame(std::uint8_t command, std::initializer_list<std::uint8_t> payload = {}) {
    Bytes f{0x01, 0x20, 0x03, 0x40, static_cast<std::uint8_t>(9 + payload.size()), command};
    f.insert(f.end(), payload);
    f.insert(f.end(), {0x01, 0x05, 0x60});
    return f;
}

// A Connect reply: the name in a 16-byte field of spaces, then the revision byte.
inline Bytes connectReply(const char* name, std::uint8_t revision = 17) {
    Bytes f{0x01, 0x20, 0x03, 0x40, 27, 0x1F, 0x01};
    Bytes field(16, 0x20);
    for (std::size_t i = 0; name[i] != '\0'; ++i)
        field[i] = static_cast<std::uint8_t>(name[i]);
    f.insert(f.end(), field.begin(), field.end());
    f.push_back(revision);
    f.insert(f.end(), {0x01, 0x05, 0x60});
    return f;
}

template <std::size_t N> Bytes toBytes(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

// The 9-byte request of a command.
inline Bytes request(protocol::CommandCode code) {
    return toBytes(protocol::buildRequest(code));
}

} // namespace tq50r::devices::testing
