// One simulated device without any I/O: its state and its answer to each
// received frame. The simulator's sockets and pseudo-terminals only move the
// bytes; everything a device decides happens here.
#pragma once

#include "eq/eq_setting.h"
#include "faults.h"
#include "protocol/frame_parser.h"
#include "protocol/frames.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tq50r::sim {

// Sizes of the frames only a device sends; their fields lie where the
// application's readers look for them.
namespace reply {
inline constexpr std::size_t ConnectSize = 27;
inline constexpr std::uint8_t ConnectFixedByte6 = 0x01;
inline constexpr std::size_t StatusSize = 24;
inline constexpr std::size_t BurningSize = 16;
inline constexpr std::size_t MacReportSize = 16;
} // namespace reply

struct DeviceStatus {
    std::uint16_t temperatureReading = 0;
    // protection, over-temperature, voltage, standby: 0 normal, else active
    std::array<std::uint8_t, 4> flags{};
};

struct BurnIn {
    std::uint8_t count = 0;
    std::uint32_t minutes = 0;
};

class SimDevice {
public:
    using NameField = protocol::NameField;

    // Starts from `block` (the reset setting unless a preset says otherwise).
    explicit SimDevice(const protocol::ParameterBlock& block = protocol::ResetBlock);

    // The answer to one complete frame: zero or more frames to send back.
    // Frames too short for their command's layout, and commands a device does
    // not take, are consumed without an answer.
    std::vector<Bytes> answer(protocol::FrameBytes frame);

    // Feeds received bytes (any piece of the stream: zero preamble, partial
    // or several frames) and returns the answers of the frames completed.
    // `onFrame` sees every complete frame before it is answered.
    std::vector<Bytes> receive(std::span<const std::uint8_t> bytes,
                               const std::function<void(protocol::FrameBytes)>& onFrame = {});
    // Forgets a partial frame (a new connection starts clean).
    void resetReceiver() { parser_.reset(); }

    const eq::EqSetting& setting() const { return setting_; }
    // The whole setting as the device keeps it, bytes it does not interpret included.
    const protocol::ParameterBlock& block() const { return block_; }

    void setName(std::string_view name); // up to 15 bytes, then spaces and a final 0x00
    const NameField& nameField() const { return name_; }
    std::string name() const;

    std::uint8_t revision = protocol::StatusRevision;
    protocol::MacBytes mac{};
    DeviceStatus status;
    BurnIn burnIn;

    // Replies a device sends, also usable unasked (a MAC report).
    Bytes connectReply() const;
    Bytes settingReply() const;
    Bytes statusReply() const;
    Bytes burningReply() const;
    Bytes macReport() const;

    // Moves the temperature reading by `step`, kept within `spread` of `centre`.
    void driftReading(int step, int centre, int spread);

private:
    void storeBand(int n, const eq::BandBytes& bytes);
    void storeBlock(protocol::FrameBytes frame);
    void writeInterpretedBytes();
    Bytes bandReport(int n) const;

    eq::EqSetting setting_;
    protocol::ParameterBlock block_{};
    NameField name_{};
    protocol::FrameParser parser_;
};

} // namespace tq50r::sim
