#include "transport/channel_factory.h"

#include "transport/serial_channel.h"
#include "transport/tcp_channel.h"

namespace tq50r::transport {

ComponentChannelFactory::ComponentChannelFactory(TComPort& serialPort, ClientSocket& socket,
                                                 PauseFn pause)
    : serialPort_(serialPort), socket_(socket), pause_(std::move(pause)) {}

std::unique_ptr<TransportChannel> ComponentChannelFactory::createSerialChannel() {
    return std::make_unique<SerialChannel>(serialPort_, pause_);
}

std::unique_ptr<TransportChannel> ComponentChannelFactory::createTcpChannel() {
    return std::make_unique<TcpChannel>(socket_, pause_);
}

} // namespace tq50r::transport
