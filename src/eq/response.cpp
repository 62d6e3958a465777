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

// b0, b1, b2 over a0 = 1, a1, a2.
struct Biquad {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
};

// Peaking and shelving designs by the bilinear transform with pre-warping;
// a cut is the exact inverse of the boost of the same size. V >= 1 always.
Biquad design(FilterKind kind, double gDb, double f0Hz, double q) {
    const double k = std::tan(std::numbers::pi * f0Hz / SampleRateHz);
    const double kk = k * k;
    const bool boost = gDb >= 0.0;
    const double v = std::pow(10.0, std::abs(gDb) / DbPerDecadeOfAmplitude);
    const double sqrt2 = std::numbers::sqrt2;
    Biquad c;
    switch (kind) {
    case FilterKind::Peak: {
        if (boost) {
            const double d = 1.0 + k / q + kk;
            c.b0 = (1.0 + v * k / q + kk) / d;
            c.b1 = 2.0 * (kk - 1.0) / d;
            c.b2 = (1.0 - v * k / q + kk) / d;
            c.a1 = c.b1;
            c.a2 = (1.0 - k / q + kk) / d;
        } else {
            const double d = 1.0 + v * k / q + kk;
            c.b0 = (1.0 + k / q + kk) / d;
            c.b1 = 2.0 * (kk - 1.0) / d;
            c.b2 = (1.0 - k / q + kk) / d;
            c.a1 = c.b1;
            c.a2 = (1.0 - v * k / q + kk) / d;
        }
        break;
    }
    case FilterKind::LowShelf: {
        const double sqrt2v = std::sqrt(2.0 * v);
        if (boost) {
            const double d = 1.0 + sqrt2 * k + kk;
            c.b0 = (1.0 + sqrt2v * k + v * kk) / d;
            c.b1 = 2.0 * (v * kk - 1.0) / d;
            c.b2 = (1.0 - sqrt2v * k + v * kk) / d;
            c.a1 = 2.0 * (kk - 1.0) / d;
            c.a2 = (1.0 - sqrt2 * k + kk) / d;
        } else {
            const double d = 1.0 + sqrt2v * k + v * kk;
            c.b0 = (1.0 + sqrt2 * k + kk) / d;
            c.b1 = 2.0 * (kk - 1.0) / d;
            c.b2 = (1.0 - sqrt2 * k + kk) / d;
            c.a1 = 2.0 * (v * kk - 1.0) / d;
            c.a2 = (1.0 - sqrt2v * k + v * kk) / d;
        }
        break;
    }
    case FilterKind::HighShelf: {
        const double sqrt2v = std::sqrt(2.0 * v);
        if (boost) {
            const double d = 1.0 + sqrt2 * k + kk;
            c.b0 = (v + sqrt2v * k + kk) / d;
            c.b1 = 2.0 * (kk - v) / d;
            c.b2 = (v - sqrt2v * k + kk) / d;
            c.a1 = 2.0 * (kk - 1.0) / d;
            c.a2 = (1.0 - sqrt2 * k + kk) / d;
        } else {
            const double n = v + sqrt2v * k + kk;
            const double sqrt2overV = std::sqrt(2.0 / v);
            const double d = 1.0 + sqrt2overV * k + kk / v;
            c.b0 = (1.0 + sqrt2 * k + kk) / n;
            c.b1 = 2.0 * (kk - 1.0) / n;
            c.b2 = (1.0 - sqrt2 * k + kk) / n;
            c.a1 = 2.0 * (kk / v - 1.0) / d;
            c.a2 = (1.0 - sqrt2overV * k + kk / v) / d;
        }
        break;
    }
    default:
        break; // unknown kind: the flat pass-through of a default Biquad
    }
    return c;
}

// |H(e^jw)| in dB for H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2),
// given the cosines and sines of w and 2w.
inline double magnitudeDb(const Biquad& c, double cosW, double sinW, double cos2W, double sin2W) {
    const double nRe = c.b0 + c.b1 * cosW + c.b2 * cos2W;
    const double nIm = c.b1 * sinW + c.b2 * sin2W;
    const double aRe = 1.0 + c.a1 * cosW + c.a2 * cos2W;
    const double aIm = c.a1 * sinW + c.a2 * sin2W;
    // 20 log10(|N| / |A|), taken on the squared magnitudes (no square roots).
    return DbPerDecadeOfPower * std::log10((nRe * nRe + nIm * nIm) / (aRe * aRe + aIm * aIm));
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
    }
    return grid;
}

} // namespace

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
    const Biquad c = design(kind, gDb, f0Hz, q);
    const ResponseGrid& grid = ResponseGrid::instance();
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = magnitudeDb(c, grid.cosW[i], grid.sinW[i], grid.cos2W[i], grid.sin2W[i]);
    }
}

BandResponse computeBandResponse(FilterKind kind, double gDb, double f0Hz, double q) {
    BandResponse out;
    computeBandResponse(kind, gDb, f0Hz, q, out);
    return out;
}

double bandResponseAt(FilterKind kind, double gDb, double f0Hz, double q, double hz) {
    const Biquad c = design(kind, gDb, f0Hz, q);
    const double w = std::numbers::pi * hz / GridTopHz;
    return magnitudeDb(c, std::cos(w), std::sin(w), std::cos(2.0 * w), std::sin(2.0 * w));
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
    for (std::size_t i = 0; i < total.size(); ++i) {
        double sum = 0.0;
        for (const BandResponse& band : bands) {
            sum += band[i];
        }
        total[i] = sum + trimDb;
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
