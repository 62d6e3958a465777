#include "eq/encoding.h"

#include <algorithm>
#include <cmath>

namespace tq50r::eq {

namespace {

constexpr std::uint8_t HighShelfCode = 4;
constexpr std::uint8_t PeakCode = 1;
constexpr std::uint8_t LowShelfCode = 5;
constexpr int FreqDigitBase = 100; // freqIndex travels as two base-100 digits
constexpr int TrimZeroByte = 121;  // byte of 0 dB trim
constexpr int TrimBytesPerDb = 2;
constexpr double GainStepsPerDb = 2.0;

} // namespace

std::uint8_t typeWireCode(int type) {
    EqBand band;
    band.type = type;
    switch (band.bandType()) {
    case EqBandType::HighShelf:
        return HighShelfCode;
    case EqBandType::LowShelf:
        return LowShelfCode;
    case EqBandType::Peak:
        break;
    }
    return PeakCode;
}

int typeFromWireCode(std::uint8_t code) {
    if (code == HighShelfCode) {
        return static_cast<int>(EqBandType::HighShelf);
    }
    if (code == LowShelfCode) {
        return static_cast<int>(EqBandType::LowShelf);
    }
    return static_cast<int>(EqBandType::Peak);
}

std::uint8_t freqHighByte(int freqIndex) {
    return static_cast<std::uint8_t>(std::clamp(freqIndex, 0, MaxFreqIndex) / FreqDigitBase);
}

std::uint8_t freqLowByte(int freqIndex) {
    return static_cast<std::uint8_t>(std::clamp(freqIndex, 0, MaxFreqIndex) % FreqDigitBase);
}

int decodeFreqIndex(std::uint8_t high, std::uint8_t low) {
    return std::clamp(high * FreqDigitBase + low, 0, MaxFreqIndex);
}

int decodeQIndex(std::uint8_t byte) {
    return std::clamp(static_cast<int>(byte), 0, MaxQIndex);
}

std::uint8_t encodeTrim(int trimDb) {
    return static_cast<std::uint8_t>(TrimZeroByte +
                                     TrimBytesPerDb * std::clamp(trimDb, MinTrimDb, MaxTrimDb));
}

int decodeTrim(std::uint8_t byte) {
    // Integer division truncates toward zero: 122 -> 0 dB, 84 -> -18 dB.
    return std::clamp((byte - TrimZeroByte) / TrimBytesPerDb, MinTrimDb, MaxTrimDb);
}

int faderPositionFromGainIndex(int gainIndex) {
    // Half-dB indexes fall to the whole dB nearer to 0 dB: 25 -> 0, 47 -> 11, 1 -> -11.
    const double position = std::trunc((gainIndex - ZeroGainIndex) / GainStepsPerDb);
    return std::clamp(static_cast<int>(position), MinFaderPosition, MaxFaderPosition);
}

int gainDbFromGainIndex(int gainIndex) {
    return -faderPositionFromGainIndex(gainIndex);
}

int gainIndexFromFaderPosition(int position) {
    return static_cast<int>(GainStepsPerDb) * position + ZeroGainIndex;
}

BandBytes encodeBand(const EqBand& band, bool offByte) {
    BandBytes bytes;
    bytes.typeCode = typeWireCode(band.type);
    bytes.freqHigh = freqHighByte(band.freqIndex);
    bytes.freqLow = freqLowByte(band.freqIndex);
    bytes.gainIndex = static_cast<std::uint8_t>(band.gainIndex);
    bytes.qIndex = static_cast<std::uint8_t>(std::clamp(band.qIndex, 0, MaxQIndex));
    bytes.off = offByte ? 1 : 0;
    return bytes;
}

EqBand decodeBand(const BandBytes& bytes) {
    EqBand band;
    band.type = typeFromWireCode(bytes.typeCode);
    band.freqIndex = decodeFreqIndex(bytes.freqHigh, bytes.freqLow);
    band.qIndex = decodeQIndex(bytes.qIndex);
    band.gainIndex = bytes.gainIndex;
    band.off = bytes.off != 0;
    band.deviceOff = band.off;
    return band;
}

BlockFields encodeBlockFields(const EqSetting& setting, bool connected) {
    BlockFields fields;
    fields.trim = encodeTrim(setting.trimDb);
    fields.bypass = setting.bypass ? 1 : 0;
    for (std::size_t i = 0; i < fields.bands.size(); ++i) {
        const EqBand& band = setting.bands[i];
        fields.bands[i] = encodeBand(band, connected ? band.deviceOff : band.off);
    }
    return fields;
}

} // namespace tq50r::eq
