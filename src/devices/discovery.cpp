#include "devices/discovery.h"

#include "base/unique_fd.h"
#include "devices/mac_resolver.h"
#include "platform/host_addresses.h"
#include "platform/mac_lookup.h"
#include "platform/network_scope.h"
#include "platform/udp_socket.h"

#include <QTimer>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tq50r::devices {

namespace {

std::size_t slot(Route route) {
    return static_cast<std::size_t>(route);
}

std::size_t readSizeOf(Route route) {
    switch (route) {
    case Route::Ssdp:
        return datagram::SsdpReadSize;
    case Route::Module:
        return datagram::ModuleReadSize;
    default:
        return datagram::Port8000ReadSize;
    }
}

std::span<const std::uint8_t> bytesOf(const char* text, std::size_t size) {
    return {reinterpret_cast<const std::uint8_t*>(text), size};
}

} // namespace

Discovery::Discovery(DeviceList& devices, const DiscoveryOptions& options, QObject* parent,
                     MacResolver* resolver)
    : QObject(parent), devices_(devices), options_(options),
      resolver_(resolver != nullptr ? resolver : new MacResolver(this)) {
    setObjectName(QStringLiteral("Discovery"));
    connect(resolver_, &MacResolver::resolved, this, &Discovery::macResolved);
    for (const Route route : {Route::Port8000, Route::Ssdp, Route::Module}) {
        Listener& l = listener(route);
        l.route = route;
        l.readSize = readSizeOf(route);
        l.pause = new QTimer(this);
        l.pause->setObjectName(QString::fromLatin1(routeName(route).data()) +
                               QStringLiteral("Pause"));
        l.pause->setSingleShot(true);
        connect(l.pause, &QTimer::timeout, this, [this, route] { readNext(listener(route)); });
    }
    port8000Search_ = new QTimer(this);
    port8000Search_->setObjectName(QStringLiteral("Port8000Search"));
    port8000Search_->setInterval(datagram::SearchIntervalMs);
    connect(port8000Search_, &QTimer::timeout, this, &Discovery::Port8000SearchTimer);
    moduleSearch_ = new QTimer(this);
    moduleSearch_->setObjectName(QStringLiteral("ModuleSearch"));
    moduleSearch_->setInterval(datagram::ModuleSearchIntervalMs);
    connect(moduleSearch_, &QTimer::timeout, this, &Discovery::ModuleSearchTimer);
}

Discovery::~Discovery() = default;

platform::UdpSocket* Discovery::openSocket(const QString& name, std::uint16_t port, bool shared) {
    base::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd)
        return nullptr;
    const int one = 1;
    (void)::setsockopt(fd.get(), SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    if (shared)
        (void)::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(options_.loopback ? INADDR_LOOPBACK : INADDR_ANY);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return nullptr;
    auto* socket = new platform::UdpSocket(std::move(fd), this);
    socket->setObjectName(name);
    return socket;
}

Discovery::Listener& Discovery::listener(Route route) {
    return listeners_[slot(route)];
}

bool Discovery::isListening(Route route) const {
    return route != Route::Serial && listeners_[slot(route)].socket != nullptr;
}

void Discovery::start() {
    if (platform::loopbackOnlyProcess())
        options_.loopback = true;
    openListener(Route::Port8000, options_.port8000);
    openListener(Route::Ssdp, options_.ssdpPort);
    openListener(Route::Module, options_.modulePort);
    moduleSender_ = openSocket(QStringLiteral("ModuleSender"), 0, false);
    Port8000SearchTimer();
    ModuleSearchTimer();
    port8000Search_->start();
    moduleSearch_->start();
}

void Discovery::openListener(Route route, std::uint16_t port) {
    // SSDP shares its port with every other listener of the group on this computer.
    platform::UdpSocket* socket =
        openSocket(QString::fromLatin1(routeName(route).data()) + QStringLiteral("Socket"), port,
                   route == Route::Ssdp);
    if (socket == nullptr)
        return;
    if (route == Route::Ssdp && !options_.loopback && !joinSsdpGroup(*socket)) {
        delete socket;
        return;
    }
    listener(route).socket = socket;
    connect(socket, &platform::UdpSocket::readyRead, this, [this, route] {
        Listener& ready = listener(route);
        if (!ready.pause->isActive())
            readNext(ready);
    });
}

bool Discovery::joinSsdpGroup(platform::UdpSocket& socket) {
    const std::optional<std::uint32_t> host = platform::firstHostIpv4();
    if (!host)
        return false;
    ip_mreq request{};
    ::inet_pton(AF_INET, SsdpGroup, &request.imr_multiaddr);
    request.imr_interface.s_addr = htonl(*host);
    return ::setsockopt(socket.descriptor(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &request,
                        sizeof request) == 0;
}

void Discovery::readNext(Listener& l) {
    if (l.socket == nullptr || !l.socket->hasPendingDatagrams())
        return;
    std::array<std::uint8_t, datagram::SsdpReadSize> buffer{};
    std::uint32_t source = 0;
    const qint64 size = l.socket->readDatagram(reinterpret_cast<char*>(buffer.data()),
                                               static_cast<qint64>(l.readSize), &source);
    int pauseMs = 0;
    if (size >= 0)
        pauseMs = takeDatagram(
            l.route, source,
            std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(size)));
    l.pause->start(pauseMs);
}

int Discovery::takeDatagram(Route route, std::uint32_t source, std::span<const std::uint8_t> data) {
    if (!datagram::sourceAccepted(source, options_.loopback))
        return datagram::judge(route, {}, false, false).pauseMs;
    const QString key = QString::fromStdString(platform::ipv4Text(source));
    const int index = devices_.indexOfKey(key);
    const datagram::Verdict verdict =
        datagram::judge(route, data, index >= 0, devices_.flags().listPause != 0);
    switch (verdict.action) {
    case datagram::Action::ResetAge:
        devices_.resetAge(index);
        break;
    case datagram::Action::Find:
        if (pendingFinds_.contains(source))
            break;
        if (const std::optional<QString> mac = resolver_->request(source))
            add(key, *mac, route);
        else if (resolver_->isPending(source))
            pendingFinds_.insert(source, route);
        break;
    case datagram::Action::Ignore:
        break;
    }
    return verdict.pauseMs;
}

void Discovery::macResolved(quint32 address, const QString& mac) {
    const auto found = pendingFinds_.constFind(address);
    if (found == pendingFinds_.constEnd())
        return;
    const Route route = *found;
    pendingFinds_.erase(found);
    // No MAC, no device: it is tried again with its next datagram.
    if (!mac.isEmpty())
        add(QString::fromStdString(platform::ipv4Text(address)), mac, route);
}

void Discovery::add(const QString& key, const QString& mac, Route route) {
    if (devices_.containsKey(key))
        return;
    const std::int32_t kind = route == Route::Module ? KindModule : KindNetwork;
    if (!devices_.addDevice(key, mac, kind))
        return;
    const QString lower = key.toLower();
    if (!routes_.contains(lower))
        routes_.insert(lower, route);
    emit deviceFound(devices_.size() - 1, route);
}

std::optional<Route> Discovery::routeOf(const QString& key) const {
    const auto found = routes_.constFind(key.toLower());
    if (found == routes_.constEnd())
        return std::nullopt;
    return *found;
}

void Discovery::sendSearch(platform::UdpSocket* socket, std::span<const std::uint8_t> bytes,
                           std::uint16_t port) {
    if (socket == nullptr || port == 0)
        return;
    // Nothing of the loopback scope ever leaves 127.0.0.0/8.
    in_addr target{};
    target.s_addr = htonl(INADDR_BROADCAST);
    if (options_.loopback)
        ::inet_pton(AF_INET, LoopbackBroadcast, &target);
    socket->writeDatagram(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qint64>(bytes.size()), ntohl(target.s_addr), port);
}

void Discovery::Port8000SearchTimer() {
    sendSearch(listener(Route::Port8000).socket, datagram::Port8000Search, options_.port8000);
}

void Discovery::ModuleSearchTimer() {
    sendSearch(moduleSender_, bytesOf(datagram::ModuleSearch, datagram::ModuleSearchSize),
               options_.modulePort);
}

} // namespace tq50r::devices
