// Command frames exchanged with a device: layout constants, the command
// codes, builders for every frame the application sends and field readers
// for every frame it accepts. Pure byte work, no toolkit and no transport.
//
// Frame layout: header 01 20 03 40, a length byte counting the whole frame,
// the command byte, the payload and the trailer 01 05 60. There is no
// checksum. Multi-byte binary numbers are little-endian.
#pragma once

#include "eq/encoding.h"
#include "eq/eq_setting.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tq50r::protocol {

enum class CommandCode : std::uint8_t {
    Poll = 11,
    Trim = 14,
    Band = 17,
    Bypass = 19,
    Setting = 20,
    Recall = 21,
    Rename = 30,
    Connect = 31,
    SetMac = 32,
    MacReport = 33,
    ReadState = 35,
    Burning = 36,
};

// A received frame as the parser hands it on: exactly the bytes of that
// frame (never anything left over from an earlier one).
using FrameBytes = std::span<const std::uint8_t>;

inline constexpr std::array<std::uint8_t, 4> FrameHeader = {0x01, 0x20, 0x03, 0x40};
inline constexpr std::array<std::uint8_t, 3> FrameTrailer = {0x01, 0x05, 0x60};
inline constexpr std::size_t LengthOffset = 4;
inline constexpr std::size_t CommandOffset = 5;
inline constexpr std::size_t PayloadOffset = 6;
// Header, length, command: the parser always stores these six bytes.
inline constexpr std::size_t MinFrameSize = 6;
inline constexpr std::size_t MaxFrameSize = 255;

// Frame sizes, header and trailer included.
inline constexpr std::size_t RequestFrameSize = 9;
inline constexpr std::size_t TrimFrameSize = 11;
inline constexpr std::size_t BandFrameSize = 17;
inline constexpr std::size_t BypassFrameSize = 11;
inline constexpr std::size_t RenameFrameSize = 26;
inline constexpr std::size_t MacFrameSize = 16;
inline constexpr std::size_t ParameterBlockSize = 74;

// Bytes of zeros written on a TCP connection before the first Connect request.
inline constexpr std::size_t ZeroPreambleSize = 150;

// A Connect reply with a revision byte of at least this value means the
// device answers status requests.
inline constexpr std::uint8_t StatusRevision = 17;

using RequestFrame = std::array<std::uint8_t, RequestFrameSize>;
using TrimFrame = std::array<std::uint8_t, TrimFrameSize>;
using BandFrame = std::array<std::uint8_t, BandFrameSize>;
using BypassFrame = std::array<std::uint8_t, BypassFrameSize>;
using RenameFrame = std::array<std::uint8_t, RenameFrameSize>;
using MacFrame = std::array<std::uint8_t, MacFrameSize>;
// The 74-byte Setting frame: a whole EQ setting on the wire and in a preset file.
using ParameterBlock = std::array<std::uint8_t, ParameterBlockSize>;

inline constexpr std::size_t MacByteCount = 6;
using MacBytes = std::array<std::uint8_t, MacByteCount>;

// Rename frame name field: offsets 7..22, fifteen spaces then 0x00.
inline constexpr std::size_t NameFieldOffset = 7;
inline constexpr std::size_t NameFieldSize = 16;
// The longest name a Rename frame carries; the field's final 0x00 is kept.
inline constexpr std::size_t RenameMaxNameBytes = NameFieldSize - 1;
using NameField = std::array<std::uint8_t, NameFieldSize>;

// Band frames and reports carry their band number (1..5) here.
inline constexpr std::size_t BandNumberOffset = 7;

// SetMac and MacReport carry the six MAC bytes from this offset.
inline constexpr std::size_t MacFieldOffset = 7;

// Fields of the frames only a device sends.
namespace reply {
inline constexpr std::size_t RevisionOffset = 23;   // Connect: after the name field
inline constexpr std::size_t TemperatureOffset = 9; // ReadState: little-endian reading
// ReadState flags, one byte each in this order.
inline constexpr std::size_t ProtectionOffset = 17;
inline constexpr std::size_t OverTemperatureOffset = 18;
inline constexpr std::size_t VoltageOffset = 19;
inline constexpr std::size_t StandbyOffset = 20;
// Burning: the count, then the total minutes as two little-endian numbers,
// minutes below MinutesPerHighUnit and whole units of MinutesPerHighUnit.
inline constexpr std::size_t BurnCountOffset = 7;
inline constexpr std::size_t BurnMinutesLowOffset = 9;
inline constexpr std::size_t BurnMinutesHighOffset = 11;
inline constexpr std::uint32_t MinutesPerHighUnit = 10000;
} // namespace reply

// ParameterBlock layout.
namespace block {
inline constexpr std::size_t PresetMarkOffset = 6; // 1 in a block built here, 0 in ResetBlock
inline constexpr std::size_t TrimOffset = 7;
inline constexpr std::size_t UnusedOffset8 = 8;
inline constexpr std::size_t BypassOffset = 9;
inline constexpr std::size_t FirstBandOffset = 16;
inline constexpr std::size_t BandRecordSize = 6;
inline constexpr std::size_t ReservedOffset = 46;
inline constexpr std::size_t ReservedSize = 25;
inline constexpr std::size_t TrailerOffset = 71;
// One past the last byte the application reads from a block.
inline constexpr std::size_t ReadEnd = ReservedOffset;
} // namespace block

// The reset button's constant block.
extern const ParameterBlock ResetBlock;

// ---- builders -------------------------------------------------------------

// Writes header, length (the frame's size), command and trailer into `frame`,
// which holds at least MinFrameSize bytes plus the trailer; the bytes in between
// stay as they are.
void putFrameEnvelope(std::span<std::uint8_t> frame, CommandCode code);
// How many leading bytes of the UTF-8 text `name` the Rename name field carries: at most
// RenameMaxNameBytes, and never part of a character.
std::size_t nameFieldLength(std::string_view name);
// A name as the name field carries it: its first nameFieldLength bytes, padded with spaces,
// then 0x00.
NameField nameField(std::string_view name);
// Writes trim, bypass and the five band records into `block` (the inverse of
// readParameterBlock); every other byte stays as it is.
void writeBlockFields(ParameterBlock& block, const eq::BlockFields& fields);

// A frame without payload: Poll, Recall, Connect, ReadState or Burning.
RequestFrame buildRequest(CommandCode code);
TrimFrame buildTrimFrame(int trimDb);
// Band number 1..5; the off byte comes from the band's `off`.
BandFrame buildBandFrame(int bandNumber, const eq::EqBand& band);
BypassFrame buildBypassFrame(bool bypass);
// Replace only the value bytes of a frame built above; its fixed bytes stay as they are.
void refillTrimFrame(TrimFrame& frame, int trimDb);
void refillBandFrame(BandFrame& frame, const eq::EqBand& band);
void refillBypassFrame(BypassFrame& frame, bool bypass);
// Bytes beyond nameFieldLength are not sent.
RenameFrame buildRenameFrame(std::string_view name);
// The MAC text must be exactly 12 hexadecimal digits; anything else gives no
// frame (nothing is sent) rather than a frame with made-up bytes.
std::optional<MacFrame> buildMacFrame(std::string_view macText);
// The whole setting; the off bytes are `deviceOff` while connected, `off` otherwise.
ParameterBlock buildParameterBlock(const eq::EqSetting& setting, bool connected);

// ---- readers --------------------------------------------------------------
//
// Every reader looks only at offsets inside the frame it is given. A frame
// too short for its command's layout reads as absent (std::nullopt): the
// caller counts it as traffic and takes nothing from it.

// The command byte, if the frame has one.
std::optional<std::uint8_t> commandByte(FrameBytes frame);

// The number of bytes a frame of this command must hold for its fields to be read.
std::size_t layoutSize(std::uint8_t command);
bool frameCoversLayout(std::uint8_t command, std::size_t length);

struct BandReport {
    std::uint8_t bandNumber = 0; // as sent; only 1..5 names a band
    eq::BandBytes bytes;
};

std::optional<std::uint8_t> readTrimByte(FrameBytes frame);
std::optional<BandReport> readBandReport(FrameBytes frame);
std::optional<std::uint8_t> readBypassByte(FrameBytes frame);
std::optional<eq::BlockFields> readParameterBlock(FrameBytes frame);
eq::BlockFields readParameterBlock(const ParameterBlock& block);

struct ConnectReply {
    std::string name;
    std::uint8_t revision = 0;
};
std::optional<ConnectReply> readConnectReply(FrameBytes frame);
// The name rule: up to the first 0x00 (all 16 bytes if none), then bytes
// 0x00..0x20 removed from both ends.
std::string nameFromField(std::span<const std::uint8_t, NameFieldSize> field);

std::optional<MacBytes> readMacReport(FrameBytes frame);

struct DeviceState {
    std::uint16_t temperatureReading = 0;
    std::uint8_t protection = 0;
    std::uint8_t overTemperature = 0;
    std::uint8_t voltage = 0;
    std::uint8_t standby = 0;
};
std::optional<DeviceState> readDeviceState(FrameBytes frame);

struct BurningReport {
    std::uint8_t count = 0;
    std::uint32_t totalMinutes = 0;
};
std::optional<BurningReport> readBurningReport(FrameBytes frame);

// ---- MAC text -------------------------------------------------------------

// Six bytes as 12 upper-case hexadecimal digits, "00A1B0123ABC".
std::string macText(const MacBytes& bytes);
// Exactly 12 hexadecimal digits (either case) give six bytes; any other text
// gives std::nullopt.
std::optional<MacBytes> macBytesFromText(std::string_view text);
// A 12-character text as six pairs joined by ':', "00:A1:B0:12:3A:BC". A text
// of any other length is returned unchanged.
std::string macDisplayText(std::string_view text);

} // namespace tq50r::protocol
