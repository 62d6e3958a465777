#pragma once
// The byte channel to the current device, whichever way it is reached.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace tq50r::transport {

inline constexpr std::int32_t kSerialChannelKind = 0;
inline constexpr std::int32_t kTcpChannelKind = 1;

/// Waits a fixed time after a write. Tests replace it to see the pauses without waiting.
using PauseFn = std::function<void(std::chrono::milliseconds)>;

/// Longest pause the default pause function will ever sleep, whatever it is asked for.
inline constexpr std::chrono::milliseconds kMaxPause{1000};
/// Sleeps the calling thread for `duration`, capped at kMaxPause.
void sleepPause(std::chrono::milliseconds duration);
/// `pause`, or sleepPause when it is empty.
inline PauseFn pauseOrSleep(PauseFn pause) {
    return pause ? std::move(pause) : PauseFn(sleepPause);
}

/// A channel never owns or closes its component; destroying it leaves the component as it is.
class TransportChannel {
public:
    explicit TransportChannel(std::int32_t kind) : channelKind_(kind) {}
    virtual ~TransportChannel() = default;
    TransportChannel(const TransportChannel&) = delete;
    TransportChannel& operator=(const TransportChannel&) = delete;

    std::int32_t channelKind() const { return channelKind_; }

    virtual void setAddress(const std::string& text) = 0;
    virtual std::string address() const = 0;
    virtual void open() = 0;
    virtual void close() = 0;
    /// Bytes written, or -1.
    virtual std::int32_t write(const std::uint8_t* bytes, std::int32_t count) = 0;
    /// Bytes read, at most `count`.
    virtual std::int32_t read(std::uint8_t* buffer, std::int32_t count) = 0;
    virtual bool isOpen() const = 0;

private:
    std::int32_t channelKind_;
};

/// Makes the channels the connection logic uses, so that tests can hand it fakes.
class ChannelFactory {
public:
    virtual ~ChannelFactory() = default;
    virtual std::unique_ptr<TransportChannel> createSerialChannel() = 0;
    virtual std::unique_ptr<TransportChannel> createTcpChannel() = 0;
};

} // namespace tq50r::transport
