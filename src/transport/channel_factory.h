#pragma once
#include "transport/transport_channel.h"

namespace tq50r::transport {

class TComPort;
class ClientSocket;

/// Makes real channels over the window's serial port and TCP client socket.
class ComponentChannelFactory : public ChannelFactory {
public:
    ComponentChannelFactory(TComPort& serialPort, ClientSocket& socket, PauseFn pause = {});

    std::unique_ptr<TransportChannel> createSerialChannel() override;
    std::unique_ptr<TransportChannel> createTcpChannel() override;

private:
    TComPort& serialPort_;
    ClientSocket& socket_;
    PauseFn pause_;
};

} // namespace tq50r::transport
