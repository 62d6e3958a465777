#include "eq/operations.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>

namespace tq50r::eq {

namespace {

EqBand* bandAt(EqSetting& setting, int n) {
    if (n < 1 || n > BandCount) {
        return nullptr;
    }
    return &setting.band(n);
}

constexpr EditResult Nothing{false, false};
constexpr EditResult Changed{true, true};
constexpr EditResult RefreshOnly{false, true};

EditResult refreshed(bool changed) {
    return {changed, true};
}

// Keeps a shelf on its side of 1000 Hz after its type or frequency was set.
void holdShelfAtSplit(EqBand& band) {
    const EqBandType type = band.bandType();
    if ((type == EqBandType::HighShelf && band.freqIndex < ShelfSplitIndex) ||
        (type == EqBandType::LowShelf && band.freqIndex > ShelfSplitIndex)) {
        band.freqIndex = ShelfSplitIndex;
    }
}

bool sameBand(const EqBand& a, const EqBand& b) {
    return a.type == b.type && a.freqIndex == b.freqIndex && a.qIndex == b.qIndex &&
           a.gainIndex == b.gainIndex && a.off == b.off && a.deviceOff == b.deviceOff;
}

bool sameSetting(const EqSetting& a, const EqSetting& b) {
    if (a.trimDb != b.trimDb || a.bypass != b.bypass) {
        return false;
    }
    return std::equal(a.bands.begin(), a.bands.end(), b.bands.begin(), sameBand);
}

std::string formatFixed(double value, int decimals) {
    // std::to_chars never looks at the locale, so a decimal comma cannot appear.
    constexpr std::size_t bufferSize = 64;
    char buffer[bufferSize];
    const auto result =
        std::to_chars(buffer, buffer + bufferSize, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc{}) {
        return {};
    }
    return std::string(buffer, result.ptr);
}

// The entry of a rising table nearest to a value on the logarithmic scale; the lower one on a tie.
template <std::size_t N> int nearestEntry(const std::array<double, N>& table, double value) {
    if (!(value > 0.0)) {
        return 0;
    }
    const auto upper = std::lower_bound(table.begin(), table.end(), value);
    if (upper == table.begin()) {
        return 0;
    }
    if (upper == table.end()) {
        return static_cast<int>(N - 1);
    }
    const auto lower = std::prev(upper);
    const bool takeUpper = std::log(*upper / value) < std::log(value / *lower);
    // Equal neighbours (a repeated table value) resolve to the first of them.
    const auto chosen = takeUpper ? upper : std::lower_bound(table.begin(), table.end(), *lower);
    return static_cast<int>(chosen - table.begin());
}

constexpr int FrequencyDecimals = 1;
constexpr double KiloScale = 1000.0;
constexpr int QDecimals = 2;

} // namespace

EditResult stepFrequencyUp(EqSetting& setting, int n) {
    EqBand* band = bandAt(setting, n);
    if (band == nullptr) {
        return Nothing;
    }
    if (band->bandType() == EqBandType::LowShelf && band->freqIndex >= ShelfSplitIndex) {
        return Nothing;
    }
    if (band->freqIndex >= MaxFreqIndex) {
        return RefreshOnly;
    }
    ++band->freqIndex;
    return Changed;
}

EditResult stepFrequencyDown(EqSetting& setting, int n) {
    EqBand* band = bandAt(setting, n);
    if (band == nullptr) {
        return Nothing;
    }
    if (band->bandType() == EqBandType::HighShelf && band->freqIndex <= ShelfSplitIndex) {
        return Nothing;
    }
    if (band->freqIndex <= 0) {
        return RefreshOnly;
    }
    --band->freqIndex;
    return Changed;
}

EditResult stepQUp(EqSetting& setting, int n) {
    EqBand* band = bandAt(setting, n);
    if (band == nullptr) {
        return Nothing;
    }
    const int before = band->qIndex;
    band->qIndex = std::min(band->qIndex + 1, MaxQIndex);
    return refreshed(band->qIndex != before);
}

EditResult stepQDown(EqSetting& setting, int n) {
    EqBand* band = bandAt(setting, n);
    if (band == nullptr) {
        return Nothing;
    }
    const int before = band->qIndex;
    band->qIndex = std::max(band->qIndex - 1, 0);
    return refreshed(band->qIndex != before);
}

EditResult stepFrequencyBy(EqSetting& setting, int n, int steps) {
    if (steps == 1) {
        return stepFrequencyUp(setting, n);
    }
    if (steps == -1) {
        return stepFrequencyDown(setting, n);
    }
    EqBand* band = bandAt(setting, n);
    if (band == nullptr || steps == 0) {
        return Nothing;
    }
    const EqBandType type = band->bandType();
    if ((steps > 0 && type == EqBandType::LowShelf && band->freqIndex >= ShelfSplitIndex) ||
        (steps < 0 && type == EqBandType::HighShelf && band->freqIndex <= ShelfSplitIndex)) {
        return Nothing;
    }
    return setFrequencyIndex(setting, n, band->freqIndex + steps);
}

EditResult stepQBy(EqSetting& setting, int n, int steps) {
    EqBand* band = bandAt(setting, n);
    if (band == nullptr || steps == 0) {
        return Nothing;
    }
    return setQIndex(setting, n, band->qIndex + steps);
}

EditResult setFrequencyIndex(EqSetting& setting, int n, int freqIndex) {
    EqBand* band = bandAt(setting, n);
    if (band == nullptr) {
        return Nothing;
    }
    const int before = band->freqIndex;
    band->freqIndex = std::clamp(freqIndex, 0, MaxFreqIndex);
    holdShelfAtSplit(*band);
    return refreshed(band->freqIndex != before);
}

EditResult setQIndex(EqSetting& setting, int n, int qIndex) {
    EqBand* band = bandAt(setting, n);
    if (band == nullptr) {
        return Nothing;
    }
    const int before = band->qIndex;
    band->qIndex = std::clamp(qIndex, 0, MaxQIndex);
    return refreshed(band->qIndex != before);
}

int nearestFrequencyIndex(double hz) {
    return nearestEntry(FrequencyTable, hz);
}

int nearestQIndex(double q) {
    return nearestEntry(QTable, q);
}

std::optional<double> parseTypedValue(std::string_view text) {
    std::string s;
    for (const char c : text) {
        if (c != ' ' && c != '\t') {
            s.push_back(c == ',' ? '.' : c);
        }
    }
    auto endsWith = [&s](std::string_view tail) {
        if (s.size() < tail.size()) {
            return false;
        }
        for (std::size_t i = 0; i < tail.size(); ++i) {
            const char c = s[s.size() - tail.size() + i];
            if (std::tolower(static_cast<unsigned char>(c)) != tail[i]) {
                return false;
            }
        }
        s.resize(s.size() - tail.size());
        return true;
    };
    endsWith("hz");
    const double scale = endsWith("k") ? KiloScale : 1.0;
    double value = 0.0;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
    if (first == last || ec != std::errc{} || ptr != last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value * scale;
}

EditResult cycleType(EqSetting& setting, int n) {
    EqBand* band = bandAt(setting, n);
    if (band == nullptr) {
        return Nothing;
    }
    ++band->type;
    // The test is on the table frequency, strictly below or above 1000.0 Hz.
    const double hz = frequencyHz(band->freqIndex);
    const EqBandType type = band->bandType();
    if ((type == EqBandType::HighShelf && hz < ShelfSplitHz) ||
        (type == EqBandType::LowShelf && hz > ShelfSplitHz)) {
        band->freqIndex = ShelfSplitIndex;
    }
    return Changed;
}

EditResult toggleOff(EqSetting& setting, int n) {
    EqBand* band = bandAt(setting, n);
    if (band == nullptr) {
        return Nothing;
    }
    band->off = !band->off;
    return Changed;
}

EditResult setGainFromFader(EqSetting& setting, int n, int position) {
    EqBand* band = bandAt(setting, n);
    if (band == nullptr) {
        return Nothing;
    }
    const int gainIndex =
        gainIndexFromFaderPosition(std::clamp(position, MinFaderPosition, MaxFaderPosition));
    if (gainIndex == band->gainIndex) {
        return Nothing;
    }
    band->gainIndex = gainIndex;
    return Changed;
}

EditResult setFromPlot(EqSetting& setting, int n, double hz, int gainDb) {
    EqBand* band = bandAt(setting, n);
    if (band == nullptr) {
        return Nothing;
    }
    const EqBand before = *band;
    band->gainIndex = gainIndexFromFaderPosition(-std::clamp(gainDb, MinBandGainDb, MaxBandGainDb));
    if (hz < PlotSnapLowHz) {
        hz = FrequencyTable.front();
    } else if (hz > PlotSnapHighHz) {
        hz = FrequencyTable.back();
    }
    band->freqIndex = frequencyToIndex(hz);
    holdShelfAtSplit(*band);
    return refreshed(!sameBand(before, *band));
}

EditResult stepTrim(EqSetting& setting, int step) {
    const long long next = static_cast<long long>(setting.trimDb) + step;
    if (step == 0 || next < MinTrimDb || next > MaxTrimDb) {
        return Nothing;
    }
    setting.trimDb = static_cast<int>(next);
    return Changed;
}

EditResult toggleBypass(EqSetting& setting) {
    setting.bypass = !setting.bypass;
    return Changed;
}

EditResult applyBandReport(EqSetting& setting, int n, const BandBytes& bytes) {
    EqBand* band = bandAt(setting, n);
    if (band == nullptr) {
        return Nothing;
    }
    const EqBand before = *band;
    *band = decodeBand(bytes);
    return refreshed(!sameBand(before, *band));
}

EditResult applyBlock(EqSetting& setting, const BlockFields& fields) {
    const EqSetting before = setting;
    setting.trimDb = decodeTrim(fields.trim);
    setting.bypass = fields.bypass != 0;
    for (int n = 1; n <= BandCount; ++n) {
        const BandBytes& bytes = fields.bands[static_cast<std::size_t>(n - 1)];
        EqBand& band = setting.band(n);
        const int keptGainIndex = band.gainIndex;
        band = decodeBand(bytes);
        holdShelfAtSplit(band);
        const int position = faderPositionFromGainIndex(bytes.gainIndex);
        band.gainIndex = position == faderPositionFromGainIndex(keptGainIndex)
                             ? keptGainIndex
                             : gainIndexFromFaderPosition(position);
    }
    return refreshed(!sameSetting(before, setting));
}

int frequencyToIndex(double hz) {
    if (hz < FrequencyTable.front()) {
        return 0;
    }
    for (int k = 0; k < MaxFreqIndex; ++k) {
        const auto at = static_cast<std::size_t>(k);
        if (FrequencyTable[at] <= hz && hz < FrequencyTable[at + 1]) {
            return k + 1;
        }
    }
    return MaxFreqIndex;
}

bool shownOff(const EqBand& band, bool connected) {
    return connected ? band.deviceOff : band.off;
}

double frequencyHz(int freqIndex) {
    return FrequencyTable[static_cast<std::size_t>(std::clamp(freqIndex, 0, MaxFreqIndex))];
}

double qValue(int qIndex) {
    return QTable[static_cast<std::size_t>(std::clamp(qIndex, 0, MaxQIndex))];
}

std::string formatFrequency(double hz) {
    return formatFixed(hz, FrequencyDecimals);
}

std::string formatQ(double q) {
    return formatFixed(q, QDecimals);
}

std::string frequencyText(int freqIndex) {
    return formatFrequency(frequencyHz(freqIndex));
}

std::string qText(int qIndex) {
    return formatQ(qValue(qIndex));
}

std::string_view typeName(EqBandType type) {
    switch (type) {
    case EqBandType::HighShelf:
        return "High Shelf";
    case EqBandType::LowShelf:
        return "Low Shelf";
    case EqBandType::Peak:
        break;
    }
    return "Peak";
}

} // namespace tq50r::eq
