// Channels without ports or sockets: the fake, the request sender and the receive loops.
#include "support/fake_channel.h"
#include "transport/receive_loops.h"
#include "transport/request_sender.h"

#include <gtest/gtest.h>
#include <numeric>

using namespace tq50r::transport;

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(RequestSender, WritesTheFixedRequestsOnceEach) {
    FakeChannel channel;
    RequestSender sender(channel);
    channel.open();

    EXPECT_EQ(sender.sendPoll(), 9);
    EXPECT_EQ(sender.sendConnectRequest(), 9);
    EXPECT_EQ(sender.sendZeroBlock(), 150);

    const auto& writes = channel.link().writes();
    ASSERT_EQ(writes.size(), 3u);
    // header 01 20 03 40, length 9, command, trailer 01 05 60
    EXPECT_EQ(writes[0], (Bytes{0x01, 0x20, 0x03, 0x40, 0x09, 0x0B, 0x01, 0x05, 0x60}));
    EXPECT_EQ(writes[1], (Bytes{0x01, 0x20, 0x03, 0x40, 0x09, 0x1F, 0x01, 0x05, 0x60}));
    EXPECT_EQ(writes[2], Bytes(150, 0x00));
}

TEST(RequestSender, ReturnsTheWriteResult) {
    FakeChannel channel;
    RequestSender sender(channel);
    channel.link().setWriteError(true);
    EXPECT_EQ(sender.sendPoll(), -1);
    channel.link().setWriteError(false);
    channel.link().setWritesStalled(true);
    EXPECT_EQ(sender.sendZeroBlock(), 0);
}

TEST(ReceiveLoops, ReadsInPiecesThatFitTheBuffer) {
    struct Case {
        std::int64_t count;
        std::vector<std::int32_t> pieces;
    };
    const std::vector<Case> cases = {
        {0, {}}, {1, {1}}, {1024, {1024}}, {1025, {1024, 1}}, {3000, {1024, 1024, 952}},
    };
    for (const auto& c : cases) {
        FakeChannel channel;
        Bytes data(static_cast<std::size_t>(c.count));
        std::iota(data.begin(), data.end(), std::uint8_t{0});
        channel.link().feedReceived(data);

        std::vector<std::int32_t> pieces;
        Bytes got;
        const auto total =
            receiveFromChannel(channel, c.count, [&](std::span<const std::uint8_t> s) {
                pieces.push_back(static_cast<std::int32_t>(s.size()));
                got.insert(got.end(), s.begin(), s.end());
            });
        EXPECT_EQ(total, c.count);
        EXPECT_EQ(pieces, c.pieces) << "count " << c.count;
        EXPECT_EQ(got, data);
    }
}

TEST(ReceiveLoops, StopsWhenAReadGivesNothingAndNeverPassesTheBuffer) {
    // Fewer bytes than announced: what is there is handed on, then the loop ends.
    FakeChannel shortChannel;
    shortChannel.link().feedReceived(Bytes(1500, 7));
    std::int64_t handed = 0;
    EXPECT_EQ(receiveFromChannel(shortChannel, 4000,
                                 [&](std::span<const std::uint8_t> s) { handed += std::ssize(s); }),
              1500);
    EXPECT_EQ(handed, 1500);

    // A failing read ends it at once.
    FakeChannel failing;
    failing.link().feedReceived(Bytes(10, 1));
    failing.link().setReadError(true);
    int calls = 0;
    EXPECT_EQ(receiveFromChannel(failing, 10, [&](std::span<const std::uint8_t>) { ++calls; }), 0);
    EXPECT_EQ(calls, 0);

    // A reader that claims more than it was asked for is held to the piece size.
    std::vector<std::int32_t> asked;
    const auto total = receiveInPieces(
        2048,
        [&](std::uint8_t*, std::int32_t n) {
            asked.push_back(n);
            return n + 100;
        },
        [](std::span<const std::uint8_t> s) { EXPECT_LE(s.size(), 1024u); });
    EXPECT_EQ(total, 2048);
    EXPECT_EQ(asked, (std::vector<std::int32_t>{1024, 1024}));
}

TEST(FakeChannel, RecordsWritesAndInjectsFaults) {
    FakeChannelFactory factory;
    auto serial = factory.createSerialChannel();
    auto tcp = factory.createTcpChannel();
    EXPECT_EQ(serial->channelKind(), kSerialChannelKind);
    EXPECT_EQ(tcp->channelKind(), kTcpChannelKind);
    ASSERT_EQ(factory.links().size(), 2u);
    const auto link = factory.lastLink();

    tcp->setAddress("127.0.0.1:5000");
    EXPECT_EQ(link->address(), "127.0.0.1:5000");
    tcp->open();
    EXPECT_TRUE(tcp->isOpen());
    const Bytes frame = {1, 2, 3};
    EXPECT_EQ(tcp->write(frame.data(), 3), 3);

    link->setWritesStalled(true);
    EXPECT_EQ(tcp->write(frame.data(), 3), 0);
    EXPECT_EQ(link->writtenData(), frame) << "stalled bytes are not delivered yet";
    link->setWritesStalled(false);
    link->releaseStalled();
    EXPECT_EQ(link->writtenData(), (Bytes{1, 2, 3, 1, 2, 3}));

    link->feedReceived(Bytes{9, 8});
    std::uint8_t buf[4] = {};
    EXPECT_EQ(link->pendingCount(), 2);
    EXPECT_EQ(tcp->read(buf, 4), 2);
    EXPECT_EQ(buf[0], 9);
    EXPECT_EQ(tcp->read(buf, 4), 0);

    link->dropConnection();
    EXPECT_FALSE(tcp->isOpen());

    // The link outlives the channel so a test can inspect it afterwards.
    tcp.reset();
    EXPECT_FALSE(link->channelAlive());
    EXPECT_EQ(link->writes().size(), 2u);

    factory.linkTemplate().setOpenFails(true);
    auto failing = factory.createSerialChannel();
    failing->open();
    EXPECT_FALSE(failing->isOpen());
    EXPECT_EQ(factory.lastLink()->openCount(), 1);
}

} // namespace
