#pragma once
#include "platform/tcp_socket.h"
#include "transport/transport_channel.h"

#include <QString>

namespace tq50r::transport {

/// The TCP client socket component: a TCP socket that also keeps the host and port it will
/// connect to, and whether it has been activated. Socket errors are swallowed: nothing is raised
/// or shown, and a failure surfaces only as a reply that never comes.
class ClientSocket : public platform::TcpSocket {
    Q_OBJECT
public:
    explicit ClientSocket(QObject* parent = nullptr);
    ~ClientSocket() override;

    QString Host() const { return host_; }
    void setHost(const QString& host) { host_ = host; }
    quint16 Port() const { return port_; }
    void setPort(quint16 port) { port_ = port; }
    /// True from Activate() until Deactivate() or until an established connection ends.
    bool Active() const { return active_; }
    /// Starts a non-blocking connect to Host:Port; the `connected` signal reports completion.
    void Activate();
    void Deactivate();
    /// Bytes received and not yet read.
    qint64 pendingCount() const { return bytesAvailable(); }

private:
    QString host_;
    quint16 port_ = 0;
    bool active_ = false;
    QMetaObject::Connection disconnectedWatch_;
};

/// A channel over the TCP client socket component.
class TcpChannel : public TransportChannel {
public:
    /// The two pauses after every write.
    static constexpr std::chrono::milliseconds kFirstWritePause{3};
    static constexpr std::chrono::milliseconds kSecondWritePause{15};

    explicit TcpChannel(ClientSocket& socket, PauseFn pause = {});

    /// "host:port": split at the first ":"; the port is decimal (0 when it does not parse).
    void setAddress(const std::string& text) override;
    std::string address() const override;
    void open() override;
    void close() override;
    /// -1 while the socket is not connected; data is never queued for a later connect.
    std::int32_t write(const std::uint8_t* bytes, std::int32_t count) override;
    std::int32_t read(std::uint8_t* buffer, std::int32_t count) override;
    bool isOpen() const override;

    ClientSocket& component() const { return socket_; }

private:
    ClientSocket& socket_;
    PauseFn pause_;
};

} // namespace tq50r::transport
