#pragma once
#include <cstdint>

namespace tq50r::transport {

class TransportChannel;

/// Writes the fixed requests of the connection logic on the current channel (not owned).
class RequestSender {
public:
    explicit RequestSender(TransportChannel& channel) : channel_(channel) {}

    /// Each is one write; the write's result is returned.
    std::int32_t sendPoll();
    std::int32_t sendConnectRequest();
    /// 150 zero bytes.
    std::int32_t sendZeroBlock();

    TransportChannel& channel() const { return channel_; }

private:
    TransportChannel& channel_;
};

} // namespace tq50r::transport
