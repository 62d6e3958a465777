// The program's own UDP and TCP sockets against plain POSIX peers on 127.0.0.1, on the event loop.
#include "base/unique_fd.h"
#include "platform/tcp_socket.h"
#include "platform/udp_socket.h"
#include "support/manual_clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <arpa/inet.h>
#include <array>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace tq50r::platform {
namespace {

using base::UniqueFd;
using std::chrono::milliseconds;

constexpr std::uint32_t Loopback = INADDR_LOOPBACK;
constexpr std::uint32_t Loopback2 = 0x7F000002; // 127.0.0.2
constexpr int WaitLimitMs = 5000;
// Event loop passes that must see nothing new: a readable socket whose notifier were on would
// be reported at the first of them.
constexpr int QuietPasses = 20;

// `done` is asked once per pass (it may take what it waits for).
bool pumpUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (done()) {
            return true;
        }
        if (timer.elapsed() >= WaitLimitMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

void pumpQuietly() {
    for (int i = 0; i < QuietPasses; ++i) {
        QCoreApplication::processEvents();
    }
}

sockaddr_in address(std::uint32_t host, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(host);
    return a;
}

UniqueFd boundSocket(int type, std::uint32_t host, std::uint16_t port = 0) {
    UniqueFd fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    const sockaddr_in a = address(host, port);
    if (!fd || ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        return {};
    }
    return fd;
}

std::uint16_t portOf(int fd) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    return ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0 ? ntohs(a.sin_port) : 0;
}

// ---- UDP ---------------------------------------------------------------------------------------

struct UdpPeer {
    UniqueFd fd = boundSocket(SOCK_DGRAM, Loopback2);
    bool send(const std::string& bytes, std::uint16_t port) const {
        const sockaddr_in to = address(Loopback, port);
        return ::sendto(fd.get(), bytes.data(), bytes.size(), 0,
                        reinterpret_cast<const sockaddr*>(&to),
                        sizeof to) == static_cast<ssize_t>(bytes.size());
    }
    std::string receive() const {
        std::array<char, 256> buffer{};
        const ssize_t n = ::recv(fd.get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        return n < 0 ? std::string("(none)") : std::string(buffer.data(), static_cast<size_t>(n));
    }
};

// A reader that leaves datagrams in the socket (to pace itself) hears of them once; each read
// announces what still waits.
TEST(UdpSocket, WaitingDatagramsAreAnnouncedOnceUntilOneIsRead) {
    UdpSocket socket(boundSocket(SOCK_DGRAM | SOCK_NONBLOCK, Loopback));
    EXPECT_EQ(socket.localAddress(), Loopback);
    const std::uint16_t port = socket.localPort();
    ASSERT_NE(port, 0);
    QSignalSpy ready(&socket, &UdpSocket::readyRead);
    EXPECT_FALSE(socket.hasPendingDatagrams());

    UdpPeer peer;
    ASSERT_TRUE(peer.fd);
    ASSERT_TRUE(peer.send("first", port));
    ASSERT_TRUE(peer.send("second", port));
    ASSERT_TRUE(pumpUntil([&] { return ready.count() == 1; }));
    pumpQuietly();
    EXPECT_EQ(ready.count(), 1);
    EXPECT_TRUE(socket.hasPendingDatagrams());

    std::array<char, 64> buffer{};
    std::uint32_t sender = 0;
    ASSERT_EQ(socket.readDatagram(buffer.data(), buffer.size(), &sender), 5);
    EXPECT_EQ(std::string(buffer.data(), 5), "first");
    EXPECT_EQ(sender, Loopback2);
    ASSERT_TRUE(pumpUntil([&] { return ready.count() == 2; })) << "the second still waits";
    ASSERT_EQ(socket.readDatagram(buffer.data(), buffer.size()), 6);
    EXPECT_EQ(std::string(buffer.data(), 6), "second");
    pumpQuietly();
    EXPECT_EQ(ready.count(), 2);
    EXPECT_FALSE(socket.hasPendingDatagrams());
    EXPECT_EQ(socket.readDatagram(buffer.data(), buffer.size()), -1) << "none waits";

    // Sends reach the peer.
    EXPECT_EQ(socket.writeDatagram("back", 4, Loopback2, portOf(peer.fd.get())), 4);
    EXPECT_TRUE(pumpUntil([&] { return peer.receive() == "back"; }));
}

TEST(UdpSocket, LongDatagramsAreCutAndEmptyOnesStillCount) {
    UdpSocket socket(boundSocket(SOCK_DGRAM | SOCK_NONBLOCK, Loopback));
    QSignalSpy ready(&socket, &UdpSocket::readyRead);
    UdpPeer peer;
    ASSERT_TRUE(peer.send(std::string(2000, 'x'), socket.localPort()));
    ASSERT_TRUE(peer.send("", socket.localPort()));
    ASSERT_TRUE(peer.send("end", socket.localPort()));
    ASSERT_TRUE(pumpUntil([&] { return ready.count() == 1; }));
    std::array<char, 100> buffer{};
    EXPECT_EQ(socket.readDatagram(buffer.data(), buffer.size()), 100);
    EXPECT_TRUE(socket.hasPendingDatagrams()) << "the empty datagram";
    EXPECT_EQ(socket.readDatagram(buffer.data(), buffer.size()), 0);
    EXPECT_EQ(socket.readDatagram(buffer.data(), buffer.size()), 3) << "the rest of the long one "
                                                                       "is gone";
}

TEST(UdpSocket, WithoutADescriptorNothingHappens) {
    UdpSocket socket{UniqueFd()};
    std::array<char, 8> buffer{};
    EXPECT_FALSE(socket.hasPendingDatagrams());
    EXPECT_EQ(socket.readDatagram(buffer.data(), buffer.size()), -1);
    EXPECT_EQ(socket.writeDatagram("x", 1, Loopback, 9), -1);
    EXPECT_EQ(socket.localPort(), 0);
}

// ---- TCP ---------------------------------------------------------------------------------------

struct Listener {
    UniqueFd fd = boundSocket(SOCK_STREAM | SOCK_NONBLOCK, Loopback);
    explicit Listener(int backlog = 4) {
        if (fd) {
            (void)::listen(fd.get(), backlog);
        }
    }
    std::uint16_t port() const { return portOf(fd.get()); }
    UniqueFd accept() const {
        UniqueFd peer;
        pumpUntil([&] {
            peer.reset(::accept4(fd.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            return peer.valid();
        });
        return peer;
    }
};

std::string drain(int fd) {
    std::string got;
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n <= 0) {
            return got;
        }
        got.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

struct Signals {
    explicit Signals(TcpSocket& s)
        : connected(&s, &TcpSocket::connected), disconnected(&s, &TcpSocket::disconnected),
          readyRead(&s, &TcpSocket::readyRead) {}
    QSignalSpy connected;
    QSignalSpy disconnected;
    QSignalSpy readyRead;
};

TEST(TcpSocket, ConnectsFromTheEventLoopAndCarriesBytesBothWays) {
    Listener listener;
    TcpSocket socket;
    Signals s(socket);
    socket.connectToHost(QStringLiteral("127.0.0.1"), listener.port());
    EXPECT_EQ(socket.state(), TcpSocket::State::Connecting);
    EXPECT_EQ(s.connected.count(), 0) << "never from inside connectToHost";
    EXPECT_EQ(socket.write("early", 5), -1) << "nothing is taken before the connect";
    ASSERT_TRUE(pumpUntil([&] { return s.connected.count() == 1; }));
    EXPECT_EQ(socket.state(), TcpSocket::State::Connected);
    const UniqueFd peer = listener.accept();
    ASSERT_TRUE(peer);

    EXPECT_EQ(socket.write("\x01\x20\x03", 3), 3);
    socket.flush();
    std::string atPeer;
    EXPECT_TRUE(pumpUntil([&] { return (atPeer += drain(peer.get())) == "\x01\x20\x03"; }));
    struct sigaction pipe {};
    ::sigaction(SIGPIPE, nullptr, &pipe);
    EXPECT_EQ(pipe.sa_handler, SIG_IGN) << "as after the toolkit socket's first write";

    ASSERT_EQ(::send(peer.get(), "reply", 5, 0), 5);
    ASSERT_TRUE(pumpUntil([&] { return socket.bytesAvailable() == 5; }));
    EXPECT_GE(s.readyRead.count(), 1);
    std::array<char, 3> part{};
    EXPECT_EQ(socket.read(part.data(), part.size()), 3);
    EXPECT_EQ(std::string(part.data(), 3), "rep");
    EXPECT_EQ(socket.readAll(), QByteArray("ly"));
    EXPECT_EQ(socket.read(part.data(), part.size()), 0);
    EXPECT_EQ(s.disconnected.count(), 0);
}

// A write the socket cannot take at once is not lost and does not wait: the rest follows as the
// peer reads.
TEST(TcpSocket, AWriteLargerThanTheSocketTakesArrivesWholeAndInOrder) {
    Listener listener;
    TcpSocket socket;
    Signals s(socket);
    socket.connectToHost(QStringLiteral("127.0.0.1"), listener.port());
    ASSERT_TRUE(pumpUntil([&] { return s.connected.count() == 1; }));
    const UniqueFd peer = listener.accept();
    std::string sent(8 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<char>(i * 31 % 251);
    }
    EXPECT_EQ(socket.write(sent.data(), static_cast<qint64>(sent.size())),
              static_cast<qint64>(sent.size()));
    std::string got;
    EXPECT_TRUE(pumpUntil([&] {
        got += drain(peer.get());
        return got.size() >= sent.size();
    }));
    EXPECT_TRUE(got == sent);
}

// Refused, and not addresses at all: back to Unconnected without a signal.
TEST(TcpSocket, FailedAttemptsReturnToUnconnectedSilently) {
    std::uint16_t closedPort = 0;
    {
        Listener gone;
        closedPort = gone.port();
    }
    TcpSocket socket;
    Signals s(socket);
    socket.connectToHost(QStringLiteral("127.0.0.1"), closedPort);
    ASSERT_TRUE(pumpUntil([&] { return socket.state() == TcpSocket::State::Unconnected; }));
    for (const char* host : {"", "localhost", "300.1.2.3", "127.0.0.1:5000"}) {
        socket.connectToHost(QString::fromLatin1(host), 5000);
        EXPECT_EQ(socket.state(), TcpSocket::State::Unconnected) << host;
    }
    pumpQuietly();
    EXPECT_EQ(s.connected.count(), 0);
    EXPECT_EQ(s.disconnected.count(), 0);

    // A second connect while one is under way is ignored.
    Listener listener;
    socket.connectToHost(QStringLiteral("127.0.0.1"), listener.port());
    socket.connectToHost(QStringLiteral("127.0.0.1"), closedPort);
    ASSERT_TRUE(pumpUntil([&] { return s.connected.count() == 1; }));
}

// What the peer sent before it closed stays readable; its close, and only a connection's end,
// is reported as disconnected.
TEST(TcpSocket, ThePeersCloseKeepsItsLastBytesAndIsReportedOnce) {
    Listener listener;
    TcpSocket socket;
    Signals s(socket);
    socket.connectToHost(QStringLiteral("127.0.0.1"), listener.port());
    ASSERT_TRUE(pumpUntil([&] { return s.connected.count() == 1; }));
    UniqueFd peer = listener.accept();
    ASSERT_EQ(::send(peer.get(), "bye", 3, 0), 3);
    peer.reset();
    ASSERT_TRUE(pumpUntil([&] { return s.disconnected.count() == 1; }));
    EXPECT_GE(s.readyRead.count(), 1);
    EXPECT_EQ(socket.state(), TcpSocket::State::Unconnected);
    EXPECT_EQ(socket.readAll(), QByteArray("bye"));
    EXPECT_EQ(socket.write("x", 1), -1);
    socket.abort();
    pumpQuietly();
    EXPECT_EQ(s.disconnected.count(), 1);
}

TEST(TcpSocket, AbortEndsAtOnceAndReportsOnlyAnEstablishedConnection) {
    TcpSocket socket;
    Signals s(socket);
    {
        Listener first;
        socket.connectToHost(QStringLiteral("127.0.0.1"), first.port());
        socket.abort(); // while connecting
        EXPECT_EQ(socket.state(), TcpSocket::State::Unconnected);
    }
    pumpQuietly();
    EXPECT_EQ(s.connected.count(), 0);
    EXPECT_EQ(s.disconnected.count(), 0);

    Listener listener;
    socket.connectToHost(QStringLiteral("127.0.0.1"), listener.port());
    ASSERT_TRUE(pumpUntil([&] { return s.connected.count() == 1; }));
    const UniqueFd peer = listener.accept();
    ASSERT_EQ(::send(peer.get(), "data", 4, 0), 4);
    ASSERT_TRUE(pumpUntil([&] { return socket.bytesAvailable() > 0; }));
    socket.abort();
    EXPECT_EQ(s.disconnected.count(), 1) << "at once";
    EXPECT_EQ(socket.bytesAvailable(), 0) << "unread bytes go with it";
    EXPECT_EQ(socket.state(), TcpSocket::State::Unconnected);

    // The peer sees the end.
    char c = 0;
    EXPECT_TRUE(pumpUntil([&] { return ::recv(peer.get(), &c, 1, MSG_DONTWAIT) == 0; }));
}

// A connect the listener never takes (its queue is full) is given up after 30 s.
TEST(TcpSocket, AnAttemptThatDoesNotConnectIsGivenUpAfterThirtySeconds) {
    Listener full(0);
    // Fill the listener's queue with attempts it never accepts.
    std::vector<UniqueFd> queued;
    for (int i = 0; i < 2; ++i) {
        UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        const sockaddr_in to = address(Loopback, full.port());
        (void)::connect(fd.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to);
        queued.push_back(std::move(fd));
    }
    pumpQuietly();
    testing::ManualClock clock;
    TcpSocket socket(nullptr, &clock);
    Signals s(socket);
    socket.connectToHost(QStringLiteral("127.0.0.1"), full.port());
    pumpQuietly();
    ASSERT_EQ(socket.state(), TcpSocket::State::Connecting) << "the queue did not hold it back";
    clock.advance(milliseconds(TcpSocket::ConnectTimeoutMs - 1));
    EXPECT_EQ(socket.state(), TcpSocket::State::Connecting);
    clock.advance(milliseconds(1));
    EXPECT_EQ(socket.state(), TcpSocket::State::Unconnected);
    pumpQuietly();
    EXPECT_EQ(s.connected.count(), 0);
    EXPECT_EQ(s.disconnected.count(), 0);
}

} // namespace
} // namespace tq50r::platform
