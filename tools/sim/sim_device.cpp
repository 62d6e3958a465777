#include "sim_device.h"

#include "eq/encoding.h"

#include <algorithm>

namespace tq50r::sim {

namespace {

using protocol::CommandCode;
namespace block = protocol::block;

constexpr std::uint8_t NamePadByte = 0x20;
constexpr std::size_t SetMacEnd = protocol::NameFieldOffset + protocol::MacByteCount;
constexpr unsigned BitsPerByte = 8;
constexpr unsigned LowByteMask = 0xFF;

Bytes frameWithPayload(CommandCode code, std::size_t size) {
    Bytes frame(size, 0);
    std::copy(protocol::FrameHeader.begin(), protocol::FrameHeader.end(), frame.begin());
    frame[protocol::LengthOffset] = static_cast<std::uint8_t>(size);
    frame[protocol::CommandOffset] = static_cast<std::uint8_t>(code);
    std::copy(protocol::FrameTrailer.begin(), protocol::FrameTrailer.end(),
              frame.end() - static_cast<std::ptrdiff_t>(protocol::FrameTrailer.size()));
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
eq::EqBand decodeBand(const eq::BandBytes& bytes) {
    eq::EqBand band;
    band.type = eq::typeFromWireCode(bytes.typeCode);
    band.freqIndex = eq::decodeFreqIndex(bytes.freqHigh, bytes.freqLow);
    band.qIndex = eq::decodeQIndex(bytes.qIndex);
    band.gainIndex = std::clamp(static_cast<int>(bytes.gainIndex), 0, eq::MaxGainIndex);
    band.off = bytes.off != 0;
    band.deviceOff = band.off;
    return band;
}

} // namespace

SimDevice::SimDevice(const protocol::ParameterBlock& start) {
    storeBlock(protocol::FrameBytes(start.data(), start.size()));
    setName("");
}

void SimDevice::setName(std::string_view name) {
    name_.fill(NamePadByte);
    name_.back() = 0x00;
    const std::size_t n = std::min(name.size(), protocol::RenameMaxNameBytes);
    std::copy_n(name.begin(), n, name_.begin());
}

std::string SimDevice::name() const {
    return protocol::nameFromField(std::span<const std::uint8_t, protocol::NameFieldSize>(name_));
}

void SimDevice::storeBand(int n, const eq::BandBytes& bytes) {
    setting_.band(n) = decodeBand(bytes);
    writeInterpretedBytes();
}

void SimDevice::storeBlock(protocol::FrameBytes frame) {
    // Bytes the device does not interpret are kept exactly as they came.
    const std::size_t n = std::min(frame.size(), block_.size());
    std::copy_n(frame.begin(), n, block_.begin());
    std::copy(protocol::FrameHeader.begin(), protocol::FrameHeader.end(), block_.begin());
    block_[protocol::LengthOffset] = static_cast<std::uint8_t>(protocol::ParameterBlockSize);
    block_[protocol::CommandOffset] = static_cast<std::uint8_t>(CommandCode::Setting);
    std::copy(protocol::FrameTrailer.begin(), protocol::FrameTrailer.end(),
              block_.begin() + block::TrailerOffset);

    const eq::BlockFields fields = protocol::readParameterBlock(block_);
    setting_.trimDb = eq::decodeTrim(fields.trim);
    setting_.bypass = fields.bypass != 0;
    for (int i = 0; i < eq::BandCount; ++i) {
        setting_.band(i + 1) = decodeBand(fields.bands.at(static_cast<std::size_t>(i)));
    }
    writeInterpretedBytes();
}

void SimDevice::writeInterpretedBytes() {
    block_[block::TrimOffset] = eq::encodeTrim(setting_.trimDb);
    block_[block::BypassOffset] = setting_.bypass ? 1 : 0;
    for (std::size_t i = 0; i < setting_.bands.size(); ++i) {
        const eq::EqBand& band = setting_.bands[i];
        const eq::BandBytes b = eq::encodeBand(band, band.off);
        const std::size_t at = block::FirstBandOffset + i * block::BandRecordSize;
        const std::array<std::uint8_t, block::BandRecordSize> record = {
            b.typeCode, b.freqHigh, b.freqLow, b.gainIndex, b.qIndex, b.off};
        std::copy(record.begin(), record.end(), block_.begin() + static_cast<std::ptrdiff_t>(at));
    }
}

Bytes SimDevice::bandReport(int n) const {
    return toBytes(protocol::buildBandFrame(n, setting_.band(n)));
}

Bytes SimDevice::connectReply() const {
    Bytes frame = frameWithPayload(CommandCode::Connect, reply::ConnectSize);
    frame[protocol::PayloadOffset] = reply::ConnectFixedByte6;
    std::copy(name_.begin(), name_.end(), frame.begin() + protocol::NameFieldOffset);
    frame[reply::RevisionOffset] = revision;
    return frame;
}

Bytes SimDevice::settingReply() const {
    return toBytes(block_);
}

Bytes SimDevice::statusReply() const {
    Bytes frame = frameWithPayload(CommandCode::ReadState, reply::StatusSize);
    putLittleEndian16(frame, reply::ReadingOffset, status.temperatureReading);
    std::copy(status.flags.begin(), status.flags.end(), frame.begin() + reply::FlagsOffset);
    return frame;
}

Bytes SimDevice::burningReply() const {
    Bytes frame = frameWithPayload(CommandCode::Burning, reply::BurningSize);
    frame[reply::BurnCountOffset] = burnIn.count;
    putLittleEndian16(frame, reply::BurnLowOffset, burnIn.minutes % reply::BurnMinutesPerHigh);
    // The high word holds tens of thousands of minutes; beyond 16 bits it saturates.
    constexpr std::uint32_t MaxHigh = 0xFFFF;
    putLittleEndian16(frame, reply::BurnHighOffset,
                      std::min(burnIn.minutes / reply::BurnMinutesPerHigh, MaxHigh));
    return frame;
}

Bytes SimDevice::macReport() const {
    Bytes frame = frameWithPayload(CommandCode::MacReport, reply::MacReportSize);
    std::copy(mac.begin(), mac.end(), frame.begin() + reply::MacOffset);
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
            std::copy_n(frame.begin() + protocol::NameFieldOffset, mac.size(), mac.begin());
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
