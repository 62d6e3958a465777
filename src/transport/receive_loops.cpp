#include "transport/receive_loops.h"

#include "transport/com_port.h"
#include "transport/transport_channel.h"

#include <algorithm>
#include <array>

namespace tq50r::transport {

std::int64_t
receiveInPieces(std::int64_t count,
                const std::function<std::int32_t(std::uint8_t*, std::int32_t)>& readPiece,
                const ByteSink& sink) {
    std::array<std::uint8_t, kReceiveBufferSize> buffer{};
    std::int64_t total = 0;
    while (total < count) {
        const auto piece =
            static_cast<std::int32_t>(std::min<std::int64_t>(count - total, kReceiveBufferSize));
        const std::int32_t got = readPiece(buffer.data(), piece);
        if (got <= 0) {
            break;
        }
        const auto used = std::min(got, piece); // never trust a reader past the buffer
        sink(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(used)));
        total += used;
    }
    return total;
}

std::int64_t receiveFromPort(TComPort& port, std::int64_t announced, const ByteSink& sink) {
    return receiveInPieces(
        announced, [&port](std::uint8_t* buffer, std::int32_t n) { return port.Read(buffer, n); },
        sink);
}

std::int64_t receiveFromChannel(TransportChannel& channel, std::int64_t pending,
                                const ByteSink& sink) {
    return receiveInPieces(
        pending,
        [&channel](std::uint8_t* buffer, std::int32_t n) { return channel.read(buffer, n); }, sink);
}

} // namespace tq50r::transport
