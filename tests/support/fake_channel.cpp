#include "support/fake_channel.h"

#include <algorithm>

namespace tq50r::transport {

void FakeLink::feedReceived(std::span<const std::uint8_t> bytes) {
    received_.insert(received_.end(), bytes.begin(), bytes.end());
}

void FakeLink::clearWritten() {
    written_.clear();
    writes_.clear();
}

void FakeLink::releaseStalled() {
    if (!stalledBytes_.empty()) {
        written_.insert(written_.end(), stalledBytes_.begin(), stalledBytes_.end());
        writes_.push_back(stalledBytes_);
        stalledBytes_.clear();
    }
}

FakeChannel::FakeChannel(std::int32_t kind, std::shared_ptr<FakeLink> link)
    : TransportChannel(kind), link_(std::move(link)) {
    link_->channelAlive_ = true;
}

FakeChannel::~FakeChannel() {
    link_->channelAlive_ = false;
}

void FakeChannel::setAddress(const std::string& text) {
    link_->address_ = text;
}

std::string FakeChannel::address() const {
    return link_->address_;
}

void FakeChannel::open() {
    ++link_->openCount_;
    if (!link_->openFails_) {
        link_->open_ = true;
    }
}

void FakeChannel::close() {
    ++link_->closeCount_;
    link_->open_ = false;
}

std::int32_t FakeChannel::write(const std::uint8_t* bytes, std::int32_t count) {
    if (link_->writeError_ || count < 0) {
        return -1;
    }
    const std::vector<std::uint8_t> data(bytes, bytes + count);
    if (link_->stalled_) {
        link_->stalledBytes_.insert(link_->stalledBytes_.end(), data.begin(), data.end());
        return 0;
    }
    link_->written_.insert(link_->written_.end(), data.begin(), data.end());
    link_->writes_.push_back(data);
    return count;
}

std::int32_t FakeChannel::read(std::uint8_t* buffer, std::int32_t count) {
    if (link_->readError_) {
        return -1;
    }
    const auto n = std::min<std::size_t>(static_cast<std::size_t>(std::max(count, 0)),
                                         link_->received_.size());
    std::copy_n(link_->received_.begin(), n, buffer);
    link_->received_.erase(link_->received_.begin(),
                           link_->received_.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<std::int32_t>(n);
}

bool FakeChannel::isOpen() const {
    return link_->open_;
}

std::unique_ptr<TransportChannel> FakeChannelFactory::make(std::int32_t kind) {
    auto link = std::make_shared<FakeLink>();
    link->stalled_ = template_.stalled_;
    link->writeError_ = template_.writeError_;
    link->readError_ = template_.readError_;
    link->openFails_ = template_.openFails_;
    links_.push_back(link);
    return std::make_unique<FakeChannel>(kind, std::move(link));
}

std::unique_ptr<TransportChannel> FakeChannelFactory::createSerialChannel() {
    return make(kSerialChannelKind);
}

std::unique_ptr<TransportChannel> FakeChannelFactory::createTcpChannel() {
    return make(kTcpChannelKind);
}

std::shared_ptr<FakeLink> FakeChannelFactory::lastLink() const {
    return links_.empty() ? nullptr : links_.back();
}

} // namespace tq50r::transport
