// Edit operations on an EqSetting with their limits, the frequency lookup
// used by the plot drag, and the display texts of band values.
//
// Every operation names the band by its number 1..5; a number outside that
// range leaves the setting alone and asks for nothing.
#pragma once

#include "eq/encoding.h"
#include "eq/eq_setting.h"

#include <optional>
#include <string>
#include <string_view>

namespace tq50r::eq {

inline constexpr int MinBandGainDb = -12;
inline constexpr int MaxBandGainDb = 12;
// A plot drag below this frequency snaps to the lowest table entry, above
// PlotSnapHighHz to the highest one.
inline constexpr double PlotSnapLowHz = 19.0;
inline constexpr double PlotSnapHighHz = 20000.0;

// What an edit asks of its caller.
//  - changed: the setting now holds a different value than before the call.
//  - refresh: the band (or trim/bypass/setting) must be refreshed: redrawn
//    from the model when offline, sent to the device when connected. A step
//    that hits a table end still refreshes (changed = false, refresh = true);
//    a refused step (a shelf held at 1000 Hz, a trim at its limit, an equal
//    fader value) gives neither.
struct EditResult {
    bool changed = false;
    bool refresh = false;

    friend bool operator==(const EditResult&, const EditResult&) = default;
};

// freqIndex + 1; at 300 nothing changes but the band is refreshed. A LowShelf
// band at 1000 Hz (index 170) does not move and asks for nothing.
EditResult stepFrequencyUp(EqSetting& setting, int n);
// freqIndex - 1; at 0 nothing changes but the band is refreshed. A HighShelf
// band at 1000 Hz does not move and asks for nothing.
EditResult stepFrequencyDown(EqSetting& setting, int n);
// Moves the frequency by `steps` table entries as one edit (a Shift+wheel notch moves ten). One
// step follows stepFrequencyUp/Down; a longer one stops at the table ends and a shelf at 1000 Hz.
EditResult stepFrequencyBy(EqSetting& setting, int n, int steps);
// Moves the Q by `steps` table entries as one edit, stopping at the table ends.
EditResult stepQBy(EqSetting& setting, int n, int steps);
// A typed value taken into the model: the index is clamped into the table and a shelf is kept on
// its side of 1000 Hz. The band is refreshed either way.
EditResult setFrequencyIndex(EqSetting& setting, int n, int freqIndex);
EditResult setQIndex(EqSetting& setting, int n, int qIndex);
// The table entry nearest to a typed value (nearest on the logarithmic scale, the lower entry on a
// tie); values at or below zero give entry 0.
int nearestFrequencyIndex(double hz);
int nearestQIndex(double q);
// A number typed into a frequency or Q box, read without the process locale: a decimal point or
// comma, surrounding blanks, an optional unit "Hz" and an optional "k" for thousands ("1.5k").
// Nothing for text that is not such a number.
std::optional<double> parseTypedValue(std::string_view text);
// qIndex + 1 up to 100 / qIndex - 1 down to 0; the band is refreshed either way.
EditResult stepQUp(EqSetting& setting, int n);
EditResult stepQDown(EqSetting& setting, int n);
// Advances Peak -> LowShelf -> HighShelf -> Peak. A new HighShelf below
// 1000 Hz or a new LowShelf above 1000 Hz moves to 1000 Hz (index 170).
EditResult cycleType(EqSetting& setting, int n);
// Flips `off`; `deviceOff` changes only when the device reports.
EditResult toggleOff(EqSetting& setting, int n);
// gainIndex = 2 * position + 24 with the position limited to -12..12. An
// equal value is no change and asks for nothing.
EditResult setGainFromFader(EqSetting& setting, int n, int position);
// A drag on the plot: hz below 19 snaps to 19.7, above 20000 to 20160, then
// freqIndex = frequencyToIndex(hz); gainIndex = 24 - 2 * gainDb with gainDb
// limited to -12..12. A shelf band dragged across 1000 Hz is held at 1000 Hz
// and is still refreshed, so display and device follow what the model holds.
EditResult setFromPlot(EqSetting& setting, int n, double hz, int gainDb);
// trimDb + step; a step that would leave -18..0 is refused (nothing changes
// and nothing is sent).
EditResult stepTrim(EqSetting& setting, int step);
// Flips bypass (the offline path; connected, the value follows the report).
EditResult toggleBypass(EqSetting& setting);
// Decodes one band as reported by the device: type, frequency and Q clamped,
// gainIndex taken as is, and both `off` and `deviceOff` set from the off byte.
// A band number outside 1..5 is ignored (no change, no refresh).
EditResult applyBandReport(EqSetting& setting, int n, const BandBytes& bytes);
// Decodes a whole setting (device report, reset block, preset file). The gain
// byte sets the band's fader position p = byte / 2 - 12 (truncated, limited to
// -12..12); gainIndex becomes 2p + 24 only when p differs from the fader's
// current position, just as a fader that does not move reports no change.
// A HighShelf below 1000 Hz or a LowShelf above it is moved to 1000 Hz.
EditResult applyBlock(EqSetting& setting, const BlockFields& fields);

// The upper table neighbour of hz: k + 1 for the first k with
// FrequencyTable[k] <= hz < FrequencyTable[k + 1]; 0 below 19.7 Hz, 300 at or
// above 20160 Hz (and for a NaN).
int frequencyToIndex(double hz);

// The band as the editor shows it: `deviceOff` while connected, `off` otherwise.
bool shownOff(const EqBand& band, bool connected);

// Table values for an index, clamped into the table.
double frequencyHz(int freqIndex);
double qValue(int qIndex);

// Display texts, independent of the process locale: frequency with one
// decimal ("19.7", "1000.0"), Q with two ("0.40", "2.10").
std::string formatFrequency(double hz);
std::string formatQ(double q);
std::string frequencyText(int freqIndex);
std::string qText(int qIndex);
// "High Shelf", "Peak" or "Low Shelf".
std::string_view typeName(EqBandType type);

} // namespace tq50r::eq
