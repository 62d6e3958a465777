// Feeds arbitrary bytes in arbitrary pieces to the receive state machine and
// runs every reader on every dispatched frame.
#include "protocol/frame_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace tq50r::protocol;

namespace {

void readAll(FrameBytes frame) {
    if (frame.size() < MinFrameSize || frame.size() > MaxFrameSize) {
        std::abort(); // a dispatched frame always holds its header, length and command
    }
    const std::uint8_t code = frame[CommandOffset];
    const bool covered = frameCoversLayout(code, frame.size());
    bool read = false;
    read |= readTrimByte(frame).has_value();
    read |= readBandReport(frame).has_value();
    read |= readBypassByte(frame).has_value();
    read |= readParameterBlock(frame).has_value();
    read |= readConnectReply(frame).has_value();
    read |= readMacReport(frame).has_value();
    read |= readDeviceState(frame).has_value();
    read |= readBurningReport(frame).has_value();
    if (read && !covered) {
        std::abort(); // a reader took a field beyond the frame's layout
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    FrameParser parser([](FrameBytes frame, FrameSource) { readAll(frame); });
    // The first byte chooses the piece size, as receive events split the stream.
    const std::size_t piece = static_cast<std::size_t>(data[0] % 64) + 1;
    for (std::size_t at = 1; at < size; at += piece) {
        const std::size_t n = size - at < piece ? size - at : piece;
        parser.feed(std::span<const std::uint8_t>(data + at, n), 1);
    }
    if (static_cast<std::size_t>(parser.count()) > FrameParser::BufferSize) {
        std::abort();
    }
    return 0;
}
