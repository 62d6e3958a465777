// Network discovery: the port-8000 socket with its search sender and listener, the SSDP listener
// and the module search sender and listener. Everything runs on the GUI thread: each listener
// takes at most one datagram per pause, the rest wait in the socket's buffer, so the device lists
// and their flags are only ever touched by one thread.
#pragma once

#include "devices/datagram_rules.h"
#include "devices/device_list.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

class QTimer;

namespace tq50r::platform {
class UdpSocket;
} // namespace tq50r::platform

namespace tq50r::devices {

class MacResolver;

struct DiscoveryOptions {
    // Loopback scope: every socket binds 127.0.0.1, searches go to 127.255.255.255 and
    // datagrams from outside 127.0.0.0/8 are ignored; no multicast group is joined.
    bool loopback = false;
    // Where the listeners bind (and the searches go). 0 binds any free port, which hears no
    // device: for tests that need the window but not the discovery.
    std::uint16_t port8000 = 8000;
    std::uint16_t ssdpPort = 1900;
    std::uint16_t modulePort = 48899;
};

class Discovery : public QObject {
    Q_OBJECT
public:
    static constexpr const char* SsdpGroup = "239.255.255.250";
    static constexpr const char* LoopbackBroadcast = "127.255.255.255";

    // `resolver` defaults to one of its own.
    Discovery(DeviceList& devices, const DiscoveryOptions& options, QObject* parent = nullptr,
              MacResolver* resolver = nullptr);
    ~Discovery() override;

    // Opens the sockets and starts the two senders. A route whose socket cannot be bound or
    // whose group cannot be joined stays silent; the others go on.
    void start();
    bool isListening(Route route) const;
    const DiscoveryOptions& options() const { return options_; }

    // The senders' ticks.
    void Port8000SearchTimer();
    void ModuleSearchTimer();

    // One datagram as its listener takes it; returns the pause before the listener takes the
    // next one.
    int takeDatagram(Route route, std::uint32_t source, std::span<const std::uint8_t> data);

    // The route that found the device with this key first, while the program runs.
    std::optional<Route> routeOf(const QString& key) const;

signals:
    void deviceFound(int index, tq50r::devices::Route route);

private:
    struct Listener {
        Route route = Route::Port8000;
        std::size_t readSize = 0;
        platform::UdpSocket* socket = nullptr;
        QTimer* pause = nullptr;
    };
    // A UDP socket bound to the scope's address and `port` (0: any), broadcasts allowed;
    // `shared` lets other sockets bind the same port. Null when it cannot be bound.
    platform::UdpSocket* openSocket(const QString& name, std::uint16_t port, bool shared);
    Listener& listener(Route route);
    void openListener(Route route, std::uint16_t port);
    void readNext(Listener& l);
    void add(const QString& key, const QString& mac, Route route);
    void macResolved(quint32 address, const QString& mac);
    void sendSearch(platform::UdpSocket* socket, std::span<const std::uint8_t> bytes,
                    std::uint16_t port);
    bool joinSsdpGroup(platform::UdpSocket& socket);

    DeviceList& devices_;
    DiscoveryOptions options_;
    MacResolver* resolver_;
    std::array<Listener, 3> listeners_;
    platform::UdpSocket* moduleSender_ = nullptr;
    QTimer* port8000Search_ = nullptr;
    QTimer* moduleSearch_ = nullptr;
    // Sources whose MAC is being learned, with the route that heard them.
    QHash<std::uint32_t, Route> pendingFinds_;
    // Lower-case key -> first route.
    QHash<QString, Route> routes_;
};

} // namespace tq50r::devices
