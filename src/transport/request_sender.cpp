#include "transport/request_sender.h"

#include "protocol/frames.h"
#include "transport/transport_channel.h"

#include <array>

namespace tq50r::transport {

namespace {
constexpr std::array<std::uint8_t, protocol::ZeroPreambleSize> kZeroBlock{};

std::int32_t sendRequest(TransportChannel& channel, protocol::CommandCode code) {
    const protocol::RequestFrame frame = protocol::buildRequest(code);
    return channel.write(frame.data(), static_cast<std::int32_t>(frame.size()));
}
} // namespace

std::int32_t RequestSender::sendPoll() {
    return sendRequest(channel_, protocol::CommandCode::Poll);
}

std::int32_t RequestSender::sendConnectRequest() {
    return sendRequest(channel_, protocol::CommandCode::Connect);
}

std::int32_t RequestSender::sendZeroBlock() {
    return channel_.write(kZeroBlock.data(), static_cast<std::int32_t>(kZeroBlock.size()));
}

} // namespace tq50r::transport
