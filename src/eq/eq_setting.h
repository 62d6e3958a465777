// The Master EQ as plain data: five bands, trim and bypass, the two value
// tables every band parameter indexes, the wire encodings and the edit
// operations with their limits. No toolkit code lives here.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace tq50r::eq {

inline constexpr int BandCount = 5;
inline constexpr int FrequencyCount = 301;
inline constexpr int QCount = 101;
inline constexpr int MaxFreqIndex = FrequencyCount - 1; // 300
inline constexpr int MaxQIndex = QCount - 1;            // 100
inline constexpr int MaxGainIndex = 48;
inline constexpr int ZeroGainIndex = 24;
inline constexpr int MinTrimDb = -18;
inline constexpr int MaxTrimDb = 0;
inline constexpr int ShelfSplitIndex = 170; // 1000 Hz
inline constexpr double ShelfSplitHz = 1000.0;

extern const std::array<double, FrequencyCount> FrequencyTable;
extern const std::array<double, QCount> QTable;

// type mod 3
enum class EqBandType : int { HighShelf = 0, Peak = 1, LowShelf = 2 };

struct EqBand {
    int type = 1; // a growing counter; every reader takes it mod 3
    int freqIndex = 0;
    int qIndex = 35;
    int gainIndex = ZeroGainIndex;
    bool off = false;
    bool deviceOff = false;

    EqBandType bandType() const;
};

struct EqSetting {
    std::array<EqBand, BandCount> bands{};
    int trimDb = 0;
    bool bypass = false;

    // band n = 1..5
    EqBand& band(int n) { return bands.at(static_cast<std::size_t>(n - 1)); }
    const EqBand& band(int n) const { return bands.at(static_cast<std::size_t>(n - 1)); }
};

// The setting at program start.
EqSetting startSetting();

} // namespace tq50r::eq
