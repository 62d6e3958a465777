#include "eq/response.h"

#include "eq/encoding.h"
#include "eq/operations.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tq50r::eq {

namespace {

constexpr double DbPerDecadeOfAmplitude = 20.0;
constexpr double DbPerDecadeOfPower = 10.0;
// 10 log10(x) = (10 / ln 10) ln(x); the natural logarithm is the quicker one.
constexpr double DbPerNeper = DbPerDecadeOfPower / std::numbers::ln10;

// One side (numerator or denominator) of a band's transfer function written
// in the bilinear variable s = (1 - z^-1) / (1 + z^-1):
//   c0 + c1 z^-1 + c2 z^-2 = (1 + z^-1)^2 (alpha s^2 + beta s + gamma),
// so c0 = alpha + beta + gamma, c1 = 2 (gamma - alpha), c2 = alpha - beta + gamma.
// On the unit circle s = j tan(w / 2), and |side|^2 is proportional to
//   (gamma cos^2(w/2) - alpha sin^2(w/2))^2 + beta^2 sin^2(w/2) cos^2(w/2).
// Evaluated this way nothing cancels at low frequencies; the plain sum of
// cosines (1 - cos w) loses about a nanodecibel on narrow low bands.
struct Side {
    double alpha = 0.0;
    double beta = 0.0;
    double gamma = 0.0;
};

struct Sides {
    Side numerator;
    Side denominator;
};

// The peaking and shelving designs of the bilinear transform with frequency
// pre-warping, K = tan(pi f0 / 48000) and V = 10^(|g| / 20) >= 1. A cut is the
// exact inverse of the boost of the same size (numerator and denominator
// swap). Expanded and divided by the denominator's c0 these are the
// coefficients b0..a2 that designBiquad returns.
Sides designSides(FilterKind kind, double gDb, double f0Hz, double q) {
    const double k = std::tan(std::numbers::pi * f0Hz / SampleRateHz);
    const double kk = k * k;
    const double v = std::pow(10.0, std::abs(gDb) / DbPerDecadeOfAmplitude);
    const double sqrt2 = std::numbers::sqrt2;
    Side flat{1.0, 1.0, 1.0};
    Side boosted = flat;
    switch (kind) {
    case FilterKind::Peak:
        flat = {1.0, k / q, kk};
        boosted = {1.0, v * k / q, kk};
        break;
    case FilterKind::LowShelf:
        flat = {1.0, sqrt2 * k, kk};
        boosted = {1.0, std::sqrt(2.0 * v) * k, v * kk};
        break;
    case FilterKind::HighShelf:
        flat = {1.0, sqrt2 * k, kk};
        boosted = {v, std::sqrt(2.0 * v) * k, kk};
        break;
    default:
        break; // unknown kind: equal sides, a flat 0 dB band
    }
    if (gDb >= 0.0) {
        return {boosted, flat};
    }
    return {flat, boosted};
}

// |side(e^jw)|^2 up to a factor common to both sides.
inline double squaredMagnitude(const Side& p, double sinHalfSq, double cosHalfSq,
                               double sinCosHalfSq) {
    const double re = p.gamma * cosHalfSq - p.alpha * sinHalfSq;
    return re * re + p.beta * p.beta * sinCosHalfSq;
}

// 20 log10(|N| / |A|), taken on the squared magnitudes (no square roots).
inline double magnitudeDb(const Sides& h, double sinHalfSq, double cosHalfSq, double sinCosHalfSq) {
    return DbPerDecadeOfPower *
           std::log10(squaredMagnitude(h.numerator, sinHalfSq, cosHalfSq, sinCosHalfSq) /
                      squaredMagnitude(h.denominator, sinHalfSq, cosHalfSq, sinCosHalfSq));
}

ResponseGrid makeGrid() {
    ResponseGrid grid;
    const double topDecades = std::log10(GridTopHz);
    for (int i = 0; i < ResponsePointCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const double hz = std::pow(10.0, topDecades * i / ResponsePointCount);
        const double w = std::numbers::pi * hz / GridTopHz;
        grid.freqHz[at] = hz;
        grid.cosW[at] = std::cos(w);
        grid.sinW[at] = std::sin(w);
        grid.cos2W[at] = std::cos(2.0 * w);
        grid.sin2W[at] = std::sin(2.0 * w);
        const double sinHalf = std::sin(w / 2.0);
        const double cosHalf = std::cos(w / 2.0);
        grid.sinHalfSq[at] = sinHalf * sinHalf;
        grid.cosHalfSq[at] = cosHalf * cosHalf;
        grid.sinCosHalfSq[at] = grid.sinHalfSq[at] * grid.cosHalfSq[at];
    }
    return grid;
}

} // namespace

BiquadCoefficients designBiquad(FilterKind kind, double gDb, double f0Hz, double q) {
    const Sides h = designSides(kind, gDb, f0Hz, q);
    const auto c0 = [](const Side& p) { return p.alpha + p.beta + p.gamma; };
    const auto c1 = [](const Side& p) { return 2.0 * (p.gamma - p.alpha); };
    const auto c2 = [](const Side& p) { return p.alpha - p.beta + p.gamma; };
    const double a0 = c0(h.denominator);
    return {c0(h.numerator) / a0, c1(h.numerator) / a0, c2(h.numerator) / a0,
            c1(h.denominator) / a0, c2(h.denominator) / a0};
}

FilterKind filterKind(EqBandType type) {
    switch (type) {
    case EqBandType::LowShelf:
        return FilterKind::LowShelf;
    case EqBandType::HighShelf:
        return FilterKind::HighShelf;
    case EqBandType::Peak:
        break;
    }
    return FilterKind::Peak;
}

const ResponseGrid& ResponseGrid::instance() {
    static const ResponseGrid grid = makeGrid();
    return grid;
}

void computeBandResponse(FilterKind kind, double gDb, double f0Hz, double q, BandResponse& out) {
    const Sides h = designSides(kind, gDb, f0Hz, q);
    const ResponseGrid& grid = ResponseGrid::instance();
    // Power ratios first (a loop the compiler vectorises), then the logarithms.
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = squaredMagnitude(h.numerator, grid.sinHalfSq[i], grid.cosHalfSq[i],
                                  grid.sinCosHalfSq[i]) /
                 squaredMagnitude(h.denominator, grid.sinHalfSq[i], grid.cosHalfSq[i],
                                  grid.sinCosHalfSq[i]);
    }
    for (double& value : out) {
        value = DbPerNeper * std::log(value);
    }
}

BandResponse computeBandResponse(FilterKind kind, double gDb, double f0Hz, double q) {
    BandResponse out;
    computeBandResponse(kind, gDb, f0Hz, q, out);
    return out;
}

double bandResponseAt(FilterKind kind, double gDb, double f0Hz, double q, double hz) {
    const Sides h = designSides(kind, gDb, f0Hz, q);
    const double halfW = std::numbers::pi * hz / GridTopHz / 2.0;
    const double sinHalf = std::sin(halfW);
    const double cosHalf = std::cos(halfW);
    const double sinHalfSq = sinHalf * sinHalf;
    const double cosHalfSq = cosHalf * cosHalf;
    return magnitudeDb(h, sinHalfSq, cosHalfSq, sinHalfSq * cosHalfSq);
}

void computeBandResponse(const EqBand& band, bool shownOff, BandResponse& out) {
    if (shownOff) {
        out.fill(0.0);
        return;
    }
    computeBandResponse(filterKind(band.bandType()), gainDbFromGainIndex(band.gainIndex),
                        frequencyHz(band.freqIndex), qValue(band.qIndex), out);
}

void computeTotalResponse(const std::array<BandResponse, BandCount>& bands, int trimDb,
                          TotalResponse& total) {
    // Band by band over the whole array (the compiler vectorises these loops);
    // each point still sums bands 1..5 in order and then adds the trim.
    total = bands[0];
    for (std::size_t b = 1; b < bands.size(); ++b) {
        const BandResponse& band = bands[b];
        for (std::size_t i = 0; i < total.size(); ++i) {
            total[i] += band[i];
        }
    }
    const auto trim = static_cast<double>(trimDb);
    for (double& value : total) {
        value += trim;
    }
}

void EqResponse::updateBand(int n, const EqBand& band, bool shownOff) {
    if (n < 1 || n > BandCount) {
        return;
    }
    computeBandResponse(band, shownOff, bands[static_cast<std::size_t>(n - 1)]);
}

void EqResponse::updateTotal(int trimDb) {
    computeTotalResponse(bands, trimDb, total);
}

void EqResponse::updateAll(const EqSetting& setting, bool connected) {
    for (int n = 1; n <= BandCount; ++n) {
        updateBand(n, setting.band(n), shownOff(setting.band(n), connected));
    }
    updateTotal(setting.trimDb);
}

double markerX(double f0Hz) {
    return ResponsePointCount * std::log10(f0Hz) / std::log10(GridTopHz);
}

MarkerPosition markerPosition(const EqBand& band, int trimDb) {
    const int levelDb = trimDb + gainDbFromGainIndex(band.gainIndex);
    return {markerX(frequencyHz(band.freqIndex)), static_cast<double>(levelDb)};
}

} // namespace tq50r::eq
