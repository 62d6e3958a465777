// A datagram socket on the event loop (IPv4): readyRead when a datagram waits, and reads and
// writes of whole datagrams. Like the toolkit's UDP socket it announces waiting datagrams once:
// readyRead comes again only after a datagram has been read, so that datagrams a reader leaves in
// the socket on purpose (to pace itself) do not keep the event loop busy.
//
// The program's own small socket, so that it needs no network library of the toolkit: loading
// and relocating that library and the ones it pulls in (Kerberos, proxy lookup) cost the
// start-up more than the sockets ever do.
#pragma once

#include "base/unique_fd.h"

#include <QObject>
#include <QtGlobal>
#include <cstdint>

class QSocketNotifier;

namespace tq50r::platform {

class UdpSocket : public QObject {
    Q_OBJECT
public:
    // Takes over `fd`: a bound, non-blocking IPv4 datagram socket.
    explicit UdpSocket(base::UniqueFd fd, QObject* parent = nullptr);
    ~UdpSocket() override;

    int descriptor() const { return fd_.get(); }
    // Where the socket is bound: the address in host order and the port; 0 when unknown.
    std::uint32_t localAddress() const;
    std::uint16_t localPort() const;

    bool hasPendingDatagrams() const;
    // Takes the next datagram, cut to maxSize bytes: the bytes read, or -1 when none waits (or on
    // an error). `sender`, when given, receives the source's IPv4 address in host order.
    qint64 readDatagram(char* data, qint64 maxSize, std::uint32_t* sender = nullptr);
    // Sends one datagram to address:port (address in host order): the bytes sent, or -1.
    qint64 writeDatagram(const char* data, qint64 size, std::uint32_t address, std::uint16_t port);

signals:
    void readyRead();

private:
    base::UniqueFd fd_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace tq50r::platform
