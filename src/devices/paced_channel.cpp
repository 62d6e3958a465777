#include "devices/paced_channel.h"

#include "protocol/frames.h"
#include "transport/serial_channel.h"
#include "transport/tcp_channel.h"

#include <algorithm>

namespace tq50r::devices {

namespace {

using Bytes = std::vector<std::uint8_t>;

// The command byte of a frame; -1 for bytes without a frame header.
int commandOf(const Bytes& bytes) {
    if (bytes.size() < protocol::MinFrameSize ||
        !std::equal(protocol::FrameHeader.begin(), protocol::FrameHeader.end(), bytes.begin()))
        return -1;
    return bytes[protocol::CommandOffset];
}

// Whether a waiting frame may be dropped for `newer`: the same band's Band frame, or a Trim.
bool supersedes(const Bytes& newer, const Bytes& waiting) {
    const int command = commandOf(newer);
    if (command != commandOf(waiting))
        return false;
    if (command == static_cast<int>(protocol::CommandCode::Trim))
        return true;
    return command == static_cast<int>(protocol::CommandCode::Band) &&
           newer.size() > protocol::BandNumberOffset &&
           waiting.size() > protocol::BandNumberOffset &&
           newer[protocol::BandNumberOffset] == waiting[protocol::BandNumberOffset];
}

} // namespace

std::chrono::milliseconds channelPause(std::int32_t channelKind) {
    if (channelKind == transport::kTcpChannelKind)
        return transport::TcpChannel::kFirstWritePause + transport::TcpChannel::kSecondWritePause;
    return transport::SerialChannel::kWritePause;
}

PacedChannel::PacedChannel(std::unique_ptr<transport::TransportChannel> inner, QObject* parent)
    : QObject(parent), TransportChannel(inner->channelKind()), inner_(std::move(inner)),
      pause_(channelPause(channelKind())), paceTimer_(new QTimer(this)) {
    paceTimer_->setObjectName(QStringLiteral("PaceTimer"));
    paceTimer_->setSingleShot(true);
    paceTimer_->setInterval(pause_);
    connect(paceTimer_, &QTimer::timeout, this, &PacedChannel::PaceTimerTimer);
}

PacedChannel::~PacedChannel() {
    paceTimer_->stop();
}

void PacedChannel::open() {
    waiting_.clear();
    inner_->open();
}

void PacedChannel::close() {
    waiting_.clear();
    inner_->close();
}

std::int32_t PacedChannel::write(const std::uint8_t* bytes, std::int32_t count) {
    if (count < 0)
        return -1;
    Bytes frame(bytes, bytes + count);
    if (!paceTimer_->isActive())
        return writeNow(frame);
    const auto older = std::find_if(waiting_.begin(), waiting_.end(),
                                    [&frame](const Bytes& w) { return supersedes(frame, w); });
    if (older != waiting_.end())
        *older = std::move(frame);
    else
        waiting_.push_back(std::move(frame));
    return count;
}

void PacedChannel::PaceTimerTimer() {
    paceTimer_->stop();
    if (waiting_.empty())
        return;
    const Bytes next = std::move(waiting_.front());
    waiting_.pop_front();
    writeNow(next);
}

std::int32_t PacedChannel::writeNow(const Bytes& bytes) {
    const std::int32_t written =
        inner_->write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    paceTimer_->start();
    if (written < 0)
        emit writeFailed(commandOf(bytes));
    return written;
}

} // namespace tq50r::devices
