// Wire encodings of the EQ values: how each value travels in a frame or a
// preset file, and how received bytes are decoded (with their clamps).
#pragma once

#include "eq/eq_setting.h"

#include <array>
#include <cstdint>

namespace tq50r::eq {

// Band type <-> wire code: 4 HighShelf, 1 Peak, 5 LowShelf; any other code reads as Peak.
std::uint8_t typeWireCode(int type);
int typeFromWireCode(std::uint8_t code);

// freqIndex travels as two base-100 digits.
std::uint8_t freqHighByte(int freqIndex);
std::uint8_t freqLowByte(int freqIndex);
int decodeFreqIndex(std::uint8_t high, std::uint8_t low); // clamped 0..300

int decodeQIndex(std::uint8_t byte); // clamped 0..100

std::uint8_t encodeTrim(int trimDb); // 121 + 2 * trimDb
int decodeTrim(std::uint8_t byte);   // (byte - 121) / 2 truncated, clamped -18..0

// A band's fader runs from -12 (top, +12 dB) to 12 (bottom, -12 dB).
inline constexpr int MinFaderPosition = -12;
inline constexpr int MaxFaderPosition = 12;

// Fader position (-12..12) for a gain index: gainIndex/2 - 12 truncated toward zero, limited.
int faderPositionFromGainIndex(int gainIndex);
// The band's gain in whole dB as the fader shows it (= -position).
int gainDbFromGainIndex(int gainIndex);
// gain index a fader position stands for: 2 * position + 24.
int gainIndexFromFaderPosition(int position);

// The six bytes that describe one band in a report or a block record.
struct BandBytes {
    std::uint8_t typeCode = 1;
    std::uint8_t freqHigh = 0;
    std::uint8_t freqLow = 0;
    std::uint8_t gainIndex = ZeroGainIndex;
    std::uint8_t qIndex = 0;
    std::uint8_t off = 0;
};

BandBytes encodeBand(const EqBand& band, bool offByte);
// A band as received: type, frequency and Q decoded with their clamps, the gain
// index taken as is, and both `off` and `deviceOff` set from the off byte.
EqBand decodeBand(const BandBytes& bytes);

} // namespace tq50r::eq

namespace tq50r::eq {

// The values a full-setting block carries into the editor: trim, bypass and five band records.
struct BlockFields {
    std::uint8_t trim = 121;
    std::uint8_t bypass = 0;
    std::array<BandBytes, BandCount> bands{};
};

// The whole setting as a block carries it; the off bytes are `deviceOff` while
// connected, `off` otherwise.
BlockFields encodeBlockFields(const EqSetting& setting, bool connected);

} // namespace tq50r::eq
