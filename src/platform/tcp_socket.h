// A TCP client socket on the event loop (IPv4), with what the program asks of one: a connect that
// does not wait, buffered reads announced by readyRead, writes that never block, and the
// connected and disconnected signals, with the toolkit socket's rules:
//  - connected() always comes from the event loop, never from inside connectToHost();
//  - a refused, failed or timed-out attempt only goes back to Unconnected: disconnected() is for
//    connections that were established, when the peer ends them, on a read or write error, or
//    on abort();
//  - bytes received before the peer closed stay readable after disconnected(); abort() drops
//    unread and unsent bytes.
//
// The program's own small socket, so that it needs no network library of the toolkit (see
// udp_socket.h).
#pragma once

#include "base/unique_fd.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QtGlobal>
#include <cstdint>

class QSocketNotifier;

namespace tq50r::platform {

class ClockTimer;
class TimerClock;

class TcpSocket : public QObject {
    Q_OBJECT
public:
    enum class State { Unconnected, Connecting, Connected };
    // An attempt that has not connected after this long is given up.
    static constexpr int ConnectTimeoutMs = 30000;

    // `clock` drives the connect timeout (the event loop's when none is given).
    explicit TcpSocket(QObject* parent = nullptr, TimerClock* clock = nullptr);
    ~TcpSocket() override;

    State state() const { return state_; }

    // Starts connecting to `host`, a dotted IPv4 address (as every device key is), without
    // waiting. Ignored unless the socket is Unconnected; a host that is no such address fails at
    // once.
    void connectToHost(const QString& host, std::uint16_t port);
    // Closes the socket at once.
    void abort();

    // Received bytes not read yet.
    qint64 bytesAvailable() const { return static_cast<qint64>(received_.size()); }
    // Up to maxSize received bytes: the bytes read (0 when none waits), -1 for a bad size.
    qint64 read(char* data, qint64 maxSize);
    QByteArray readAll();

    // Takes the bytes for sending while connected and sends as much as the socket takes now; the
    // rest follows as the socket takes it. The bytes taken, or -1 when not connected.
    qint64 write(const char* data, qint64 size);
    // Sends what waits as far as the socket takes it now; true when anything was sent.
    bool flush();

signals:
    void connected();
    void disconnected();
    void readyRead();

private:
    void connectFinished();
    void readable();
    // Closes the descriptor and drops what waits to be sent (and, when `dropReceived`, what was
    // received); returns the state it had.
    State closeSocket(bool dropReceived);
    // After a read or write error or the peer's close: Unconnected, disconnected() if it was
    // connected.
    void lost();

    base::UniqueFd fd_;
    State state_ = State::Unconnected;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    ClockTimer* connectTimeout_ = nullptr;
    QByteArray received_;
    QByteArray unsent_;
};

} // namespace tq50r::platform
