// The receive state machine: turns a byte stream from any of the byte
// sources (serial port, probe port, TCP socket) into complete frames and hands
// each one to a dispatch callback together with the tag of its source.
#pragma once

#include "protocol/frames.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace tq50r::protocol {

enum class ParserState : std::uint8_t {
    AwaitStart = 0,
    AwaitHeader2 = 1,
    AwaitHeader3 = 2,
    AwaitHeader4 = 3,
    AwaitLength = 4,
    AwaitBody = 5,
};

// Opaque tag of the source that delivered the bytes; the parser passes it
// through unchanged (a small number or a pointer value chosen by the caller).
using FrameSource = std::uintptr_t;

class FrameParser {
public:
    static constexpr std::size_t BufferSize = 1024;

    // Called once per complete frame. `frame` holds exactly the bytes of that
    // frame (its real length: the length byte, but never fewer than the six
    // bytes up to the command) and is valid only during the call; the
    // callback must not feed this parser.
    using Dispatch = std::function<void(FrameBytes frame, FrameSource source)>;

    FrameParser() = default;
    explicit FrameParser(Dispatch dispatch);

    void setDispatch(Dispatch dispatch);

    void feed(std::uint8_t byte, FrameSource source);
    void feed(std::span<const std::uint8_t> bytes, FrameSource source);

    // Drops any partial frame: back to AwaitStart with count 0.
    void reset();

    ParserState state() const { return state_; }
    int count() const { return count_; }
    // The bytes of the frame being assembled so far (count() bytes).
    FrameBytes frame() const { return FrameBytes(frame_.data(), static_cast<std::size_t>(count_)); }

private:
    void store(std::uint8_t byte, ParserState next);

    ParserState state_ = ParserState::AwaitStart;
    int count_ = 0;
    std::array<std::uint8_t, BufferSize> frame_{};
    Dispatch dispatch_;
};

} // namespace tq50r::protocol
