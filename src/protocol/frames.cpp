#include "protocol/frames.h"

#include "protocol/hex_text.h"

#include <algorithm>

namespace tq50r::protocol {

namespace {

// Fixed bytes of the payload frames, sent as listed.
constexpr std::uint8_t TrimFixedByte = 0x48;   // Trim offset 7
constexpr std::uint8_t BandFixedByte = 0x0A;   // Band offset 6
constexpr std::uint8_t BypassFixedByte = 0x00; // Bypass offset 6
constexpr std::uint8_t RenameFixedByte = 0x01; // Rename offset 6
constexpr std::uint8_t SetMacFixedByte = 0x00; // SetMac offset 6
constexpr std::uint8_t NamePadByte = 0x20;     // Rename name field filler
constexpr std::uint8_t NameTrimLimit = 0x20;   // name ends lose bytes 0x00..0x20

// Value bytes of the Trim, Band and Bypass frames (sent and received alike).
constexpr std::size_t TrimByteOffset = 6;
constexpr std::size_t BandBytesOffset = 8; // type, freq high, freq low, gain, q, off
constexpr std::size_t BypassByteOffset = 7;

// Fixed bytes of a block built here (offsets 10..15).
constexpr std::size_t BlockFixedOffset = 10;
constexpr std::array<std::uint8_t, 6> BlockFixedBytes = {1, 30, 0, 99, 48, 1};
constexpr std::uint8_t BlockPresetMark = 1;

// Band record inside a block: type, freq high, freq low, gain, q, off.
enum BandField : std::size_t {
    TypeField,
    FreqHighField,
    FreqLowField,
    GainField,
    QField,
    OffField
};

void putBandBytes(std::uint8_t* out, const eq::BandBytes& b) {
    out[TypeField] = b.typeCode;
    out[FreqHighField] = b.freqHigh;
    out[FreqLowField] = b.freqLow;
    out[GainField] = b.gainIndex;
    out[QField] = b.qIndex;
    out[OffField] = b.off;
}

eq::BandBytes getBandBytes(const std::uint8_t* in) {
    eq::BandBytes b;
    b.typeCode = in[TypeField];
    b.freqHigh = in[FreqHighField];
    b.freqLow = in[FreqLowField];
    b.gainIndex = in[GainField];
    b.qIndex = in[QField];
    b.off = in[OffField];
    return b;
}

std::uint16_t readLe16(FrameBytes frame, std::size_t offset) {
    constexpr unsigned ByteBits = 8;
    return static_cast<std::uint16_t>(frame[offset] | (frame[offset + 1] << ByteBits));
}

bool covers(FrameBytes frame) {
    const auto code = commandByte(frame);
    return code && frameCoversLayout(*code, frame.size());
}

bool covers(FrameBytes frame, CommandCode expected) {
    return covers(frame) && frame[CommandOffset] == static_cast<std::uint8_t>(expected);
}

} // namespace

const ParameterBlock ResetBlock = {
    0x01, 0x20, 0x03, 0x40, 0x4A, 0x14, 0x00, 0x79, 0x00, 0x00, 0x01, 0x1E,
    0x00, 0x63, 0x30, 0x01,                                                 // 0..15
    0x01, 0x00, 0x00, 0x18, 0x00, 0x00, 0x01, 0x00, 0x32, 0x18, 0x00, 0x00, // 16..27
    0x01, 0x01, 0x00, 0x18, 0x00, 0x00, 0x01, 0x01, 0x32, 0x18, 0x00, 0x00, // 28..39
    0x01, 0x02, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, // 40..55
    0x1C, 0x47, 0x50, 0x00, 0x8C, 0x8B, 0xD5, 0x00, 0xC8, 0x10, 0x00, 0x00,
    0x47, 0x61, 0x69, // 56..70
    0x01, 0x05, 0x60, // 71..73
};

void putFrameEnvelope(std::span<std::uint8_t> frame, CommandCode code) {
    std::copy(FrameHeader.begin(), FrameHeader.end(), frame.begin());
    frame[LengthOffset] = static_cast<std::uint8_t>(frame.size());
    frame[CommandOffset] = static_cast<std::uint8_t>(code);
    std::copy(FrameTrailer.begin(), FrameTrailer.end(), frame.end() - FrameTrailer.size());
}

std::size_t nameFieldLength(std::string_view name) {
    if (name.size() <= RenameMaxNameBytes)
        return name.size();
    // Back off over continuation bytes (10xxxxxx) so the cut falls before a character's first
    // byte.
    constexpr std::uint8_t ContinuationMask = 0xC0;
    constexpr std::uint8_t ContinuationBits = 0x80;
    std::size_t n = RenameMaxNameBytes;
    while (n > 0 && (static_cast<std::uint8_t>(name[n]) & ContinuationMask) == ContinuationBits)
        --n;
    return n;
}

NameField nameField(std::string_view name) {
    NameField field{};
    std::fill(field.begin(), field.end() - 1, NamePadByte);
    const std::size_t n = nameFieldLength(name);
    std::copy_n(name.begin(), n, field.begin());
    return field;
}

void writeBlockFields(ParameterBlock& blockBytes, const eq::BlockFields& fields) {
    blockBytes[block::TrimOffset] = fields.trim;
    blockBytes[block::BypassOffset] = fields.bypass;
    for (std::size_t i = 0; i < fields.bands.size(); ++i) {
        putBandBytes(blockBytes.data() + block::FirstBandOffset + i * block::BandRecordSize,
                     fields.bands[i]);
    }
}

RequestFrame buildRequest(CommandCode code) {
    RequestFrame frame{};
    putFrameEnvelope(frame, code);
    return frame;
}

void refillTrimFrame(TrimFrame& frame, int trimDb) {
    frame[TrimByteOffset] = eq::encodeTrim(trimDb);
}

void refillBandFrame(BandFrame& frame, const eq::EqBand& band) {
    putBandBytes(frame.data() + BandBytesOffset, eq::encodeBand(band, band.off));
}

void refillBypassFrame(BypassFrame& frame, bool bypass) {
    frame[BypassByteOffset] = bypass ? 1 : 0;
}

TrimFrame buildTrimFrame(int trimDb) {
    TrimFrame frame{};
    putFrameEnvelope(frame, CommandCode::Trim);
    frame[TrimByteOffset + 1] = TrimFixedByte;
    refillTrimFrame(frame, trimDb);
    return frame;
}

BandFrame buildBandFrame(int bandNumber, const eq::EqBand& band) {
    BandFrame frame{};
    putFrameEnvelope(frame, CommandCode::Band);
    frame[PayloadOffset] = BandFixedByte;
    frame[BandNumberOffset] = static_cast<std::uint8_t>(bandNumber);
    refillBandFrame(frame, band);
    return frame;
}

BypassFrame buildBypassFrame(bool bypass) {
    BypassFrame frame{};
    putFrameEnvelope(frame, CommandCode::Bypass);
    frame[PayloadOffset] = BypassFixedByte;
    refillBypassFrame(frame, bypass);
    return frame;
}

RenameFrame buildRenameFrame(std::string_view name) {
    RenameFrame frame{};
    putFrameEnvelope(frame, CommandCode::Rename);
    frame[PayloadOffset] = RenameFixedByte;
    const NameField field = nameField(name);
    std::copy(field.begin(), field.end(), frame.begin() + NameFieldOffset);
    return frame;
}

std::optional<MacFrame> buildMacFrame(std::string_view macTextIn) {
    const auto bytes = macBytesFromText(macTextIn);
    if (!bytes) {
        return std::nullopt;
    }
    MacFrame frame{};
    putFrameEnvelope(frame, CommandCode::SetMac);
    frame[PayloadOffset] = SetMacFixedByte;
    std::copy(bytes->begin(), bytes->end(), frame.begin() + MacFieldOffset);
    return frame;
}

ParameterBlock buildParameterBlock(const eq::EqSetting& setting, bool connected) {
    ParameterBlock out{}; // reserved bytes 46..70 stay zero
    putFrameEnvelope(out, CommandCode::Setting);
    out[block::PresetMarkOffset] = BlockPresetMark;
    out[block::UnusedOffset8] = 0;
    std::copy(BlockFixedBytes.begin(), BlockFixedBytes.end(), out.begin() + BlockFixedOffset);
    writeBlockFields(out, eq::encodeBlockFields(setting, connected));
    return out;
}

std::optional<std::uint8_t> commandByte(FrameBytes frame) {
    if (frame.size() <= CommandOffset) {
        return std::nullopt;
    }
    return frame[CommandOffset];
}

std::size_t layoutSize(std::uint8_t command) {
    switch (static_cast<CommandCode>(command)) {
    case CommandCode::Trim:
        return TrimByteOffset + 1;
    case CommandCode::Band:
        return BandBytesOffset + block::BandRecordSize;
    case CommandCode::Bypass:
        return BypassByteOffset + 1;
    case CommandCode::Setting:
        return block::ReadEnd;
    case CommandCode::Connect:
        return reply::RevisionOffset + 1;
    case CommandCode::MacReport:
        return MacFieldOffset + MacByteCount;
    case CommandCode::ReadState:
        return reply::StandbyOffset + 1;
    case CommandCode::Burning:
        return reply::BurnMinutesHighOffset + 2;
    default:
        return MinFrameSize;
    }
}

bool frameCoversLayout(std::uint8_t command, std::size_t length) {
    return length >= layoutSize(command);
}

std::optional<std::uint8_t> readTrimByte(FrameBytes frame) {
    if (!covers(frame, CommandCode::Trim)) {
        return std::nullopt;
    }
    return frame[TrimByteOffset];
}

std::optional<BandReport> readBandReport(FrameBytes frame) {
    if (!covers(frame, CommandCode::Band)) {
        return std::nullopt;
    }
    return BandReport{frame[BandNumberOffset], getBandBytes(frame.data() + BandBytesOffset)};
}

std::optional<std::uint8_t> readBypassByte(FrameBytes frame) {
    if (!covers(frame, CommandCode::Bypass)) {
        return std::nullopt;
    }
    return frame[BypassByteOffset];
}

namespace {

// Trim, bypass and the five band records of a block whose bytes reach at least offset 46.
eq::BlockFields blockFieldsAt(const std::uint8_t* blockBytes) {
    eq::BlockFields fields;
    fields.trim = blockBytes[block::TrimOffset];
    fields.bypass = blockBytes[block::BypassOffset];
    for (std::size_t i = 0; i < fields.bands.size(); ++i) {
        fields.bands[i] =
            getBandBytes(blockBytes + block::FirstBandOffset + i * block::BandRecordSize);
    }
    return fields;
}

} // namespace

std::optional<eq::BlockFields> readParameterBlock(FrameBytes frame) {
    if (!covers(frame, CommandCode::Setting)) {
        return std::nullopt;
    }
    return blockFieldsAt(frame.data());
}

eq::BlockFields readParameterBlock(const ParameterBlock& blockBytes) {
    // A ParameterBlock always covers the layout; only the command byte could differ,
    // and a block from a file or the reset button is read whatever it says there.
    return blockFieldsAt(blockBytes.data());
}

std::string nameFromField(std::span<const std::uint8_t, NameFieldSize> field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    auto first = field.begin();
    auto last = end;
    while (first != last && *first <= NameTrimLimit) {
        ++first;
    }
    while (last != first && *(last - 1) <= NameTrimLimit) {
        --last;
    }
    return std::string(first, last);
}

std::optional<ConnectReply> readConnectReply(FrameBytes frame) {
    if (!covers(frame, CommandCode::Connect)) {
        return std::nullopt;
    }
    ConnectReply reply;
    reply.name = nameFromField(frame.subspan<NameFieldOffset, NameFieldSize>());
    reply.revision = frame[reply::RevisionOffset];
    return reply;
}

std::optional<MacBytes> readMacReport(FrameBytes frame) {
    if (!covers(frame, CommandCode::MacReport)) {
        return std::nullopt;
    }
    MacBytes mac{};
    std::copy_n(frame.begin() + MacFieldOffset, MacByteCount, mac.begin());
    return mac;
}

std::optional<DeviceState> readDeviceState(FrameBytes frame) {
    if (!covers(frame, CommandCode::ReadState)) {
        return std::nullopt;
    }
    DeviceState state;
    state.temperatureReading = readLe16(frame, reply::TemperatureOffset);
    state.protection = frame[reply::ProtectionOffset];
    state.overTemperature = frame[reply::OverTemperatureOffset];
    state.voltage = frame[reply::VoltageOffset];
    state.standby = frame[reply::StandbyOffset];
    return state;
}

std::optional<BurningReport> readBurningReport(FrameBytes frame) {
    if (!covers(frame, CommandCode::Burning)) {
        return std::nullopt;
    }
    BurningReport report;
    report.count = frame[reply::BurnCountOffset];
    report.totalMinutes =
        readLe16(frame, reply::BurnMinutesLowOffset) +
        reply::MinutesPerHighUnit *
            static_cast<std::uint32_t>(readLe16(frame, reply::BurnMinutesHighOffset));
    return report;
}

std::string macText(const MacBytes& bytes) {
    std::string text;
    text.reserve(2 * MacByteCount);
    for (std::uint8_t b : bytes) {
        hex::appendByte(text, b);
    }
    return text;
}

std::optional<MacBytes> macBytesFromText(std::string_view text) {
    if (text.size() != 2 * MacByteCount) {
        return std::nullopt;
    }
    MacBytes bytes{};
    for (std::size_t i = 0; i < MacByteCount; ++i) {
        const int high = hex::digitValue(text[2 * i]);
        const int low = hex::digitValue(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes[i] = static_cast<std::uint8_t>(static_cast<unsigned>(high) * hex::Base +
                                             static_cast<unsigned>(low));
    }
    return bytes;
}

std::string macDisplayText(std::string_view text) {
    if (text.size() != 2 * MacByteCount) {
        return std::string(text);
    }
    std::string display;
    for (std::size_t i = 0; i < MacByteCount; ++i) {
        if (i > 0) {
            display.push_back(':');
        }
        display.append(text.substr(2 * i, 2));
    }
    return display;
}

} // namespace tq50r::protocol
