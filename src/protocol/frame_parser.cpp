#include "protocol/frame_parser.h"

#include <utility>

namespace tq50r::protocol {

FrameParser::FrameParser(Dispatch dispatch) : dispatch_(std::move(dispatch)) {}

void FrameParser::setDispatch(Dispatch dispatch) {
    dispatch_ = std::move(dispatch);
}

void FrameParser::reset() {
    state_ = ParserState::AwaitStart;
    count_ = 0;
}

void FrameParser::store(std::uint8_t byte, ParserState next) {
    frame_[static_cast<std::size_t>(count_)] = byte;
    ++count_;
    state_ = next;
}

void FrameParser::feed(std::uint8_t byte, FrameSource source) {
    switch (state_) {
    case ParserState::AwaitStart:
        if (byte == FrameHeader[0]) {
            count_ = 0;
            store(byte, ParserState::AwaitHeader2);
        }
        // any other byte is dropped
        return;
    case ParserState::AwaitHeader2:
    case ParserState::AwaitHeader3:
    case ParserState::AwaitHeader4: {
        const auto position = static_cast<std::size_t>(state_);
        if (byte != FrameHeader[position]) {
            // The breaking byte is dropped, not looked at again as a start byte.
            reset();
            return;
        }
        store(byte, static_cast<ParserState>(position + 1));
        return;
    }
    case ParserState::AwaitLength:
        store(byte, ParserState::AwaitBody);
        return;
    case ParserState::AwaitBody:
        store(byte, ParserState::AwaitBody);
        // The command byte is always stored, so the shortest frame is six bytes.
        // The length byte is at most 255, far below the buffer size.
        if (count_ >= static_cast<int>(frame_[LengthOffset])) {
            // The parser starts over after the frame even when the dispatch
            // throws; otherwise every later byte would complete a frame of its
            // own and the count would run past the buffer.
            struct StartOver {
                FrameParser& parser;
                ~StartOver() { parser.reset(); }
            } startOver{*this};
            if (dispatch_) {
                dispatch_(frame(), source);
            }
        }
        return;
    }
}

void FrameParser::feed(std::span<const std::uint8_t> bytes, FrameSource source) {
    for (const std::uint8_t byte : bytes) {
        feed(byte, source);
    }
}

} // namespace tq50r::protocol
