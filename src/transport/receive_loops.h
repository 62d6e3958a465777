#pragma once
// Reading what a receive event announces, in pieces that fit the receive buffer.
#include <cstdint>
#include <functional>
#include <span>

namespace tq50r::transport {

class TComPort;
class TransportChannel;

/// Size of the buffer one receive event reads into.
inline constexpr std::int32_t kReceiveBufferSize = 1024;

/// Takes the bytes of one piece (the frame parser's feed, in the application).
using ByteSink = std::function<void(std::span<const std::uint8_t>)>;

/// Serial receive: reads the `announced` bytes from the port that raised the event, at most
/// kReceiveBufferSize per read, and hands each piece to `sink`. Stops early when a read gives
/// nothing. Returns the number of bytes handed on.
std::int64_t receiveFromPort(TComPort& port, std::int64_t announced, const ByteSink& sink);

/// TCP receive: reads the `pending` bytes through the channel in the same pieces.
std::int64_t receiveFromChannel(TransportChannel& channel, std::int64_t pending,
                                const ByteSink& sink);

/// The loop behind both: `readPiece(buffer, maxCount)` returns the bytes it read (0 or less
/// ends the loop).
std::int64_t
receiveInPieces(std::int64_t count,
                const std::function<std::int32_t(std::uint8_t*, std::int32_t)>& readPiece,
                const ByteSink& sink);

} // namespace tq50r::transport
