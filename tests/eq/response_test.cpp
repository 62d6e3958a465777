// The response math against a direct complex evaluation in long double, the
// properties the designs must have, and known values of the curves.
#include "eq/encoding.h"
#include "eq/operations.h"
#include "eq/response.h"

#include <cmath>
#include <complex>
#include <gtest/gtest.h>
#include <numbers>
#include <sstream>
#include <utility>
#include <vector>

namespace tq50r::eq {
namespace {

using Real = long double;
using Complex = std::complex<Real>;

// ---- oracle --------------------------------------------------------------
// The band designs written out once more in long double, straight from the
// formulas, and H evaluated as a complex quotient at z = e^{jw}.

struct Coefficients {
    Real b0, b1, b2, a0, a1, a2;
};

Coefficients oracleDesign(FilterKind kind, Real g, Real f0, Real q) {
    const Real pi = std::numbers::pi_v<Real>;
    const Real k = std::tan(pi * f0 / 48000.0L);
    const Real v = std::pow(10.0L, std::fabs(g) / 20.0L);
    const Real r2 = std::sqrt(2.0L);
    const Real r2v = std::sqrt(2.0L * v);
    Coefficients c{};
    if (kind == FilterKind::Peak) {
        if (g >= 0) {
            c = {1 + v * k / q + k * k, 2 * (k * k - 1), 1 - v * k / q + k * k,
                 1 + k / q + k * k,     2 * (k * k - 1), 1 - k / q + k * k};
        } else {
            c = {1 + k / q + k * k,     2 * (k * k - 1), 1 - k / q + k * k,
                 1 + v * k / q + k * k, 2 * (k * k - 1), 1 - v * k / q + k * k};
        }
    } else if (kind == FilterKind::LowShelf) {
        if (g >= 0) {
            c = {1 + r2v * k + v * k * k, 2 * (v * k * k - 1), 1 - r2v * k + v * k * k,
                 1 + r2 * k + k * k,      2 * (k * k - 1),     1 - r2 * k + k * k};
        } else {
            c = {1 + r2 * k + k * k,      2 * (k * k - 1),     1 - r2 * k + k * k,
                 1 + r2v * k + v * k * k, 2 * (v * k * k - 1), 1 - r2v * k + v * k * k};
        }
    } else {
        if (g >= 0) {
            c = {v + r2v * k + k * k, 2 * (k * k - v), v - r2v * k + k * k,
                 1 + r2 * k + k * k,  2 * (k * k - 1), 1 - r2 * k + k * k};
        } else {
            // Numerator over V + sqrt(2V)K + K^2, denominator over D' = 1 + sqrt(2/V)K + K^2/V.
            const Real n = v + r2v * k + k * k;
            const Real r2overV = std::sqrt(2.0L / v);
            const Real d = 1 + r2overV * k + k * k / v;
            c = {(1 + r2 * k + k * k) / n, 2 * (k * k - 1) / n,
                 (1 - r2 * k + k * k) / n, 1,
                 2 * (k * k / v - 1) / d,  (1 - r2overV * k + k * k / v) / d};
        }
    }
    return c;
}

Real oracleDb(const Coefficients& c, Real hz) {
    const Real w = std::numbers::pi_v<Real> * hz / 24000.0L;
    const Complex z1 = std::polar(1.0L, -w);
    const Complex z2 = std::polar(1.0L, -2.0L * w);
    const Complex h = (c.b0 + c.b1 * z1 + c.b2 * z2) / (c.a0 + c.a1 * z1 + c.a2 * z2);
    return 20.0L * std::log10(std::abs(h));
}

Real oracleGridHz(int i) {
    return std::pow(24000.0L, static_cast<Real>(i) / 1024.0L);
}

constexpr double OracleToleranceDb = 1e-9;
constexpr double ValueToleranceDb = 1e-3;

// ---- grid ------------------------------------------------------------------

TEST(ResponseGrid, PointsAreLogSpacedFromOneHzBelow24k) {
    const ResponseGrid& grid = ResponseGrid::instance();
    EXPECT_DOUBLE_EQ(grid.freqHz[0], 1.0);
    EXPECT_NEAR(grid.freqHz[256], 12.447, 1e-3);
    EXPECT_NEAR(grid.freqHz[512], 154.92, 1e-2);
    EXPECT_NEAR(grid.freqHz[768], 1928.2, 0.05);
    EXPECT_NEAR(grid.freqHz[1023], 23764.8, 0.05);
    for (int i = 0; i < ResponsePointCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        ASSERT_NEAR(grid.freqHz[at], static_cast<double>(oracleGridHz(i)), grid.freqHz[at] * 1e-13);
        const double w = std::numbers::pi * grid.freqHz[at] / 24000.0;
        ASSERT_NEAR(grid.cosW[at], std::cos(w), 1e-15);
        ASSERT_NEAR(grid.sinW[at], std::sin(w), 1e-15);
        ASSERT_NEAR(grid.cos2W[at], std::cos(2 * w), 1e-15);
        ASSERT_NEAR(grid.sin2W[at], std::sin(2 * w), 1e-15);
    }
}

// ---- against the oracle ------------------------------------------------------

struct Case {
    FilterKind kind;
    int gainDb;
    int freqIndex;
    int qIndex;
    double f0() const { return FrequencyTable[static_cast<std::size_t>(freqIndex)]; }
    double q() const { return QTable[static_cast<std::size_t>(qIndex)]; }
};

std::vector<Case> manySettings() {
    std::vector<Case> cases;
    for (FilterKind kind : {FilterKind::Peak, FilterKind::LowShelf, FilterKind::HighShelf}) {
        for (int gainDb : {-12, -11, -6, -1, 0, 1, 3, 6, 12}) {
            for (int freqIndex : {0, 1, 37, 100, 169, 170, 171, 233, 290, 300}) {
                for (int qIndex : {0, 16, 35, 64, 100}) {
                    cases.push_back({kind, gainDb, freqIndex, qIndex});
                }
            }
        }
    }
    return cases;
}

TEST(BandResponse, MatchesDirectComplexEvaluationEverywhere) {
    BandResponse out{};
    double worst = 0.0;
    for (const Case& c : manySettings()) {
        const double f0 = c.f0();
        const double q = c.q();
        computeBandResponse(c.kind, c.gainDb, f0, q, out);
        const Coefficients oracle = oracleDesign(c.kind, c.gainDb, f0, q);
        for (int i = 0; i < ResponsePointCount; ++i) {
            const double expected = static_cast<double>(oracleDb(oracle, oracleGridHz(i)));
            const double diff = std::fabs(out[static_cast<std::size_t>(i)] - expected);
            worst = std::max(worst, diff);
            ASSERT_LE(diff, OracleToleranceDb)
                << "kind " << static_cast<int>(c.kind) << " g " << c.gainDb << " f0 " << f0 << " Q "
                << q << " at point " << i;
        }
    }
    std::ostringstream worstText;
    worstText << std::scientific << worst;
    RecordProperty("worst_difference_db", worstText.str());
}

TEST(BandResponse, CoefficientsAreTheTabledDesigns) {
    for (const Case& c : manySettings()) {
        const double f0 = c.f0();
        const double q = c.q();
        const BiquadCoefficients got = designBiquad(c.kind, c.gainDb, f0, q);
        const Coefficients raw = oracleDesign(c.kind, c.gainDb, f0, q);
        const Real a0 = raw.a0;
        const Real expected[] = {raw.b0 / a0, raw.b1 / a0, raw.b2 / a0, raw.a1 / a0, raw.a2 / a0};
        const double actual[] = {got.b0, got.b1, got.b2, got.a1, got.a2};
        for (int k = 0; k < 5; ++k) {
            ASSERT_NEAR(actual[k], static_cast<double>(expected[k]), 1e-12)
                << "coefficient " << k << " kind " << static_cast<int>(c.kind) << " g " << c.gainDb
                << " f0 " << f0 << " Q " << q;
        }
    }
}

TEST(BandResponse, SingleFrequencyEvaluationMatchesOracle) {
    for (const Case& c : manySettings()) {
        const double f0 = c.f0();
        const double q = c.q();
        const Coefficients oracle = oracleDesign(c.kind, c.gainDb, f0, q);
        for (double hz : {5.0, 100.0, 1000.0, f0, 23999.0}) {
            ASSERT_NEAR(bandResponseAt(c.kind, c.gainDb, f0, q, hz),
                        static_cast<double>(oracleDb(oracle, hz)), OracleToleranceDb);
        }
    }
}

// ---- properties of the designs ----------------------------------------------

TEST(BandResponse, ZeroGainIsFlatForEveryKindFrequencyAndQ) {
    for (const Case& c : manySettings()) {
        if (c.gainDb != 0) {
            continue;
        }
        for (double db : computeBandResponse(c.kind, 0.0, c.f0(), c.q())) {
            ASSERT_NEAR(db, 0.0, 1e-12);
        }
    }
}

TEST(BandResponse, CutIsTheExactMirrorOfTheBoost) {
    for (const Case& c : manySettings()) {
        if (c.gainDb <= 0) {
            continue;
        }
        const double f0 = c.f0();
        const double q = c.q();
        const BandResponse boost = computeBandResponse(c.kind, c.gainDb, f0, q);
        const BandResponse cut = computeBandResponse(c.kind, -c.gainDb, f0, q);
        for (std::size_t i = 0; i < boost.size(); ++i) {
            ASSERT_NEAR(boost[i], -cut[i], 1e-9) << "kind " << static_cast<int>(c.kind);
        }
    }
}

TEST(BandResponse, ShelvesIgnoreQ) {
    for (FilterKind kind : {FilterKind::LowShelf, FilterKind::HighShelf}) {
        const BandResponse wide = computeBandResponse(kind, 9.0, 500.0, QTable.front());
        const BandResponse narrow = computeBandResponse(kind, 9.0, 500.0, QTable.back());
        EXPECT_EQ(wide, narrow);
    }
}

TEST(BandResponse, UnknownKindIsFlat) {
    const BandResponse out = computeBandResponse(static_cast<FilterKind>(7), 12.0, 1000.0, 1.0);
    for (double db : out) {
        ASSERT_EQ(db, 0.0);
    }
}

// ---- known values ------------------------------------------------------------

struct KnownValue {
    FilterKind kind;
    double gainDb;
    double f0Hz;
    double q;
    double atHz;
    double expectedDb;
};

TEST(BandResponse, KnownValuesOfTheDesigns) {
    const double top = ResponseGrid::instance().freqHz.back();
    const KnownValue values[] = {
        {FilterKind::Peak, 6, 1000, 1.0, 1000, 6.0},
        {FilterKind::Peak, -6, 1000, 1.0, 1000, -6.0},
        {FilterKind::Peak, 6, 1000, 1.0, 100, 0.13},
        {FilterKind::LowShelf, 12, 100, 1.0, 1, 12.000},
        {FilterKind::LowShelf, 12, 100, 1.0, 100, 9.255},
        {FilterKind::LowShelf, 12, 100, 1.0, 200, 2.726},
        {FilterKind::LowShelf, 12, 100, 1.0, top, 0.000},
        {FilterKind::HighShelf, -12, 1000, 1.0, 1, 0.000},
        {FilterKind::HighShelf, -12, 1000, 1.0, 1000, -9.255},
        {FilterKind::HighShelf, -12, 1000, 1.0, 2000, -11.758},
        {FilterKind::HighShelf, -12, 1000, 1.0, top, -12.000},
        {FilterKind::HighShelf, 6, 1000, 1.0, 1000, 3.963},
        {FilterKind::HighShelf, 6, 1000, 1.0, 2000, 5.808},
        {FilterKind::Peak, 12, 100, 0.4, 100, 12.000},
        {FilterKind::Peak, 12, 100, 0.4, 200, 10.762},
        {FilterKind::Peak, 12, 100, 128, 200, 0.002},
    };
    for (const KnownValue& v : values) {
        const double tolerance = v.expectedDb == 0.13 ? 0.005 : ValueToleranceDb;
        EXPECT_NEAR(bandResponseAt(v.kind, v.gainDb, v.f0Hz, v.q, v.atHz), v.expectedDb, tolerance)
            << "kind " << static_cast<int>(v.kind) << " g " << v.gainDb << " f0 " << v.f0Hz
            << " at " << v.atHz;
    }
    // The peak is exact at its centre.
    EXPECT_NEAR(bandResponseAt(FilterKind::Peak, 6, 1000, 1.0, 1000), 6.0, 1e-9);
}

TEST(BandResponse, GridEndsOfShelvesMatchTheirPlateaus) {
    const BandResponse low = computeBandResponse(FilterKind::LowShelf, 12, 100, 1.0);
    EXPECT_NEAR(low.front(), 12.0, ValueToleranceDb);
    EXPECT_NEAR(low.back(), 0.0, ValueToleranceDb);
    const BandResponse high = computeBandResponse(FilterKind::HighShelf, -12, 1000, 1.0);
    EXPECT_NEAR(high.front(), 0.0, ValueToleranceDb);
    EXPECT_NEAR(high.back(), -12.0, ValueToleranceDb);
}

// ---- bands of a setting, total and markers -------------------------------------

TEST(EqResponse, BandFollowsTypeTablesAndFaderGain) {
    EqBand band;
    band.type = 5; // counter past 2: LowShelf
    band.freqIndex = 100;
    band.qIndex = 35;
    // 12: fader -6, +6 dB; 13: half dB, the fader shows +5; 200: beyond the fader, its limit.
    const std::pair<int, double> gains[] = {{12, 6.0}, {13, 5.0}, {200, -12.0}};
    for (const auto& [gainIndex, gainDb] : gains) {
        band.gainIndex = gainIndex;
        BandResponse out{};
        computeBandResponse(band, false, out);
        EXPECT_EQ(out, computeBandResponse(FilterKind::LowShelf, gainDb, 198.4, 3.0)) << gainIndex;
    }
}

TEST(EqResponse, HalfDbGainAndShownOffBandsAreFlat) {
    EqBand band;
    band.gainIndex = 25; // +-0.5 dB falls to the fader's 0 dB
    BandResponse out{};
    out.fill(99.0);
    computeBandResponse(band, false, out);
    for (double db : out) {
        ASSERT_NEAR(db, 0.0, 1e-12);
    }
    band.gainIndex = 0; // +12 dB, but off
    out.fill(99.0);
    computeBandResponse(band, true, out);
    for (double db : out) {
        ASSERT_EQ(db, 0.0);
    }
}

TEST(EqResponse, TotalIsSumOfBandsPlusTrim) {
    EqSetting setting = startSetting();
    const int gains[] = {4, 12, 20, 30, 44};
    for (int n = 1; n <= BandCount; ++n) {
        setting.band(n).type = n;
        setting.band(n).gainIndex = gains[n - 1];
    }
    setting.trimDb = -7;
    setting.bypass = true; // does not enter the curve
    EqResponse response;
    response.updateAll(setting, false);
    for (std::size_t i = 0; i < response.total.size(); ++i) {
        double sum = -7.0;
        for (int n = 1; n <= BandCount; ++n) {
            BandResponse one{};
            computeBandResponse(setting.band(n), false, one);
            sum += one[i];
        }
        ASSERT_NEAR(response.total[i], sum, 1e-12);
    }
}

TEST(EqResponse, UpdatingOneBandLeavesTheOthersAndShownOffFollowsConnection) {
    EqSetting setting = startSetting();
    for (EqBand& band : setting.bands) {
        band.gainIndex = 0;
    }
    setting.band(2).off = true;       // what the PC edited
    setting.band(4).deviceOff = true; // what the device reported
    EqResponse response;
    response.updateAll(setting, false);
    EXPECT_EQ(response.bands[1], BandResponse{});
    EXPECT_NE(response.bands[3], BandResponse{});
    response.updateAll(setting, true);
    EXPECT_NE(response.bands[1], BandResponse{});
    EXPECT_EQ(response.bands[3], BandResponse{});

    const BandResponse band1 = response.bands[0];
    const BandResponse band3 = response.bands[2];
    setting.band(2).gainIndex = 48;
    response.updateBand(2, setting.band(2), false);
    response.updateBand(0, setting.band(2), false); // no such band
    response.updateBand(6, setting.band(2), false);
    EXPECT_EQ(response.bands[0], band1);
    EXPECT_EQ(response.bands[2], band3);
    BandResponse expected{};
    computeBandResponse(setting.band(2), false, expected);
    EXPECT_EQ(response.bands[1], expected);
}

TEST(EqResponse, AllBandsOffWithTrimIsFlatAtTheTrim) {
    EqSetting setting = startSetting();
    for (EqBand& band : setting.bands) {
        band.gainIndex = 0;
        band.off = true;
    }
    setting.trimDb = -5;
    EqResponse response;
    response.updateAll(setting, false);
    for (double db : response.total) {
        ASSERT_EQ(db, -5.0);
    }
    // A trim change rebuilds the total from the kept bands alone.
    response.updateTotal(-18);
    for (double db : response.total) {
        ASSERT_EQ(db, -18.0);
    }
}

TEST(Marker, PositionIsGridIndexOfFrequencyAndLevelWithTrim) {
    EXPECT_NEAR(markerX(19.7), 302.6, 0.05);
    EXPECT_NEAR(markerX(1000.0), 701.3, 0.05);
    EXPECT_NEAR(markerX(20160.0), 1006.3, 0.05);
    EXPECT_NEAR(markerX(ResponseGrid::instance().freqHz[600]), 600.0, 1e-9);

    EqBand band;
    band.freqIndex = ShelfSplitIndex;
    band.gainIndex = 12; // +6 dB
    const MarkerPosition marker = markerPosition(band, -6);
    EXPECT_NEAR(marker.x, 701.3, 0.05);
    EXPECT_EQ(marker.y, 0.0);
    band.gainIndex = 47; // -11 dB, as the fader shows it
    EXPECT_EQ(markerPosition(band, -3).y, -14.0);
}

} // namespace
} // namespace tq50r::eq
