#include "platform/udp_socket.h"

#include <QSocketNotifier>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tq50r::platform {

namespace {

bool boundAddress(int fd, sockaddr_in& local) {
    socklen_t length = sizeof local;
    return ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
           local.sin_family == AF_INET;
}

} // namespace

UdpSocket::UdpSocket(base::UniqueFd fd, QObject* parent) : QObject(parent), fd_(std::move(fd)) {
    if (!fd_) {
        return;
    }
    notifier_ = new QSocketNotifier(fd_.get(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        // Quiet until a datagram is read (see the header).
        notifier_->setEnabled(false);
        emit readyRead();
    });
}

UdpSocket::~UdpSocket() {
    // The notifier goes before the descriptor it watches.
    delete notifier_;
    notifier_ = nullptr;
}

std::uint32_t UdpSocket::localAddress() const {
    sockaddr_in local{};
    return boundAddress(fd_.get(), local) ? ntohl(local.sin_addr.s_addr) : 0;
}

std::uint16_t UdpSocket::localPort() const {
    sockaddr_in local{};
    return boundAddress(fd_.get(), local) ? ntohs(local.sin_port) : 0;
}

bool UdpSocket::hasPendingDatagrams() const {
    if (!fd_) {
        return false;
    }
    char c = 0;
    ssize_t peeked = -1;
    do {
        peeked = ::recv(fd_.get(), &c, 1, MSG_PEEK | MSG_DONTWAIT);
    } while (peeked < 0 && errno == EINTR);
    // An empty datagram peeks as 0 bytes: it waits all the same.
    return peeked >= 0;
}

qint64 UdpSocket::readDatagram(char* data, qint64 maxSize, std::uint32_t* sender) {
    if (!fd_ || maxSize < 0) {
        return -1;
    }
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t read = -1;
    do {
        read = ::recvfrom(fd_.get(), data, static_cast<std::size_t>(maxSize), MSG_DONTWAIT,
                          reinterpret_cast<sockaddr*>(&from), &length);
    } while (read < 0 && errno == EINTR);
    // The next datagram (if any) is announced again.
    if (notifier_ != nullptr) {
        notifier_->setEnabled(true);
    }
    if (read < 0) {
        return -1;
    }
    if (sender != nullptr) {
        *sender = from.sin_family == AF_INET ? ntohl(from.sin_addr.s_addr) : 0;
    }
    return static_cast<qint64>(read);
}

qint64 UdpSocket::writeDatagram(const char* data, qint64 size, std::uint32_t address,
                                std::uint16_t port) {
    if (!fd_ || size < 0) {
        return -1;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    ssize_t sent = -1;
    do {
        sent = ::sendto(fd_.get(), data, static_cast<std::size_t>(size), MSG_DONTWAIT,
                        reinterpret_cast<const sockaddr*>(&to), sizeof to);
    } while (sent < 0 && errno == EINTR);
    return sent < 0 ? -1 : static_cast<qint64>(sent);
}

} // namespace tq50r::platform
