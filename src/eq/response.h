// Magnitude response of the five EQ bands: each band is a second-order
// digital filter designed at 48 kHz and evaluated in dB on a fixed
// logarithmic grid of 1024 frequencies from 1 Hz up to (not including)
// 24 kHz. All storage is fixed-size; a recompute allocates nothing.
#pragma once

#include "eq/eq_setting.h"

#include <array>

namespace tq50r::eq {

inline constexpr double SampleRateHz = 48000.0;
inline constexpr double GridTopHz = SampleRateHz / 2.0; // 24000 Hz, one step past the last point
inline constexpr int ResponsePointCount = 1024;

// Filter kind codes of the band designs.
enum class FilterKind : int { Peak = 1, LowShelf = 2, HighShelf = 3 };

FilterKind filterKind(EqBandType type);

using BandResponse = std::array<double, ResponsePointCount>;
using TotalResponse = std::array<double, ResponsePointCount>;

// f_i = 24000^(i / 1024) Hz for i = 0..1023, with the cosines and sines of
// w_i = pi * f_i / 24000 and of 2 w_i, and the squared sine and cosine of
// w_i / 2 (what the magnitude is evaluated from), computed once for the process.
struct ResponseGrid {
    std::array<double, ResponsePointCount> freqHz{};
    std::array<double, ResponsePointCount> cosW{};
    std::array<double, ResponsePointCount> sinW{};
    std::array<double, ResponsePointCount> cos2W{};
    std::array<double, ResponsePointCount> sin2W{};
    std::array<double, ResponsePointCount> sinHalfSq{};    // sin^2(w / 2)
    std::array<double, ResponsePointCount> cosHalfSq{};    // cos^2(w / 2)
    std::array<double, ResponsePointCount> sinCosHalfSq{}; // sin^2(w / 2) cos^2(w / 2)

    static const ResponseGrid& instance();
};

// A band's normalised biquad coefficients (a0 = 1):
// H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2).
struct BiquadCoefficients {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
};

BiquadCoefficients designBiquad(FilterKind kind, double gDb, double f0Hz, double q);

// One band's response in dB at every grid point. g is the gain in dB (>= 0
// boosts, < 0 cuts, 0 is flat), f0 the centre or corner frequency in Hz and q
// the quality factor (shelves ignore it: their slope is fixed). An unknown
// kind gives a flat 0 dB band.
void computeBandResponse(FilterKind kind, double gDb, double f0Hz, double q, BandResponse& out);
BandResponse computeBandResponse(FilterKind kind, double gDb, double f0Hz, double q);

// The same band's response in dB at any frequency hz (0..24000).
double bandResponseAt(FilterKind kind, double gDb, double f0Hz, double q, double hz);

// Fills `out` for a band as the editor holds it: kind from its type, f0 and Q
// from the tables, the fader's whole-dB gain. A band shown off is 0 dB
// everywhere.
void computeBandResponse(const EqBand& band, bool shownOff, BandResponse& out);

// total[i] = sum of the five band responses at i, plus trimDb. Bypass does
// not enter the curve.
void computeTotalResponse(const std::array<BandResponse, BandCount>& bands, int trimDb,
                          TotalResponse& total);

// The band curves kept between recomputes and the total built from them.
// Everything starts at 0 dB.
struct EqResponse {
    std::array<BandResponse, BandCount> bands{};
    TotalResponse total{};

    // Recomputes band n (1..5); other numbers are ignored.
    void updateBand(int n, const EqBand& band, bool shownOff);
    // Rebuilds the total from the kept bands (after a band update or a trim change).
    void updateTotal(int trimDb);
    // Recomputes all five bands and the total.
    void updateAll(const EqSetting& setting, bool connected);
};

// A band marker in plot units: x is the fractional grid index of f0,
// 1024 * log10(f0) / log10(24000); y is trimDb plus the band's gain.
struct MarkerPosition {
    double x = 0.0;
    double y = 0.0;
};

double markerX(double f0Hz);
MarkerPosition markerPosition(const EqBand& band, int trimDb);

} // namespace tq50r::eq
