#include "transport/serial_channel.h"

#include "transport/com_port.h"

#include <algorithm>
#include <thread>

namespace tq50r::transport {

void sleepPause(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(std::clamp(duration, std::chrono::milliseconds{0}, kMaxPause));
}

SerialChannel::SerialChannel(TComPort& port, PauseFn pause)
    : TransportChannel(kSerialChannelKind), port_(port), pause_(pauseOrSleep(std::move(pause))) {}

void SerialChannel::setAddress(const std::string& name) {
    port_.setPort(name);
}

std::string SerialChannel::address() const {
    return port_.Port();
}

void SerialChannel::open() {
    if (!port_.Connected()) {
        port_.Open();
    }
}

void SerialChannel::close() {
    if (port_.Connected()) {
        port_.Close();
    }
}

std::int32_t SerialChannel::write(const std::uint8_t* bytes, std::int32_t count) {
    std::int32_t written = 0;
    try {
        written = port_.Write(bytes, count);
    } catch (const EComPort&) {
        return -1;
    }
    pause_(kWritePause);
    return written;
}

std::int32_t SerialChannel::read(std::uint8_t* buffer, std::int32_t count) {
    return port_.Read(buffer, count);
}

bool SerialChannel::isOpen() const {
    return port_.Connected();
}

} // namespace tq50r::transport
