#include "protocol/frame_parser.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tq50r::protocol {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Dispatched {
    Bytes frame;
    FrameSource source;
};

class FrameParserTest : public ::testing::Test {
protected:
    FrameParserTest() {
        parser.setDispatch([this](FrameBytes frame, FrameSource source) { record(frame, source); });
    }
    void record(FrameBytes frame, FrameSource source) {
        seen.push_back({Bytes(frame.begin(), frame.end()), source});
    }
    void feed(const Bytes& bytes, FrameSource source = SerialPort) { parser.feed(bytes, source); }

    static constexpr FrameSource SerialPort = 1;
    static constexpr FrameSource ProbePort = 2;
    static constexpr FrameSource TcpSocket = 3;

    FrameParser parser;
    std::vector<Dispatched> seen;
};

const Bytes ConnectRequest = {0x01, 0x20, 0x03, 0x40, 0x09, 0x1F, 0x01, 0x05, 0x60};

TEST_F(FrameParserTest, FrameSplitOverEventsDispatchesOnItsLastByte) {
    feed({0x01, 0x20}, TcpSocket);
    feed({0x03, 0x40, 0x09, 0x1F, 0x01}, TcpSocket);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(parser.state(), ParserState::AwaitBody);
    feed({0x05}, TcpSocket);
    EXPECT_TRUE(seen.empty());
    feed({0x60}, TcpSocket);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].frame, ConnectRequest);
    EXPECT_EQ(seen[0].source, TcpSocket);
    EXPECT_EQ(parser.state(), ParserState::AwaitStart);
    EXPECT_EQ(parser.count(), 0);
}

TEST_F(FrameParserTest, GarbageAndBrokenHeadersAreDropped) {
    // Leading garbage, then a six-byte Poll frame dispatched right after its command.
    feed({0x00, 0xFF, 0x01, 0x20, 0x03, 0x40, 0x06, 0x0B});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].frame, (Bytes{0x01, 0x20, 0x03, 0x40, 0x06, 0x0B}));

    // 0x41 breaks the header; the next frame is assembled normally.
    seen.clear();
    feed({0x01, 0x20, 0x03, 0x41});
    EXPECT_EQ(parser.state(), ParserState::AwaitStart);
    EXPECT_EQ(parser.count(), 0);
    feed(ConnectRequest);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].frame, ConnectRequest);

    // A second 0x01 breaks the first attempt and is not taken as a new start:
    // the frame behind it is lost.
    seen.clear();
    Bytes doubled = {0x01};
    doubled.insert(doubled.end(), ConnectRequest.begin(), ConnectRequest.end());
    feed(doubled);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(parser.state(), ParserState::AwaitStart);
}

TEST_F(FrameParserTest, ShortLengthsDispatchAfterTheCommandByte) {
    for (std::uint8_t length : {0, 1, 5, 6}) {
        seen.clear();
        feed({0x01, 0x20, 0x03, 0x40, length, 0x0B});
        ASSERT_EQ(seen.size(), 1u) << int(length);
        EXPECT_EQ(seen[0].frame.size(), MinFrameSize);
    }
    // Length 7 waits for one payload byte.
    seen.clear();
    feed({0x01, 0x20, 0x03, 0x40, 0x07, 0x0B});
    EXPECT_TRUE(seen.empty());
    feed({0xAA});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].frame.size(), 7u);
}

TEST_F(FrameParserTest, SeveralFramesInOneEventAreDispatchedInOrder) {
    Bytes stream = ConnectRequest;
    const Bytes poll = {0x01, 0x20, 0x03, 0x40, 0x09, 0x0B, 0x01, 0x05, 0x60};
    stream.insert(stream.end(), poll.begin(), poll.end());
    stream.insert(stream.end(), {0x01, 0x20, 0x03}); // and the start of a third
    feed(stream, ProbePort);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].frame, ConnectRequest);
    EXPECT_EQ(seen[1].frame, poll);
    EXPECT_EQ(seen[1].source, ProbePort);
    EXPECT_EQ(parser.count(), 3);
    EXPECT_EQ(parser.state(), ParserState::AwaitHeader4);

    parser.reset();
    feed({0x40, 0x06, 0x0B}); // the rest of the third no longer completes anything
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(FrameParserTest, LongestFrameFitsTheBuffer) {
    // Length 255, then 0x99: an unknown command is still a frame, still traffic.
    Bytes frame = {0x01, 0x20, 0x03, 0x40, 0xFF, 0x99};
    frame.resize(255, 0x55);
    feed(frame);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].frame, frame);
}

// A frame shorter than its command's layout follows a full one: the
// dispatched frame must hold only its own bytes, and its fields read as absent
// instead of as the earlier frame's.
TEST_F(FrameParserTest, ShortFrameNeverCarriesBytesOfAnEarlierFrame) {
    eq::EqBand band;
    band.freqIndex = 250;
    band.gainIndex = 2;
    band.off = true;
    const auto full = buildBandFrame(5, band);
    feed(Bytes(full.begin(), full.end()));
    ASSERT_EQ(seen.size(), 1u);
    ASSERT_TRUE(readBandReport(seen[0].frame));

    feed({0x01, 0x20, 0x03, 0x40, 0x09, 0x11, 0x02, 0x05, 0x60}); // Band, but only 9 bytes
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].frame.size(), 9u);
    EXPECT_FALSE(readBandReport(seen[1].frame));
    EXPECT_FALSE(frameCoversLayout(0x11, seen[1].frame.size()));

    // The same for a whole-setting report after a full one.
    const ParameterBlock block = buildParameterBlock(eq::startSetting(), false);
    feed(Bytes(block.begin(), block.end()));
    feed({0x01, 0x20, 0x03, 0x40, 0x0A, 0x14, 0x00, 0x79, 0x00, 0x00});
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_TRUE(readParameterBlock(FrameBytes(seen[2].frame)));
    EXPECT_EQ(seen[3].frame.size(), 10u);
    EXPECT_FALSE(readParameterBlock(FrameBytes(seen[3].frame)));
}

TEST_F(FrameParserTest, DispatchMayResetTheParser) {
    parser.setDispatch([this](FrameBytes frame, FrameSource source) {
        record(frame, source);
        parser.reset();
    });
    Bytes twice = ConnectRequest;
    twice.insert(twice.end(), ConnectRequest.begin(), ConnectRequest.end());
    feed(twice);
    EXPECT_EQ(seen.size(), 2u);

    // A dispatch that throws still ends the frame: the next one is assembled whole.
    seen.clear();
    bool fail = true;
    parser.setDispatch([&](FrameBytes frame, FrameSource source) {
        record(frame, source);
        if (std::exchange(fail, false)) {
            throw std::runtime_error("handler failed");
        }
    });
    EXPECT_THROW(feed(ConnectRequest), std::runtime_error);
    EXPECT_EQ(parser.state(), ParserState::AwaitStart);
    feed(ConnectRequest);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].frame, ConnectRequest);

    FrameParser silent; // no dispatch set: frames are consumed quietly
    silent.feed(ConnectRequest, SerialPort);
    EXPECT_EQ(silent.state(), ParserState::AwaitStart);
}

} // namespace
} // namespace tq50r::protocol
