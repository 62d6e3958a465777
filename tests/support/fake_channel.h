#pragma once
// In-memory channels for testing connection logic without ports, sockets or pauses. A test
// double: only tests and benchmarks link it.
#include "transport/transport_channel.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tq50r::transport {

/// The device side of a fake channel. It outlives the channel, so a test can still look at
/// what was written after the code under test has destroyed the channel.
class FakeLink {
public:
    /// Bytes the device "sends"; the channel's read returns them in order.
    void feedReceived(std::span<const std::uint8_t> bytes);
    std::int32_t pendingCount() const { return static_cast<std::int32_t>(received_.size()); }

    /// Every byte written successfully, in order, and the single writes.
    const std::vector<std::uint8_t>& writtenData() const { return written_; }
    const std::vector<std::vector<std::uint8_t>>& writes() const { return writes_; }
    void clearWritten();

    /// A stalled channel accepts nothing: writes return 0 and their bytes wait until
    /// releaseStalled() delivers them.
    void setWritesStalled(bool stalled) { stalled_ = stalled; }
    void releaseStalled();
    /// Writes fail with -1 while set.
    void setWriteError(bool fail) { writeError_ = fail; }
    /// open() leaves the channel closed while set.
    void setOpenFails(bool fail) { openFails_ = fail; }
    /// Reads fail with -1 while set.
    void setReadError(bool fail) { readError_ = fail; }

    bool isOpen() const { return open_; }
    /// Closes the channel from the far side (the device went away).
    void dropConnection() { open_ = false; }
    const std::string& address() const { return address_; }
    int openCount() const { return openCount_; }
    int closeCount() const { return closeCount_; }
    bool channelAlive() const { return channelAlive_; }

private:
    friend class FakeChannel;
    friend class FakeChannelFactory;
    std::deque<std::uint8_t> received_;
    std::vector<std::uint8_t> written_;
    std::vector<std::vector<std::uint8_t>> writes_;
    std::vector<std::uint8_t> stalledBytes_;
    std::string address_;
    bool stalled_ = false;
    bool writeError_ = false;
    bool readError_ = false;
    bool openFails_ = false;
    bool open_ = false;
    bool channelAlive_ = true;
    int openCount_ = 0;
    int closeCount_ = 0;
};

class FakeChannel : public TransportChannel {
public:
    explicit FakeChannel(std::int32_t kind = kSerialChannelKind,
                         std::shared_ptr<FakeLink> link = std::make_shared<FakeLink>());
    ~FakeChannel() override;

    void setAddress(const std::string& text) override;
    std::string address() const override;
    void open() override;
    void close() override;
    std::int32_t write(const std::uint8_t* bytes, std::int32_t count) override;
    std::int32_t read(std::uint8_t* buffer, std::int32_t count) override;
    bool isOpen() const override;

    FakeLink& link() const { return *link_; }
    std::shared_ptr<FakeLink> sharedLink() const { return link_; }

private:
    std::shared_ptr<FakeLink> link_;
};

/// Makes FakeChannels and keeps the link of each one it made, oldest first.
class FakeChannelFactory : public ChannelFactory {
public:
    std::unique_ptr<TransportChannel> createSerialChannel() override;
    std::unique_ptr<TransportChannel> createTcpChannel() override;

    const std::vector<std::shared_ptr<FakeLink>>& links() const { return links_; }
    /// The link of the newest channel; nullptr before the first one.
    std::shared_ptr<FakeLink> lastLink() const;
    /// Settings every new link starts with (open failures, write errors, ...).
    FakeLink& linkTemplate() { return template_; }

private:
    std::unique_ptr<TransportChannel> make(std::int32_t kind);

    std::vector<std::shared_ptr<FakeLink>> links_;
    FakeLink template_;
};

} // namespace tq50r::transport
