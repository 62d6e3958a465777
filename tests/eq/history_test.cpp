// Undo history over settings, and the typed-value and multi-step edits it records.
#include "eq/history.h"
#include "eq/operations.h"

#include <gtest/gtest.h>

namespace tq50r::eq {
namespace {

TEST(History, UndoRestoresOnlyThePartsTheEditChanged) {
    EqHistory history;
    EqSetting s = startSetting();
    const EqSetting start = s;
    EXPECT_FALSE(history.record(s, s)); // nothing changed, nothing kept
    stepQUp(s, 2);
    stepTrim(s, -1);
    ASSERT_TRUE(history.record(start, s));
    const EqSetting afterEdit = s;

    // Meanwhile the device switched band 4 off and band 2's off flag was reported.
    s.band(4).off = s.band(4).deviceOff = true;
    s.band(2).deviceOff = true;
    const auto undone = history.undo();
    ASSERT_TRUE(undone);
    copyParts(s, undone->before, undone->parts);
    EXPECT_EQ(s.band(2).qIndex, 35);
    EXPECT_EQ(s.trimDb, 0);
    EXPECT_TRUE(s.band(4).off);       // not part of the edit
    EXPECT_TRUE(s.band(2).deviceOff); // the device's, never restored
    EXPECT_FALSE(history.canUndo());

    const auto redone = history.redo();
    ASSERT_TRUE(redone);
    copyParts(s, redone->after, redone->parts);
    EXPECT_EQ(s.band(2).qIndex, afterEdit.band(2).qIndex);
    EXPECT_EQ(s.trimDb, -1);

    // A new edit forgets what could be redone; the depth keeps the newest steps.
    history.undo();
    EqSetting t = startSetting();
    toggleOff(t, 1);
    history.record(startSetting(), t);
    EXPECT_FALSE(history.canRedo());
    EqHistory shallow(2);
    for (int trim = -1; trim >= -3; --trim) {
        EqSetting before = startSetting();
        before.trimDb = trim + 1;
        EqSetting after = before;
        after.trimDb = trim;
        shallow.record(before, after);
    }
    EXPECT_EQ(shallow.undoCount(), 2u);
    EXPECT_EQ(shallow.undo()->after.trimDb, -3);
}

TEST(History, TypeCounterDifferencesCountModuloThree) {
    EqSetting a = startSetting();
    EqSetting b = a;
    b.band(3).type += 3; // the same type after three clicks
    EXPECT_FALSE(differingParts(a, b).any());
    b.band(3).type += 1;
    EXPECT_TRUE(differingParts(a, b).band(3));
}

TEST(TypedValues, SnapToTheNearestTableEntry) {
    struct Case {
        const char* text;
        double value;
    };
    for (const Case c : {Case{"1000", 1000.0}, Case{" 1,5k ", 1500.0}, Case{"2.5kHz", 2500.0},
                         Case{"+62.5 Hz", 62.5}, Case{"0.7", 0.7}}) {
        ASSERT_TRUE(parseTypedValue(c.text)) << c.text;
        EXPECT_DOUBLE_EQ(*parseTypedValue(c.text), c.value) << c.text;
    }
    for (const char* junk : {"", "abc", "12abc", "1..2", "k", "inf", "nan"}) {
        EXPECT_FALSE(parseTypedValue(junk)) << junk;
    }
    EXPECT_EQ(nearestFrequencyIndex(1000.0), ShelfSplitIndex); // not the upper neighbour
    EXPECT_EQ(nearestFrequencyIndex(1014.0), 170);
    EXPECT_EQ(nearestFrequencyIndex(1016.0), 171);
    EXPECT_EQ(nearestFrequencyIndex(5.0), 0);
    EXPECT_EQ(nearestFrequencyIndex(-3.0), 0);
    EXPECT_EQ(nearestFrequencyIndex(1e9), MaxFreqIndex);
    EXPECT_EQ(nearestQIndex(2.1), 29); // the first of the two equal entries
    EXPECT_EQ(nearestQIndex(2.3), 31);
    EXPECT_EQ(nearestQIndex(0.7), 10);
}

TEST(MultiStepEdits, StopAtTheTableEndsAndHoldShelvesAtOneKilohertz) {
    EqSetting s = startSetting();
    EXPECT_EQ(stepFrequencyBy(s, 1, -10), (EditResult{false, true})); // at index 0
    EXPECT_EQ(stepFrequencyBy(s, 5, 10), (EditResult{true, true}));
    EXPECT_EQ(s.band(5).freqIndex, 210);
    s.band(4).type = 2; // LowShelf at 630 Hz: ten steps up stop at 1000 Hz, then nothing
    s.band(4).freqIndex = 165;
    stepFrequencyBy(s, 4, 10);
    EXPECT_EQ(s.band(4).freqIndex, ShelfSplitIndex);
    EXPECT_EQ(stepFrequencyBy(s, 4, 10), (EditResult{false, false}));
    setFrequencyIndex(s, 4, 250); // a typed value keeps the shelf on its side
    EXPECT_EQ(s.band(4).freqIndex, ShelfSplitIndex);
    setQIndex(s, 4, 500);
    EXPECT_EQ(s.band(4).qIndex, MaxQIndex);
    EXPECT_EQ(stepQBy(s, 4, -10), (EditResult{true, true}));
    EXPECT_EQ(s.band(4).qIndex, 90);
}

} // namespace
} // namespace tq50r::eq
