// The current channel as the rest of the program writes to it: every write goes through a send
// queue that a timer drains, one frame per channel pause (20 ms serial, 18 ms TCP), so the device
// is paced as it expects while the GUI thread never sleeps.
//
// A Band frame still waiting is replaced in its place by a newer one for the same band, and a Trim
// frame by a newer Trim: a fast drag or a held trim button never builds a backlog, and the device
// always ends at the last value. Every other write goes out exactly as it was queued.
#pragma once

#include "transport/transport_channel.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace tq50r::devices {

// The pause after each write, by channel kind.
std::chrono::milliseconds channelPause(std::int32_t channelKind);

class PacedChannel : public QObject, public transport::TransportChannel {
    Q_OBJECT
public:
    PacedChannel(std::unique_ptr<transport::TransportChannel> inner, QObject* parent = nullptr);
    ~PacedChannel() override;

    void setAddress(const std::string& text) override { inner_->setAddress(text); }
    std::string address() const override { return inner_->address(); }
    // Opening or closing drops what still waits: it belonged to the connection that is gone.
    void open() override;
    void close() override;
    // Written at once when the line is free, else queued. The count is the inner channel's result
    // for a write done at once, `count` for a queued one; a failure is reported by writeFailed.
    std::int32_t write(const std::uint8_t* bytes, std::int32_t count) override;
    std::int32_t read(std::uint8_t* buffer, std::int32_t count) override {
        return inner_->read(buffer, count);
    }
    bool isOpen() const override { return inner_->isOpen(); }

    transport::TransportChannel& inner() const { return *inner_; }
    std::chrono::milliseconds pause() const { return pause_; }
    // Frames waiting for the line (not counting one just written).
    std::size_t waitingCount() const { return waiting_.size(); }
    QTimer* paceTimer() const { return paceTimer_; }
    // End of the pause after a write: the next waiting frame goes out.
    void PaceTimerTimer();

signals:
    // A write of a frame with this command byte (-1: not a frame, e.g. the zero preamble)
    // reached the channel and failed.
    void writeFailed(int command);

private:
    // Writes and starts the pause after it.
    std::int32_t writeNow(const std::vector<std::uint8_t>& bytes);

    std::unique_ptr<transport::TransportChannel> inner_;
    std::chrono::milliseconds pause_;
    std::deque<std::vector<std::uint8_t>> waiting_;
    QTimer* paceTimer_ = nullptr;
};

} // namespace tq50r::devices
