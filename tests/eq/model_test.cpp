// The EQ setting: value tables, wire encodings with their clamps, the edit
// operations and their limits, and the display texts.
#include "eq/encoding.h"
#include "eq/eq_setting.h"
#include "eq/operations.h"
#include "support/comma_locale.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace tq50r::eq {
namespace {

constexpr int HighShelf = static_cast<int>(EqBandType::HighShelf);
constexpr int Peak = static_cast<int>(EqBandType::Peak);
constexpr int LowShelf = static_cast<int>(EqBandType::LowShelf);
// Where the five bands start, and where the device's reset block puts them.
constexpr int StartFreqIndexes[BandCount] = {0, 50, 100, 150, 200};

EqSetting withBand(int n, int type, int freqIndex) {
    EqSetting setting = startSetting();
    setting.band(n).type = type;
    setting.band(n).freqIndex = freqIndex;
    return setting;
}

// ---- tables and start values ------------------------------------------------------------

TEST(Tables, FrequenciesRiseAtThirtyStepsPerOctaveAroundOneKilohertz) {
    EXPECT_EQ(FrequencyTable.front(), 19.7);
    EXPECT_EQ(FrequencyTable[ShelfSplitIndex], ShelfSplitHz);
    EXPECT_EQ(FrequencyTable.back(), 20160.0);
    for (int i = 0; i < FrequencyCount; ++i) {
        const double hz = FrequencyTable[static_cast<std::size_t>(i)];
        // A mistyped entry stands out against the ideal 1000 * 2^((i - 170) / 30).
        const double ideal = 1000.0 * std::pow(2.0, (i - ShelfSplitIndex) / 30.0);
        EXPECT_NEAR(hz / ideal, 1.0, 0.02) << "index " << i;
        if (i > 0) {
            EXPECT_GT(hz, FrequencyTable[static_cast<std::size_t>(i - 1)]) << "index " << i;
        }
    }
    // Spot checks along the rows (one decimal below 1 kHz, whole tens above).
    EXPECT_EQ(FrequencyTable[55], 70.2);
    EXPECT_EQ(FrequencyTable[123], 337.6);
    EXPECT_EQ(FrequencyTable[169], 977.2);
    EXPECT_EQ(FrequencyTable[237], 4710.0);
    EXPECT_EQ(FrequencyTable[283], 13620.0);
}

TEST(Tables, QValuesHoldTheirOneRepeat) {
    EXPECT_EQ(QTable.front(), 0.4);
    EXPECT_EQ(QTable[16], 1.0);
    EXPECT_EQ(QTable[29], 2.1);
    EXPECT_EQ(QTable[30], 2.1);
    EXPECT_EQ(QTable[31], 2.4);
    EXPECT_EQ(QTable[35], 3.0);
    EXPECT_EQ(QTable[64], 16.0);
    EXPECT_EQ(QTable.back(), 128.0);
    for (int i = 1; i < QCount; ++i) {
        if (i == 30) {
            continue;
        }
        EXPECT_GT(QTable[static_cast<std::size_t>(i)], QTable[static_cast<std::size_t>(i - 1)])
            << "index " << i;
    }
}

TEST(StartSetting, FivePeaksOneOctaveAndAHalfApartAtZeroDb) {
    const EqSetting setting = startSetting();
    for (int n = 1; n <= BandCount; ++n) {
        const EqBand& band = setting.band(n);
        EXPECT_EQ(band.bandType(), EqBandType::Peak);
        EXPECT_EQ(band.freqIndex, StartFreqIndexes[n - 1]);
        EXPECT_EQ(band.qIndex, 35);
        EXPECT_EQ(band.gainIndex, ZeroGainIndex);
        EXPECT_FALSE(band.off);
        EXPECT_FALSE(band.deviceOff);
    }
    EXPECT_EQ(setting.trimDb, 0);
    EXPECT_FALSE(setting.bypass);
}

// ---- encodings ----------------------------------------------------------------------------

TEST(Encoding, TypeCodesFollowTheCounterModThreeAndUnknownCodesReadAsPeak) {
    const struct {
        int type;
        std::uint8_t code;
    } types[] = {{0, 4}, {1, 1}, {2, 5}, {3, 4}, {4, 1}, {5, 5}, {301, 1}};
    for (const auto& t : types) {
        EXPECT_EQ(typeWireCode(t.type), t.code) << "type " << t.type;
        EXPECT_EQ(typeFromWireCode(t.code), t.type % 3);
    }
    for (int code : {0, 2, 3, 6, 17, 255}) {
        EXPECT_EQ(typeFromWireCode(static_cast<std::uint8_t>(code)), Peak) << "code " << code;
    }
}

TEST(Encoding, FrequencyTravelsAsTwoBaseHundredDigitsAndDecodesClamped) {
    for (int index = 0; index <= MaxFreqIndex; ++index) {
        ASSERT_EQ(decodeFreqIndex(freqHighByte(index), freqLowByte(index)), index);
    }
    EXPECT_EQ(freqHighByte(170), 1);
    EXPECT_EQ(freqLowByte(170), 70);
    EXPECT_EQ(freqHighByte(300), 3);
    EXPECT_EQ(freqLowByte(300), 0);
    EXPECT_EQ(decodeFreqIndex(1, 70), 170);
    EXPECT_EQ(decodeFreqIndex(3, 50), 300);
    EXPECT_EQ(decodeFreqIndex(255, 255), 300);
    EXPECT_EQ(decodeFreqIndex(0, 250), 250); // a low byte above 99 still adds up
}

TEST(Encoding, QAndTrimDecodeTruncatedAndClamped) {
    EXPECT_EQ(decodeQIndex(0), 0);
    EXPECT_EQ(decodeQIndex(100), 100);
    EXPECT_EQ(decodeQIndex(101), 100);
    EXPECT_EQ(decodeQIndex(255), 100);

    const struct {
        std::uint8_t byte;
        int trimDb;
    } trims[] = {{121, 0},  {122, 0},  {123, 0},  {120, 0}, {119, -1}, {111, -5},
                 {85, -18}, {84, -18}, {83, -18}, {0, -18}, {200, 0},  {255, 0}};
    for (const auto& t : trims) {
        EXPECT_EQ(decodeTrim(t.byte), t.trimDb) << "byte " << int{t.byte};
    }
    EXPECT_EQ(encodeTrim(-5), 111);
    for (int trimDb = MinTrimDb; trimDb <= MaxTrimDb; ++trimDb) {
        EXPECT_EQ(decodeTrim(encodeTrim(trimDb)), trimDb);
    }
}

TEST(Encoding, GainIndexShowsAsTheFadersWholeDbNearerToZero) {
    const struct {
        int gainIndex;
        int position;
    } gains[] = {{0, -12}, {1, -11}, {2, -11}, {12, -6}, {23, 0},  {24, 0},  {25, 0},
                 {26, 1},  {47, 11}, {48, 12}, {49, 12}, {60, 12}, {255, 12}};
    for (const auto& g : gains) {
        EXPECT_EQ(faderPositionFromGainIndex(g.gainIndex), g.position) << g.gainIndex;
        EXPECT_EQ(gainDbFromGainIndex(g.gainIndex), -g.position) << g.gainIndex;
    }
    for (int position = MinFaderPosition; position <= MaxFaderPosition; ++position) {
        EXPECT_EQ(faderPositionFromGainIndex(gainIndexFromFaderPosition(position)), position);
    }
    EXPECT_EQ(gainIndexFromFaderPosition(-12), 0);
    EXPECT_EQ(gainIndexFromFaderPosition(12), 48);
}

TEST(Encoding, BandBytesCarryIndexesAndTheChosenOffFlag) {
    EqBand band;
    band.type = 6; // HighShelf after two full cycles
    band.freqIndex = 283;
    band.qIndex = 77;
    band.gainIndex = 7;
    band.off = false;
    const BandBytes on = encodeBand(band, false);
    EXPECT_EQ(on.typeCode, 4);
    EXPECT_EQ(on.freqHigh, 2);
    EXPECT_EQ(on.freqLow, 83);
    EXPECT_EQ(on.gainIndex, 7);
    EXPECT_EQ(on.qIndex, 77);
    EXPECT_EQ(on.off, 0);
    EXPECT_EQ(encodeBand(band, true).off, 1);
}

// ---- frequency lookup ---------------------------------------------------------------------

TEST(FrequencyToIndex, GivesTheUpperTableNeighbour) {
    const struct {
        double hz;
        int index;
    } lookups[] = {
        {1000.0, 171}, {999.0, 170},   {19.0, 0},      {19.69, 0},     {19.7, 1},  {19.9, 1},
        {20.1, 2},     {20160.0, 300}, {20159.9, 300}, {19700.0, 300}, {1e9, 300}, {-5.0, 0},
    };
    for (const auto& l : lookups) {
        EXPECT_EQ(frequencyToIndex(l.hz), l.index) << l.hz << " Hz";
    }
    for (int k = 0; k < MaxFreqIndex; ++k) {
        const double low = FrequencyTable[static_cast<std::size_t>(k)];
        const double high = FrequencyTable[static_cast<std::size_t>(k + 1)];
        ASSERT_EQ(frequencyToIndex(low), k + 1);
        ASSERT_EQ(frequencyToIndex((low + high) / 2.0), k + 1);
    }
    EXPECT_EQ(frequencyToIndex(std::numeric_limits<double>::quiet_NaN()), 300);
}

// ---- stepping ------------------------------------------------------------------------------

struct Step {
    const char* what;
    int type;
    int freqIndex;
    EditResult (*op)(EqSetting&, int);
    int expectedIndex;
    EditResult expected;
};

TEST(Operations, FrequencyStepsStopAtTableEndsAndShelvesAtOneKilohertz) {
    const EditResult changed{true, true};
    const EditResult refreshOnly{false, true};
    const EditResult nothing{false, false};
    const Step steps[] = {
        {"peak up", Peak, 170, stepFrequencyUp, 171, changed},
        {"peak up at top", Peak, 300, stepFrequencyUp, 300, refreshOnly},
        {"peak down at bottom", Peak, 0, stepFrequencyDown, 0, refreshOnly},
        {"peak down", Peak, 170, stepFrequencyDown, 169, changed},
        {"low shelf up at 1 kHz", LowShelf, 170, stepFrequencyUp, 170, nothing},
        {"low shelf up below", LowShelf, 169, stepFrequencyUp, 170, changed},
        {"low shelf down at 1 kHz", LowShelf, 170, stepFrequencyDown, 169, changed},
        {"low shelf down at bottom", LowShelf, 0, stepFrequencyDown, 0, refreshOnly},
        {"high shelf down at 1 kHz", HighShelf, 170, stepFrequencyDown, 170, nothing},
        {"high shelf up at 1 kHz", HighShelf, 170, stepFrequencyUp, 171, changed},
        {"high shelf up at top", HighShelf, 300, stepFrequencyUp, 300, refreshOnly},
        {"counter 5 is a low shelf", 5, 170, stepFrequencyUp, 170, nothing},
    };
    for (const Step& s : steps) {
        EqSetting setting = withBand(3, s.type, s.freqIndex);
        const EqSetting before = setting;
        EXPECT_EQ(s.op(setting, 3), s.expected) << s.what;
        EXPECT_EQ(setting.band(3).freqIndex, s.expectedIndex) << s.what;
        for (int other : {1, 2, 4, 5}) {
            EXPECT_EQ(setting.band(other).freqIndex, before.band(other).freqIndex) << s.what;
        }
    }
}

TEST(Operations, QStepsClampAndAlwaysRefresh) {
    EqSetting setting = startSetting();
    setting.band(2).qIndex = 100;
    EXPECT_EQ(stepQUp(setting, 2), (EditResult{false, true}));
    EXPECT_EQ(setting.band(2).qIndex, 100);
    EXPECT_EQ(stepQDown(setting, 2), (EditResult{true, true}));
    EXPECT_EQ(setting.band(2).qIndex, 99);
    setting.band(2).qIndex = 0;
    EXPECT_EQ(stepQDown(setting, 2), (EditResult{false, true}));
    EXPECT_EQ(setting.band(2).qIndex, 0);
    EXPECT_EQ(stepQUp(setting, 2), (EditResult{true, true}));
    EXPECT_EQ(setting.band(2).qIndex, 1);
}

TEST(Operations, CycleTypeMovesNewShelvesToOneKilohertz) {
    struct Cycle {
        int type;
        int freqIndex;
        EqBandType next;
        int nextIndex;
    };
    // One click from each starting point; the frequency test is on the table value.
    const Cycle cycles[] = {
        {Peak, 200, EqBandType::LowShelf, 170}, // 2010 Hz: a low shelf must come down
        {LowShelf, 170, EqBandType::HighShelf, 170}, {HighShelf, 170, EqBandType::Peak, 170},
        {LowShelf, 140, EqBandType::HighShelf, 170}, // 500 Hz: a high shelf must go up
        {Peak, 100, EqBandType::LowShelf, 100},      // 198.4 Hz stays
        {Peak, 170, EqBandType::LowShelf, 170},      // exactly 1000 Hz is not above it
        {LowShelf, 0, EqBandType::HighShelf, 170},   {HighShelf, 300, EqBandType::Peak, 300},
        {Peak, 300, EqBandType::LowShelf, 170},
    };
    for (const Cycle& c : cycles) {
        EqSetting setting = withBand(4, c.type, c.freqIndex);
        EXPECT_EQ(cycleType(setting, 4), (EditResult{true, true}));
        EXPECT_EQ(setting.band(4).bandType(), c.next) << c.type << "/" << c.freqIndex;
        EXPECT_EQ(setting.band(4).freqIndex, c.nextIndex) << c.type << "/" << c.freqIndex;
    }
}

TEST(Operations, ThreeClicksFromAPeakAt2010HzEndAsAPeakAt1000Hz) {
    EqSetting setting = startSetting(); // band 5: Peak at 2010 Hz
    const EqBandType order[] = {EqBandType::LowShelf, EqBandType::HighShelf, EqBandType::Peak};
    for (EqBandType expected : order) {
        (void)cycleType(setting, 5);
        EXPECT_EQ(setting.band(5).bandType(), expected);
        EXPECT_EQ(frequencyText(setting.band(5).freqIndex), "1000.0");
    }
    EXPECT_EQ(typeWireCode(setting.band(5).type), 1);
}

TEST(Operations, ToggleOffLeavesTheDevicesFlag) {
    EqSetting setting = startSetting();
    setting.band(1).deviceOff = true;
    EXPECT_EQ(toggleOff(setting, 1), (EditResult{true, true}));
    EXPECT_TRUE(setting.band(1).off);
    EXPECT_TRUE(setting.band(1).deviceOff);
    (void)toggleOff(setting, 1);
    EXPECT_FALSE(setting.band(1).off);
    EXPECT_TRUE(setting.band(1).deviceOff);
    EXPECT_TRUE(shownOff(setting.band(1), true));
    EXPECT_FALSE(shownOff(setting.band(1), false));
}

TEST(Operations, FaderSetsWholeDbAndAnEqualValueIsNoChange) {
    EqSetting setting = startSetting();
    EXPECT_EQ(setGainFromFader(setting, 2, 0), (EditResult{false, false}));
    EXPECT_EQ(setGainFromFader(setting, 2, -12), (EditResult{true, true}));
    EXPECT_EQ(setting.band(2).gainIndex, 0);
    EXPECT_EQ(setGainFromFader(setting, 2, 40), (EditResult{true, true}));
    EXPECT_EQ(setting.band(2).gainIndex, 48);
    EXPECT_EQ(setGainFromFader(setting, 2, 12), (EditResult{false, false}));
    // A half-dB index from the device is replaced once the fader reports its position.
    setting.band(2).gainIndex = 25;
    EXPECT_EQ(setGainFromFader(setting, 2, 0), (EditResult{true, true}));
    EXPECT_EQ(setting.band(2).gainIndex, 24);
}

TEST(Operations, PlotDragSnapsFrequencyAndLimitsGain) {
    struct Drag {
        int type;
        double hz;
        int gainDb;
        int freqIndex;
        int gainIndex;
    };
    const Drag drags[] = {
        {Peak, 12.4, 0, 1, 24},       // below 19 Hz: 19.7, whose upper neighbour is index 1
        {Peak, 19.5, 3, 0, 18},       // between 19 and 19.7 Hz
        {Peak, 25000.0, -3, 300, 30}, // above 20 kHz
        {Peak, 1000.0, 20, 171, 0},   // gain beyond +12 dB
        {Peak, 1000.0, -99, 171, 48}, // and below -12 dB
        {HighShelf, 500.0, 6, 170, 12}, {LowShelf, 5000.0, -6, 170, 36},
        {LowShelf, 500.0, 0, 141, 24},
    };
    for (const Drag& d : drags) {
        EqSetting setting = withBand(1, d.type, 150);
        const EditResult result = setFromPlot(setting, 1, d.hz, d.gainDb);
        EXPECT_TRUE(result.refresh) << d.hz;
        EXPECT_EQ(setting.band(1).freqIndex, d.freqIndex) << d.hz;
        EXPECT_EQ(setting.band(1).gainIndex, d.gainIndex) << d.hz;
    }
    EqSetting setting = withBand(1, Peak, 171);
    EXPECT_EQ(setFromPlot(setting, 1, 1000.0, 0), (EditResult{false, true}));
}

TEST(Operations, TrimStepsAreRefusedAtTheLimits) {
    EqSetting setting = startSetting();
    EXPECT_EQ(stepTrim(setting, +1), (EditResult{false, false}));
    EXPECT_EQ(setting.trimDb, 0);
    for (int i = 0; i < 18; ++i) {
        ASSERT_EQ(stepTrim(setting, -1), (EditResult{true, true}));
    }
    EXPECT_EQ(setting.trimDb, -18);
    EXPECT_EQ(stepTrim(setting, -1), (EditResult{false, false}));
    EXPECT_EQ(setting.trimDb, -18);
    EXPECT_EQ(stepTrim(setting, +1), (EditResult{true, true}));
    EXPECT_EQ(setting.trimDb, -17);
    EXPECT_EQ(stepTrim(setting, std::numeric_limits<int>::min()), (EditResult{false, false}));
    EXPECT_EQ(setting.trimDb, -17);

    EXPECT_EQ(toggleBypass(setting), (EditResult{true, true}));
    EXPECT_TRUE(setting.bypass);
}

TEST(Operations, BandNumbersOutsideOneToFiveAreIgnored) {
    for (int n : {0, 6, -1, 100}) {
        EqSetting setting = startSetting();
        const EqSetting before = setting;
        const EditResult nothing{false, false};
        EXPECT_EQ(stepFrequencyUp(setting, n), nothing);
        EXPECT_EQ(stepFrequencyDown(setting, n), nothing);
        EXPECT_EQ(stepQUp(setting, n), nothing);
        EXPECT_EQ(stepQDown(setting, n), nothing);
        EXPECT_EQ(cycleType(setting, n), nothing);
        EXPECT_EQ(toggleOff(setting, n), nothing);
        EXPECT_EQ(setGainFromFader(setting, n, 5), nothing);
        EXPECT_EQ(setFromPlot(setting, n, 500.0, 5), nothing);
        EXPECT_EQ(applyBandReport(setting, n, BandBytes{4, 2, 0, 0, 50, 1}), nothing);
        for (int b = 1; b <= BandCount; ++b) {
            EXPECT_EQ(setting.band(b).freqIndex, before.band(b).freqIndex);
            EXPECT_EQ(setting.band(b).gainIndex, before.band(b).gainIndex);
            EXPECT_EQ(setting.band(b).off, before.band(b).off);
        }
    }
}

// ---- reports and blocks ----------------------------------------------------------------------

TEST(Reports, BandReportDecodesClampedAndSetsBothOffFlags) {
    EqSetting setting = startSetting();
    // type 5 (LowShelf), frequency 3/50 (clamped to 300), odd gain 25, Q 200, off.
    const BandBytes bytes{5, 3, 50, 25, 200, 1};
    const EditResult result = applyBandReport(setting, 2, bytes);
    EXPECT_EQ(result, (EditResult{true, true}));
    const EqBand& band = setting.band(2);
    EXPECT_EQ(band.type, LowShelf);
    EXPECT_EQ(band.freqIndex, 300);
    EXPECT_EQ(band.gainIndex, 25); // kept as sent; shows as 0 dB
    EXPECT_EQ(gainDbFromGainIndex(band.gainIndex), 0);
    EXPECT_EQ(band.qIndex, 100);
    EXPECT_TRUE(band.off);
    EXPECT_TRUE(band.deviceOff);
    // The same report again changes nothing but is still redrawn.
    EXPECT_EQ(applyBandReport(setting, 2, bytes), (EditResult{false, true}));
    EXPECT_EQ(applyBandReport(setting, 2, BandBytes{9, 0, 7, 24, 3, 0}).changed, true);
    EXPECT_EQ(setting.band(2).type, Peak);
    EXPECT_FALSE(setting.band(2).off);
    EXPECT_FALSE(setting.band(2).deviceOff);
}

BlockFields resetFields() {
    BlockFields fields;
    fields.trim = 121;
    fields.bypass = 0;
    for (int i = 0; i < BandCount; ++i) {
        const int index = StartFreqIndexes[i];
        fields.bands[static_cast<std::size_t>(i)] =
            BandBytes{1,
                      static_cast<std::uint8_t>(index / 100),
                      static_cast<std::uint8_t>(index % 100),
                      24,
                      0,
                      0};
    }
    return fields;
}

TEST(Blocks, ResetBlockDiffersFromTheStartOnlyInQ) {
    EqSetting setting = startSetting();
    EXPECT_EQ(applyBlock(setting, resetFields()), (EditResult{true, true}));
    const EqSetting start = startSetting();
    for (int n = 1; n <= BandCount; ++n) {
        EXPECT_EQ(setting.band(n).qIndex, 0);
        EXPECT_EQ(setting.band(n).freqIndex, start.band(n).freqIndex);
        EXPECT_EQ(setting.band(n).gainIndex, start.band(n).gainIndex);
        EXPECT_EQ(setting.band(n).bandType(), EqBandType::Peak);
    }
    EXPECT_EQ(applyBlock(setting, resetFields()), (EditResult{false, true}));
}

TEST(Blocks, TrimBypassOffAndShelfRuleAreDecoded) {
    EqSetting setting = startSetting();
    setting.band(1).type = 7; // a grown counter is replaced by the device's type
    BlockFields fields = resetFields();
    fields.trim = 84; // -18 dB (truncated)
    fields.bypass = 2;
    fields.bands[0] = BandBytes{4, 0, 50, 24, 16, 0};  // HighShelf at 62.5 Hz -> 1000 Hz
    fields.bands[1] = BandBytes{5, 2, 0, 24, 16, 1};   // LowShelf at 2010 Hz -> 1000 Hz, off
    fields.bands[2] = BandBytes{5, 1, 70, 24, 16, 0};  // LowShelf at 1000 Hz stays
    fields.bands[3] = BandBytes{4, 9, 99, 24, 255, 0}; // HighShelf, frequency and Q clamped
    fields.bands[4] = BandBytes{0, 1, 69, 24, 16, 7};  // unknown type: Peak at 977.2 Hz
    (void)applyBlock(setting, fields);
    EXPECT_EQ(setting.trimDb, -18);
    EXPECT_TRUE(setting.bypass);
    EXPECT_EQ(setting.band(1).type, HighShelf);
    EXPECT_EQ(setting.band(1).freqIndex, 170);
    EXPECT_EQ(setting.band(2).type, LowShelf);
    EXPECT_EQ(setting.band(2).freqIndex, 170);
    EXPECT_TRUE(setting.band(2).off);
    EXPECT_TRUE(setting.band(2).deviceOff);
    EXPECT_EQ(setting.band(3).freqIndex, 170);
    EXPECT_EQ(setting.band(4).freqIndex, 300);
    EXPECT_EQ(setting.band(4).qIndex, 100);
    EXPECT_EQ(setting.band(5).type, Peak);
    EXPECT_EQ(setting.band(5).freqIndex, 169);
    EXPECT_TRUE(setting.band(5).off);
}

TEST(Blocks, GainFollowsTheFaderOnlyWhenItsPositionMoves) {
    struct Gain {
        int current; // gainIndex before the block
        int byte;    // gain byte of the block
        int after;
    };
    const Gain gains[] = {
        {24, 24, 24},                // same position: untouched
        {25, 24, 25},                // the half-dB index keeps its value: the fader stays at 0
        {24, 25, 24},                // byte 25 is fader 0 as well
        {24, 1, 2},                  // fader -11: +11 dB, stored whole
        {24, 47, 46},                // fader 11: -11 dB
        {24, 0, 0},   {24, 200, 48}, // beyond the fader: its end
        {47, 46, 47},                // both fader 11
        {13, 12, 12},                // fader -5 -> -6
    };
    for (const Gain& g : gains) {
        EqSetting setting = startSetting();
        setting.band(3).gainIndex = g.current;
        BlockFields fields = resetFields();
        fields.bands[2].gainIndex = static_cast<std::uint8_t>(g.byte);
        (void)applyBlock(setting, fields);
        EXPECT_EQ(setting.band(3).gainIndex, g.after) << g.current << " <- " << g.byte;
    }
}

// ---- display texts -----------------------------------------------------------------------

TEST(Display, FrequencyAndQTextsHaveFixedDecimals) {
    EXPECT_EQ(frequencyText(0), "19.7");
    EXPECT_EQ(frequencyText(170), "1000.0");
    EXPECT_EQ(frequencyText(300), "20160.0");
    EXPECT_EQ(frequencyText(400), "20160.0"); // clamped into the table
    EXPECT_EQ(qText(0), "0.40");
    EXPECT_EQ(qText(29), "2.10");
    EXPECT_EQ(qText(30), "2.10");
    EXPECT_EQ(qText(35), "3.00");
    EXPECT_EQ(qText(100), "128.00");
    EXPECT_EQ(formatFrequency(62.5), "62.5");
    EXPECT_EQ(formatQ(1.06), "1.06");
    EXPECT_EQ(typeName(EqBandType::HighShelf), "High Shelf");
    EXPECT_EQ(typeName(EqBandType::Peak), "Peak");
    EXPECT_EQ(typeName(EqBandType::LowShelf), "Low Shelf");
}

// A comma-decimal locale must not leak into the texts.
TEST(Display, TextsIgnoreACommaDecimalLocale) {
    std::string freq;
    std::string q;
    {
        const tq50r::testing::CommaLocale comma;
        ASSERT_TRUE(comma.active()) << "de_DE.UTF-8 is missing: run scripts/install-deps.sh";
        freq = frequencyText(0);
        q = qText(30);
    }
    EXPECT_EQ(freq, "19.7");
    EXPECT_EQ(q, "2.10");
}

} // namespace
} // namespace tq50r::eq
