#include "transport/tcp_channel.h"

#include <limits>

namespace tq50r::transport {

ClientSocket::ClientSocket(QObject* parent) : platform::TcpSocket(parent) {
    disconnectedWatch_ =
        connect(this, &platform::TcpSocket::disconnected, this, [this] { active_ = false; });
}

ClientSocket::~ClientSocket() {
    // The watch uses this part, which is gone before the base socket is.
    disconnect(disconnectedWatch_);
}

void ClientSocket::Activate() {
    // Dropping an established connection reports a disconnect, which clears the active state;
    // the new attempt is active from here on.
    abort();
    active_ = true;
    connectToHost(host_, port_);
}

void ClientSocket::Deactivate() {
    active_ = false;
    abort();
}

TcpChannel::TcpChannel(ClientSocket& socket, PauseFn pause)
    : TransportChannel(kTcpChannelKind), socket_(socket), pause_(pauseOrSleep(std::move(pause))) {}

void TcpChannel::setAddress(const std::string& text) {
    const auto colon = text.find(':');
    const std::string host = text.substr(0, colon);
    quint16 port = 0;
    if (colon != std::string::npos) {
        bool ok = false;
        const uint value = QString::fromStdString(text.substr(colon + 1)).toUInt(&ok, 10);
        if (ok && value <= std::numeric_limits<quint16>::max()) {
            port = static_cast<quint16>(value);
        }
    }
    socket_.setHost(QString::fromStdString(host));
    socket_.setPort(port);
}

std::string TcpChannel::address() const {
    return socket_.Host().toStdString() + ":" + std::to_string(socket_.Port());
}

void TcpChannel::open() {
    socket_.Activate();
}

void TcpChannel::close() {
    socket_.Deactivate();
}

std::int32_t TcpChannel::write(const std::uint8_t* bytes, std::int32_t count) {
    std::int32_t result = -1;
    if (socket_.state() == platform::TcpSocket::State::Connected) {
        const qint64 sent = socket_.write(reinterpret_cast<const char*>(bytes), count);
        socket_.flush();
        result = static_cast<std::int32_t>(sent);
    }
    pause_(kFirstWritePause);
    pause_(kSecondWritePause);
    return result;
}

std::int32_t TcpChannel::read(std::uint8_t* buffer, std::int32_t count) {
    if (count <= 0) {
        return 0;
    }
    return static_cast<std::int32_t>(socket_.read(reinterpret_cast<char*>(buffer), count));
}

bool TcpChannel::isOpen() const {
    return socket_.Active();
}

} // namespace tq50r::transport
