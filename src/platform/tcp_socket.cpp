#include "platform/tcp_socket.h"

#include "platform/clock_timer.h"

#include <QSocketNotifier>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <utility>

namespace tq50r::platform {

namespace {

// Read when the socket reports readable but says nothing waits: that read tells a close or an
// error from a spurious wake-up.
constexpr qint64 ProbeReadSize = 4096;

// The toolkit's socket left SIGPIPE ignored for the whole process from its first write on; the
// program keeps that (a write to a closed pipe, such as a closed standard output, fails instead
// of ending it). This socket itself never raises it: it sends with MSG_NOSIGNAL.
void ignoreBrokenPipesOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        (void)::sigaction(SIGPIPE, &ignore, nullptr);
    });
}

} // namespace

TcpSocket::TcpSocket(QObject* parent, TimerClock* clock)
    : QObject(parent), readNotifier_(new QSocketNotifier(QSocketNotifier::Read, this)),
      writeNotifier_(new QSocketNotifier(QSocketNotifier::Write, this)),
      connectTimeout_(new ClockTimer(this, clock)) {
    connect(readNotifier_, &QSocketNotifier::activated, this, &TcpSocket::readable);
    connect(writeNotifier_, &QSocketNotifier::activated, this, [this] {
        if (state_ == State::Connecting) {
            connectFinished();
        } else {
            flush();
        }
    });
    connectTimeout_->setSingleShot(true);
    connectTimeout_->setInterval(ConnectTimeoutMs);
    connect(connectTimeout_, &ClockTimer::timeout, this, [this] {
        if (state_ == State::Connecting) {
            closeSocket(true);
        }
    });
}

TcpSocket::~TcpSocket() {
    // Quietly: nothing is announced while the socket goes.
    closeSocket(true);
}

void TcpSocket::connectToHost(const QString& host, std::uint16_t port) {
    if (state_ != State::Unconnected) {
        return;
    }
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.toLatin1().constData(), &peer.sin_addr) != 1) {
        return;
    }
    base::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        return;
    }
    int result = -1;
    do {
        result = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    } while (result != 0 && errno == EINTR);
    if (result != 0 && errno != EINPROGRESS) {
        return;
    }
    // Even a connect that completed at once is reported from the event loop, by the socket
    // becoming writable.
    fd_ = std::move(fd);
    state_ = State::Connecting;
    received_.clear();
    unsent_.clear();
    readNotifier_->setSocket(fd_.get());
    writeNotifier_->setSocket(fd_.get());
    writeNotifier_->setEnabled(true);
    connectTimeout_->start();
}

void TcpSocket::connectFinished() {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        error = errno;
    }
    if (error == EINPROGRESS || error == EALREADY) {
        return; // not yet
    }
    if (error != 0) {
        closeSocket(true); // refused or unreachable: back to Unconnected, nothing announced
        return;
    }
    connectTimeout_->stop();
    writeNotifier_->setEnabled(false);
    readNotifier_->setEnabled(true);
    state_ = State::Connected;
    emit connected();
}

void TcpSocket::readable() {
    if (state_ != State::Connected) {
        return;
    }
    int waiting = 0;
    if (::ioctl(fd_.get(), FIONREAD, &waiting) != 0) {
        waiting = 0;
    }
    const qint64 wanted = waiting > 0 ? waiting : ProbeReadSize;
    const qint64 before = received_.size();
    received_.resize(before + wanted);
    ssize_t got = -1;
    do {
        got = ::recv(fd_.get(), received_.data() + before, static_cast<std::size_t>(wanted),
                     MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    const bool nothingYet = got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    received_.resize(before + (got > 0 ? got : 0));
    if (got > 0) {
        emit readyRead();
        return;
    }
    if (!nothingYet) {
        lost(); // the peer closed (0) or the connection failed
    }
}

qint64 TcpSocket::read(char* data, qint64 maxSize) {
    if (maxSize < 0) {
        return -1;
    }
    const qint64 count = std::min(maxSize, bytesAvailable());
    std::copy_n(received_.constData(), count, data);
    received_.remove(0, count);
    return count;
}

QByteArray TcpSocket::readAll() {
    return std::exchange(received_, QByteArray());
}

qint64 TcpSocket::write(const char* data, qint64 size) {
    if (state_ != State::Connected || size < 0) {
        return -1;
    }
    ignoreBrokenPipesOnce();
    unsent_.append(data, size);
    flush();
    return size;
}

bool TcpSocket::flush() {
    if (state_ != State::Connected || unsent_.isEmpty()) {
        return false;
    }
    ssize_t sent = -1;
    do {
        sent = ::send(fd_.get(), unsent_.constData(), static_cast<std::size_t>(unsent_.size()),
                      MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        // A connection that cannot be written to is dropped, unread bytes with it.
        abort();
        return false;
    }
    if (sent > 0) {
        unsent_.remove(0, sent);
    }
    // What the socket did not take goes when it can take more.
    writeNotifier_->setEnabled(!unsent_.isEmpty());
    return sent > 0;
}

void TcpSocket::abort() {
    if (closeSocket(true) == State::Connected) {
        emit disconnected();
    }
}

void TcpSocket::lost() {
    if (closeSocket(false) == State::Connected) {
        emit disconnected();
    }
}

TcpSocket::State TcpSocket::closeSocket(bool dropReceived) {
    const State was = state_;
    // The notifiers stop watching before the descriptor closes.
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    connectTimeout_->stop();
    fd_.reset();
    unsent_.clear();
    if (dropReceived) {
        received_.clear();
    }
    state_ = State::Unconnected;
    return was;
}

} // namespace tq50r::platform
