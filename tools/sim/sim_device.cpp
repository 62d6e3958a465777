#include "sim_device.h"

#include "eq/encoding.h"

#include <algorithm>

namespace tq50r::sim {

namespace {

using protocol::CommandCode;

constexpr std::size_t SetMacEnd = protocol::MacFieldOffset + protocol::MacByteCount;
constexpr unsigned BitsPerByte = 8;
constexpr unsigned LowByteMask = 0xFF;

Bytes frameWithPayload(CommandCode code, std::size_t size) {
    Bytes frame(size, 0);
    protocol::putFrameEnvelope(frame, code);
    return frame;
}

void putLittleEndian16(Bytes& frame, std::size_t offset, unsigned value) {
    frame[offset] = static_cast<std::uint8_t>(value & LowByteMask);
    frame[offset + 1] = static_cast<std::uint8_t>((value >> BitsPerByte) & LowByteMask);
}

template <std::size_t N> Bytes toBytes(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

// A device keeps what it can play: table indexes and gain within their ranges.
eq::EqBand playableBand(const eq::BandBytes& bytes) {
    eq::EqBand band = eq::decodeBand(bytes);
    band.gainIndex = std::clamp(band.gainIndex, 0, eq::MaxGainIndex);
    return band;
}

} // namespace

SimDevice::SimDevice(const protocol::ParameterBlock& start) {
    storeBlock(protocol::FrameBytes(start.data(), start.size()));
    setName("");
}

void SimDevice::setName(std::string_view name) {
    name_ = protocol::nameField(name);
}

std::string SimDevice::name() const {
    return protocol::nameFromField(std::span<const std::uint8_t, protocol::NameFieldSize>(name_));
}

void SimDevice::storeBand(int n, const eq::BandBytes& bytes) {
    setting_.band(n) = playableBand(bytes);
    writeInterpretedBytes();
}

void SimDevice::storeBlock(protocol::FrameBytes frame) {
    // Bytes the device does not interpret are kept exactly as they came.
    const std::size_t n = std::min(frame.size(), block_.size());
    std::copy_n(frame.begin(), n, block_.begin());
    protocol::putFrameEnvelope(block_, CommandCode::Setting);

    const eq::BlockFields fields = protocol::readParameterBlock(block_);
    setting_.trimDb = eq::decodeTrim(fields.trim);
    setting_.bypass = fields.bypass != 0;
    for (int i = 0; i < eq::BandCount; ++i) {
        setting_.band(i + 1) = playableBand(fields.bands.at(static_cast<std::size_t>(i)));
    }
    writeInterpretedBytes();
}

void SimDevice::writeInterpretedBytes() {
    // A device band's `off` and `deviceOff` are the same flag.
    protocol::writeBlockFields(block_, eq::encodeBlockFields(setting_, false));
}

Bytes SimDevice::bandReport(int n) const {
    return toBytes(protocol::buildBandFrame(n, setting_.band(n)));
}

Bytes SimDevice::connectReply() const {
    Bytes frame = frameWithPayload(CommandCode::Connect, reply::ConnectSize);
    frame[protocol::PayloadOffset] = reply::ConnectFixedByte6;
    std::copy(name_.begin(), name_.end(), frame.begin() + protocol::NameFieldOffset);
    frame[protocol::reply::RevisionOffset] = revision;
    return frame;
}

Bytes SimDevice::settingReply() const {
    return toBytes(block_);
}

Bytes SimDevice::statusReply() const {
    Bytes frame = frameWithPayload(CommandCode::ReadState, reply::StatusSize);
    putLittleEndian16(frame, protocol::reply::TemperatureOffset, status.temperatureReading);
    // The four flags lie in a row from the protection flag on.
    std::copy(status.flags.begin(), status.flags.end(),
              frame.begin() + protocol::reply::ProtectionOffset);
    return frame;
}

Bytes SimDevice::burningReply() const {
    Bytes frame = frameWithPayload(CommandCode::Burning, reply::BurningSize);
    using protocol::reply::MinutesPerHighUnit;
    frame[protocol::reply::BurnCountOffset] = burnIn.count;
    putLittleEndian16(frame, protocol::reply::BurnMinutesLowOffset,
                      burnIn.minutes % MinutesPerHighUnit);
    // The high word holds tens of thousands of minutes; beyond 16 bits it saturates.
    constexpr std::uint32_t MaxHigh = 0xFFFF;
    putLittleEndian16(frame, protocol::reply::BurnMinutesHighOffset,
                      std::min(burnIn.minutes / MinutesPerHighUnit, MaxHigh));
    return frame;
}

Bytes SimDevice::macReport() const {
    Bytes frame = frameWithPayload(CommandCode::MacReport, reply::MacReportSize);
    std::copy(mac.begin(), mac.end(), frame.begin() + protocol::MacFieldOffset);
    return frame;
}

void SimDevice::driftReading(int step, int centre, int spread) {
    constexpr int MaxReading = 0xFFFF;
    const int lo = std::clamp(centre - spread, 0, MaxReading);
    const int hi = std::clamp(centre + spread, 0, MaxReading);
    status.temperatureReading =
        static_cast<std::uint16_t>(std::clamp(status.temperatureReading + step, lo, hi));
}

std::vector<Bytes> SimDevice::answer(protocol::FrameBytes frame) {
    const auto command = protocol::commandByte(frame);
    if (!command) {
        return {};
    }
    switch (static_cast<CommandCode>(*command)) {
    case CommandCode::Poll:
        return {toBytes(protocol::buildRequest(CommandCode::Poll))};
    case CommandCode::Connect:
        return {connectReply()};
    case CommandCode::Recall:
        return {settingReply()};
    case CommandCode::ReadState:
        return {statusReply()};
    case CommandCode::Burning:
        return {burningReply()};
    case CommandCode::Band: {
        const auto report = protocol::readBandReport(frame);
        if (!report || report->bandNumber < 1 || report->bandNumber > eq::BandCount) {
            return {};
        }
        storeBand(report->bandNumber, report->bytes);
        return {bandReport(report->bandNumber)};
    }
    case CommandCode::Trim: {
        const auto trim = protocol::readTrimByte(frame);
        if (!trim) {
            return {};
        }
        setting_.trimDb = eq::decodeTrim(*trim);
        writeInterpretedBytes();
        return {toBytes(protocol::buildTrimFrame(setting_.trimDb))};
    }
    case CommandCode::Bypass: {
        const auto bypass = protocol::readBypassByte(frame);
        if (!bypass) {
            return {};
        }
        setting_.bypass = *bypass != 0;
        writeInterpretedBytes();
        return {toBytes(protocol::buildBypassFrame(setting_.bypass))};
    }
    case CommandCode::Setting:
        if (!protocol::readParameterBlock(frame)) {
            return {};
        }
        storeBlock(frame);
        return {settingReply()};
    case CommandCode::Rename:
        if (frame.size() >= protocol::NameFieldOffset + protocol::NameFieldSize) {
            std::copy_n(frame.begin() + protocol::NameFieldOffset, name_.size(), name_.begin());
        }
        return {};
    case CommandCode::SetMac:
        if (frame.size() >= SetMacEnd) {
            std::copy_n(frame.begin() + protocol::MacFieldOffset, mac.size(), mac.begin());
        }
        return {};
    case CommandCode::MacReport:
        break;
    }
    return {};
}

std::vector<Bytes> SimDevice::receive(std::span<const std::uint8_t> bytes,
                                      const std::function<void(protocol::FrameBytes)>& onFrame) {
    std::vector<Bytes> answers;
    parser_.setDispatch([&](protocol::FrameBytes frame, protocol::FrameSource) {
        if (onFrame) {
            onFrame(frame);
        }
        for (Bytes& a : answer(frame)) {
            answers.push_back(std::move(a));
        }
    });
    parser_.feed(bytes, 0);
    parser_.setDispatch({});
    return answers;
}

} // namespace tq50r::sim
