#include "base/unique_fd.h"
#include "devices/datagram_rules.h"
#include "devices/discovery.h"
#include "devices/mac_resolver.h"
#include "platform/udp_socket.h"
#include "support/open_descriptors.h"

#include <QSignalSpy>
#include <QTimer>
#include <arpa/inet.h>
#include <array>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace tq50r::devices {
namespace {

using datagram::Action;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t Loopback2 = 0x7F000002; // 127.0.0.2
constexpr std::uint32_t Loopback3 = 0x7F000003;
constexpr std::uint32_t Outside = 0xC6120002; // 198.18.0.2

Bytes filled(std::size_t size) {
    return Bytes(size, 0x41);
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

TEST(DatagramRules, ThresholdsOfTheThreeListeners) {
    // Port 8000: more than 12 bytes from a stranger is a find; a known source only ages.
    EXPECT_EQ(datagram::judge(Route::Port8000, filled(12), false, false).action, Action::Ignore);
    EXPECT_EQ(datagram::judge(Route::Port8000, filled(13), false, false).action, Action::Find);
    EXPECT_EQ(datagram::judge(Route::Port8000, filled(1), true, false).action, Action::ResetAge);
    // Module: 20 bytes or fewer are ignored entirely, even from a known device.
    EXPECT_EQ(datagram::judge(Route::Module, filled(20), true, false).action, Action::Ignore);
    EXPECT_EQ(datagram::judge(Route::Module, filled(21), false, false).action, Action::Find);
    EXPECT_EQ(datagram::judge(Route::Module, filled(21), true, false).action, Action::ResetAge);
    EXPECT_EQ(datagram::judge(Route::Module, filled(20), false, false).pauseMs, 10);
    EXPECT_EQ(datagram::judge(Route::Module, filled(21), false, false).pauseMs, 60);
    // SSDP: the marker within the first 1024 bytes.
    EXPECT_EQ(
        datagram::judge(Route::Ssdp, text("NOTIFY * HTTP/1.1\r\nNT: upnp:rootdevice"), false, false)
            .action,
        Action::Ignore);
    EXPECT_EQ(datagram::judge(Route::Ssdp, text("NT: urn:upnp_MDL-S2E:1"), false, false).action,
              Action::Find);
    Bytes late = filled(1020);
    const Bytes marker = text("upnp_MDL-S2E");
    late.insert(late.end(), marker.begin(), marker.end());
    EXPECT_EQ(datagram::judge(Route::Ssdp, late, false, false).action, Action::Ignore);
    // While the lists change, a known device's announcement is dropped without a pause.
    const datagram::Verdict paused = datagram::judge(Route::Ssdp, marker, true, true);
    EXPECT_EQ(paused.action, Action::Ignore);
    EXPECT_EQ(paused.pauseMs, 0);
    EXPECT_EQ(datagram::judge(Route::Ssdp, marker, true, false).action, Action::ResetAge);
}

struct DiscoveryFixture : ::testing::Test {
    DeviceList list;
    DiscoveryOptions options{true, 0, 0, 0};
    Discovery discovery{list, options};

    int take(Route route, std::uint32_t source, const Bytes& data) {
        return discovery.takeDatagram(route, source, data);
    }
};

TEST_F(DiscoveryFixture, FindsAddDevicesOfTheirKindOnceWithTheirFirstRoute) {
    QSignalSpy found(&discovery, &Discovery::deviceFound);
    EXPECT_EQ(take(Route::Port8000, Loopback2, filled(13)), 20);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.deviceEntries()[0].key, QStringLiteral("127.0.0.2"));
    EXPECT_EQ(list.deviceEntries()[0].mac, QStringLiteral("000000000000"));
    EXPECT_EQ(list.deviceEntries()[0].kind, KindNetwork);

    // The same device announced by SSDP is listed once and keeps its first route.
    list.DeviceTimerTimer();
    take(Route::Ssdp, Loopback2, text("upnp_MDL-S2E"));
    EXPECT_EQ(list.size(), 1);
    EXPECT_EQ(discovery.routeOf(QStringLiteral("127.0.0.2")), Route::Port8000);

    take(Route::Module, Loopback3, filled(21));
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.deviceEntries()[1].kind, KindModule);
    EXPECT_EQ(discovery.routeOf(QStringLiteral("127.0.0.3")), Route::Module);
    EXPECT_EQ(found.count(), 2);

    // A source outside 127.0.0.0/8 is not looked at in the loopback scope.
    list.DeviceTimerTimer();
    take(Route::Port8000, Outside, filled(40));
    EXPECT_EQ(list.size(), 2);
}

TEST_F(DiscoveryFixture, KnownDevicesAgeAgainAndFindsWhileATileWaitsComeBackLater) {
    take(Route::Port8000, Loopback2, filled(13));
    // Its tile is not built yet: the next find is dropped, not queued.
    take(Route::Module, Loopback3, filled(21));
    EXPECT_EQ(list.size(), 1);
    list.DeviceTimerTimer();
    take(Route::Module, Loopback3, filled(21));
    EXPECT_EQ(list.size(), 2);

    list.DisconnectTimerTimer();
    list.DisconnectTimerTimer();
    take(Route::Module, Loopback2, filled(20)); // too short: no age reset
    EXPECT_EQ(list.deviceAges()[0], 2);
    take(Route::Port8000, Loopback2, filled(1));
    EXPECT_EQ(list.deviceAges()[0], 0);
    list.flags().listPause = 1;
    take(Route::Ssdp, Loopback3, filled(1)); // dropped while the lists change
    EXPECT_EQ(list.deviceAges()[1], 2);
}

// A MAC that must be resolved arrives later from a worker; one that cannot be learned adds
// nothing, and the device is tried again with its next datagram.
TEST(DiscoveryResolve, AMacFromTheWorkerAddsTheDeviceAndAFailureIsRetried) {
    DeviceList list;
    std::atomic<int> lookups{0};
    auto* resolver = new MacResolver(
        nullptr,
        [&lookups](std::uint32_t, std::stop_token) -> std::optional<std::string> {
            return ++lookups == 1 ? std::nullopt : std::optional<std::string>("00A1B012AB34");
        },
        [](std::uint32_t) { return std::optional<std::string>(); });
    // Real scope, never started: no socket is opened and nothing is sent.
    Discovery discovery(list, DiscoveryOptions{false, 0, 0, 0}, nullptr, resolver);
    resolver->setParent(&discovery);
    QSignalSpy resolved(resolver, &MacResolver::resolved);

    discovery.takeDatagram(Route::Ssdp, Outside, text("upnp_MDL-S2E"));
    discovery.takeDatagram(Route::Ssdp, Outside, text("upnp_MDL-S2E")); // one lookup at a time
    ASSERT_TRUE(resolved.wait(5000));
    EXPECT_EQ(list.size(), 0);

    discovery.takeDatagram(Route::Port8000, Outside, filled(13));
    ASSERT_TRUE(resolved.wait(5000));
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.deviceEntries()[0].key, QStringLiteral("198.18.0.2"));
    EXPECT_EQ(list.deviceEntries()[0].mac, QStringLiteral("00A1B012AB34"));
    EXPECT_EQ(discovery.routeOf(QStringLiteral("198.18.0.2")), Route::Port8000);
    EXPECT_EQ(lookups.load(), 2);
}

quint16 boundPort(const QObject& discovery, const char* name) {
    const auto* socket = discovery.findChild<platform::UdpSocket*>(QString::fromLatin1(name));
    return socket != nullptr ? socket->localPort() : 0;
}

// On real sockets: each listener takes one datagram, then pauses; the rest wait in the socket.
TEST(DiscoverySockets, ListenersTakeOneDatagramPerPauseOnLoopback) {
    DeviceList list;
    Discovery discovery(list, DiscoveryOptions{true, 0, 0, 0});
    discovery.start();
    ASSERT_TRUE(discovery.isListening(Route::Port8000));
    ASSERT_TRUE(discovery.isListening(Route::Ssdp));
    ASSERT_TRUE(discovery.isListening(Route::Module));
    // Searches go out every 2 s on port 8000 and every 1.5 s to the network modules.
    EXPECT_EQ(discovery.findChild<QTimer*>(QStringLiteral("Port8000Search"))->interval(), 2000);
    EXPECT_EQ(discovery.findChild<QTimer*>(QStringLiteral("ModuleSearch"))->interval(), 1500);
    const quint16 port = boundPort(discovery, "port8000Socket");
    auto* socket = discovery.findChild<platform::UdpSocket*>(QStringLiteral("port8000Socket"));
    auto* pause = discovery.findChild<QTimer*>(QStringLiteral("port8000Pause"));
    ASSERT_NE(pause, nullptr);
    EXPECT_EQ(socket->localAddress(), INADDR_LOOPBACK);

    // A device on 127.0.0.2 answers three times at once (a plain socket: no proxy lookup).
    base::UniqueFd device(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in from{AF_INET, 0, {htonl(Loopback2)}, {}};
    ASSERT_EQ(::bind(device.get(), reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
    const sockaddr_in to{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    const std::array<char, 40> answer{};
    for (int i = 0; i < 3; ++i)
        ::sendto(device.get(), answer.data(), answer.size(), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to);
    device.reset();

    QSignalSpy found(&discovery, &Discovery::deviceFound);
    ASSERT_TRUE(found.wait(5000));
    EXPECT_TRUE(pause->isActive());
    EXPECT_EQ(pause->interval(), 20);
    EXPECT_TRUE(socket->hasPendingDatagrams());
    EXPECT_EQ(list.size(), 1);
}

// Listener ports another socket holds: every bind fails, and no descriptor stays behind.
TEST(DiscoverySockets, FailingBindsLeaveNoDescriptorOpen) {
    base::UniqueFd holder(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in local{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    ASSERT_EQ(::bind(holder.get(), reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    socklen_t length = sizeof local;
    ASSERT_EQ(::getsockname(holder.get(), reinterpret_cast<sockaddr*>(&local), &length), 0);
    const std::uint16_t taken = ntohs(local.sin_port);
    DeviceList list;
    const long leaked = tq50r::testing::descriptorsLeakedBy([&] {
        Discovery discovery(list, DiscoveryOptions{true, taken, taken, taken});
        discovery.start();
        EXPECT_FALSE(discovery.isListening(Route::Port8000));
        EXPECT_FALSE(discovery.isListening(Route::Ssdp));
        EXPECT_FALSE(discovery.isListening(Route::Module));
    });
    EXPECT_EQ(leaked, 0);
}

} // namespace
} // namespace tq50r::devices
