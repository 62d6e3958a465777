#pragma once
#include "transport/transport_channel.h"

namespace tq50r::transport {

class TComPort;

/// A channel over a serial port component.
class SerialChannel : public TransportChannel {
public:
    /// Pause after every successful write, which spaces consecutive frames on the line.
    static constexpr std::chrono::milliseconds kWritePause{20};

    explicit SerialChannel(TComPort& port, PauseFn pause = {});

    /// The port name; takes effect at the next open (at once if the port is open).
    void setAddress(const std::string& name) override;
    std::string address() const override;
    void open() override;
    void close() override;
    /// -1 at once when the port raises an error; otherwise the port's result after the pause.
    std::int32_t write(const std::uint8_t* bytes, std::int32_t count) override;
    std::int32_t read(std::uint8_t* buffer, std::int32_t count) override;
    bool isOpen() const override;

    TComPort& component() const { return port_; }

private:
    TComPort& port_;
    PauseFn pause_;
};

} // namespace tq50r::transport
