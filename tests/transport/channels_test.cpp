// The serial channel on a pseudo-terminal and the TCP channel against a loopback server.
#include "transport/channel_factory.h"
#include "transport/com_port.h"
#include "transport/receive_loops.h"
#include "transport/request_sender.h"
#include "transport/serial_channel.h"
#include "transport/tcp_channel.h"
#include "transport/test_support.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

using namespace tq50r::transport;
using tq50r::platform::TcpSocket;
using tq50r::transport::testing::PtyPair;
using tq50r::transport::testing::pumpUntil;

namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

struct PauseLog {
    std::vector<milliseconds> pauses;
    PauseFn fn() {
        return [this](milliseconds d) { pauses.push_back(d); };
    }
};

const Bytes kPollFrame = {0x01, 0x20, 0x03, 0x40, 0x09, 0x0B, 0x01, 0x05, 0x60};

// ---------------------------------------------------------------------------------------------

TEST(SerialChannel, WritesThroughThePortThenPauses) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    TComPort port;
    PauseLog log;
    SerialChannel channel(port, log.fn());
    EXPECT_EQ(channel.channelKind(), kSerialChannelKind);

    channel.setAddress(pty.path());
    EXPECT_EQ(port.Port(), pty.path());
    EXPECT_EQ(channel.address(), pty.path());
    EXPECT_FALSE(channel.isOpen());
    channel.open();
    EXPECT_TRUE(channel.isOpen());

    EXPECT_EQ(channel.write(kPollFrame.data(), 9), 9);
    EXPECT_EQ(pty.receive(9), kPollFrame);
    EXPECT_EQ(log.pauses, std::vector<milliseconds>{SerialChannel::kWritePause});
    EXPECT_EQ(SerialChannel::kWritePause, milliseconds(20));

    ASSERT_TRUE(pty.send({5, 6, 7}));
    ASSERT_TRUE(pumpUntil([&] { return port.InputCount() == 3; }));
    std::uint8_t buf[8] = {};
    EXPECT_EQ(channel.read(buf, 8), 3);
    EXPECT_EQ(buf[2], 7);

    channel.close();
    EXPECT_FALSE(channel.isOpen());
    channel.close(); // closing a closed channel is harmless
}

TEST(SerialChannel, AWriteThatRaisesReturnsMinusOneWithoutPausing) {
    TComPort port; // never opened: the write raises "Port Not Open"
    PauseLog log;
    SerialChannel channel(port, log.fn());
    EXPECT_EQ(channel.write(kPollFrame.data(), 9), -1);
    EXPECT_TRUE(log.pauses.empty());

    // With a hook the port does not raise: the channel pauses and returns the port's 0.
    std::vector<int> hookCodes;
    port.OnException = [&](TComPort&, int code, const std::string&, std::int64_t,
                           const std::string&) { hookCodes.push_back(code); };
    EXPECT_EQ(channel.write(kPollFrame.data(), 9), 0);
    EXPECT_EQ(hookCodes, (std::vector<int>{24, 2}));
    EXPECT_EQ(log.pauses.size(), 1u);
}

TEST(SerialChannel, DestroyingTheChannelLeavesThePortOpen) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    TComPort port;
    {
        SerialChannel channel(port, [](milliseconds) {});
        channel.setAddress(pty.path());
        channel.open();
    }
    EXPECT_TRUE(port.Connected());
}

TEST(SerialChannel, AnnouncedReceiveLargerThanTheBufferIsReadInPieces) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    TComPort port;
    port.setPort(pty.path());
    port.Open();
    Bytes data(1500);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7);
    }
    ASSERT_TRUE(pty.send(data));
    ASSERT_TRUE(pumpUntil([&] { return port.InputCount() == 1500; }));
    std::vector<std::size_t> pieces;
    Bytes got;
    EXPECT_EQ(receiveFromPort(port, port.InputCount(),
                              [&](std::span<const std::uint8_t> s) {
                                  pieces.push_back(s.size());
                                  got.insert(got.end(), s.begin(), s.end());
                              }),
              1500);
    EXPECT_EQ(pieces, (std::vector<std::size_t>{1024, 476}));
    EXPECT_EQ(got, data);
}

// ---------------------------------------------------------------------------------------------

class TcpChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            peer = server.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, [this] {
                const QByteArray bytes = peer->readAll();
                received.insert(received.end(), bytes.begin(), bytes.end());
            });
        });
    }
    std::string serverAddress() const { return "127.0.0.1:" + std::to_string(server.serverPort()); }

    QTcpServer server;
    QTcpSocket* peer = nullptr;
    Bytes received;
    ClientSocket socket;
    PauseLog log;
};

TEST_F(TcpChannelTest, AddressSplitsAtTheFirstColon) {
    TcpChannel channel(socket, log.fn());
    EXPECT_EQ(channel.channelKind(), kTcpChannelKind);
    struct Case {
        std::string text;
        QString host;
        quint16 port;
        std::string address;
    };
    const std::vector<Case> cases = {
        {"192.168.1.20:5000", "192.168.1.20", 5000, "192.168.1.20:5000"},
        {"127.0.0.1:5000", "127.0.0.1", 5000, "127.0.0.1:5000"},
        {"10.0.0.1", "10.0.0.1", 0, "10.0.0.1:0"},
        {"a:b:c", "a", 0, "a:0"},
        {"10.0.0.1:70000", "10.0.0.1", 0, "10.0.0.1:0"},
        {":80", "", 80, ":80"},
    };
    for (const auto& c : cases) {
        channel.setAddress(c.text);
        EXPECT_EQ(socket.Host(), c.host) << c.text;
        EXPECT_EQ(socket.Port(), c.port) << c.text;
        EXPECT_EQ(channel.address(), c.address) << c.text;
    }
}

TEST_F(TcpChannelTest, ConnectEventSendsZeroBlockThenConnectRequestWithPauses) {
    TcpChannel channel(socket, log.fn());
    RequestSender sender(channel);
    int connectEvents = 0;
    QObject::connect(&socket, &ClientSocket::connected, [&] {
        ++connectEvents;
        sender.sendZeroBlock();
        sender.sendConnectRequest();
    });
    channel.setAddress(serverAddress());
    channel.open();
    EXPECT_TRUE(channel.isOpen()) << "open from open() on, before the connect completes";
    EXPECT_EQ(connectEvents, 0);

    ASSERT_TRUE(pumpUntil([&] { return received.size() >= 159; }));
    EXPECT_EQ(connectEvents, 1);
    Bytes expected(150, 0x00);
    expected.insert(expected.end(), {0x01, 0x20, 0x03, 0x40, 0x09, 0x1F, 0x01, 0x05, 0x60});
    EXPECT_EQ(received, expected);
    const std::vector<milliseconds> pauses = {milliseconds(3), milliseconds(15), milliseconds(3),
                                              milliseconds(15)};
    EXPECT_EQ(log.pauses, pauses);

    channel.close();
    EXPECT_FALSE(channel.isOpen());
}

TEST_F(TcpChannelTest, WritesBeforeTheConnectFailAndAreNotSentLater) {
    TcpChannel channel(socket, log.fn());
    EXPECT_EQ(channel.write(kPollFrame.data(), 9), -1) << "never opened";
    channel.setAddress(serverAddress());
    channel.open();
    EXPECT_EQ(channel.write(kPollFrame.data(), 9), -1) << "connect still under way";
    EXPECT_EQ(log.pauses.size(), 4u) << "the pauses follow every write";
    ASSERT_TRUE(pumpUntil(
        [&] { return peer != nullptr && socket.state() == TcpSocket::State::Connected; }));
    pumpUntil([] { return false; }, 50);
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(channel.write(kPollFrame.data(), 9), 9);
    ASSERT_TRUE(pumpUntil([&] { return received.size() == 9; }));
    EXPECT_EQ(received, kPollFrame);
}

TEST_F(TcpChannelTest, MoreThanABufferOfPendingBytesIsReadInPieces) {
    TcpChannel channel(socket, log.fn());
    channel.setAddress(serverAddress());
    channel.open();
    ASSERT_TRUE(pumpUntil([&] { return peer != nullptr; }));
    Bytes data(3000);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i % 251);
    }
    peer->write(reinterpret_cast<const char*>(data.data()), static_cast<qint64>(data.size()));
    ASSERT_TRUE(pumpUntil([&] { return socket.pendingCount() == 3000; }));

    std::vector<std::size_t> pieces;
    Bytes got;
    EXPECT_EQ(receiveFromChannel(channel, socket.pendingCount(),
                                 [&](std::span<const std::uint8_t> s) {
                                     pieces.push_back(s.size());
                                     got.insert(got.end(), s.begin(), s.end());
                                 }),
              3000);
    EXPECT_EQ(pieces, (std::vector<std::size_t>{1024, 1024, 952}));
    EXPECT_EQ(got, data);
    EXPECT_EQ(socket.pendingCount(), 0);
}

TEST_F(TcpChannelTest, ARefusedConnectIsSilentAndThePeerClosingEndsTheActiveState) {
    // A port nobody listens on: take a free one and stop listening.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    const quint16 freePort = closed.serverPort();
    closed.close();

    TcpChannel channel(socket, log.fn());
    int connectEvents = 0;
    QObject::connect(&socket, &ClientSocket::connected, [&] { ++connectEvents; });
    channel.setAddress("127.0.0.1:" + std::to_string(freePort));
    channel.open();
    ASSERT_TRUE(pumpUntil([&] { return socket.state() == TcpSocket::State::Unconnected; }));
    EXPECT_EQ(connectEvents, 0);
    EXPECT_TRUE(channel.isOpen()) << "stays active until closed, as the connect timer expects";
    EXPECT_EQ(channel.write(kPollFrame.data(), 9), -1);
    channel.close();
    EXPECT_FALSE(channel.isOpen());

    // A connection the device ends.
    channel.setAddress(serverAddress());
    channel.open();
    ASSERT_TRUE(pumpUntil([&] { return peer != nullptr; }));
    ASSERT_TRUE(pumpUntil([&] { return socket.state() == TcpSocket::State::Connected; }));
    peer->disconnectFromHost();
    EXPECT_TRUE(pumpUntil([&] { return !channel.isOpen(); }));
}

TEST_F(TcpChannelTest, OpeningAnEstablishedConnectionAgainStaysActiveAndReconnects) {
    TcpChannel channel(socket, log.fn());
    int connectEvents = 0;
    QObject::connect(&socket, &ClientSocket::connected, [&] { ++connectEvents; });
    channel.setAddress(serverAddress());
    channel.open();
    ASSERT_TRUE(pumpUntil([&] { return connectEvents == 1; }));
    channel.open();
    EXPECT_TRUE(channel.isOpen()) << "the dropped connection must not end the new attempt";
    EXPECT_TRUE(pumpUntil([&] { return connectEvents == 2; }));
    EXPECT_TRUE(channel.isOpen());
}

TEST_F(TcpChannelTest, FactoryMakesChannelsOverTheGivenComponents) {
    TComPort port;
    ComponentChannelFactory factory(port, socket, log.fn());
    auto serial = factory.createSerialChannel();
    auto tcp = factory.createTcpChannel();
    EXPECT_EQ(serial->channelKind(), kSerialChannelKind);
    EXPECT_EQ(tcp->channelKind(), kTcpChannelKind);
    tcp->setAddress("127.0.0.1:5000");
    EXPECT_EQ(socket.Port(), 5000);
    serial->setAddress("ttyUSB3");
    EXPECT_EQ(port.Port(), "ttyUSB3");
    EXPECT_EQ(tcp->write(kPollFrame.data(), 9), -1);
    EXPECT_EQ(log.pauses.size(), 2u) << "the factory's pause function is used";
}

} // namespace
