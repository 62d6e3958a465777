// Undo history over settings, and the typed-value and multi-step edits it records.
#include "eq/history.h"
#include "eq/operations.h"

#include <gtest/gtest.h>

namespace tq50r::eq {
namespace {

TEST(History, UndoRestoresOnlyThePartsTheEditChanged) {
    EqHistory history(2);
    EqSetting s = startSetting();
    const EqSetting start = s;
    EXPECT_FALSE(history.record(s, s)); // nothing changed, nothing kept
    stepQUp(s, 2);
    stepTrim(s, -1);
    ASSERT_TRUE(history.record(start, s));
    // Meanwhile the device switched band 4 off and reported band 2's off flag.
    s.band(4).off = s.band(4).deviceOff = s.band(2).deviceOff = true;
    const auto undone = history.undo();
    copyParts(s, undone->before, undone->parts);
    EXPECT_EQ(s.band(2).qIndex, 35);
    EXPECT_EQ(s.trimDb, 0);
    EXPECT_TRUE(s.band(4).off);       // not part of the edit
    EXPECT_TRUE(s.band(2).deviceOff); // the device's, never restored
    EXPECT_EQ(history.redo()->after.trimDb, -1);

    EqSetting turned = start;
    turned.band(3).type += 3; // three clicks bring the same type back
    EXPECT_FALSE(history.record(start, turned));
    for (const int trim : {-2, -3}) { // two more steps: the oldest goes
        EqSetting after = start;
        after.trimDb = trim;
        history.record(start, after);
    }
    EXPECT_EQ(history.undoCount(), 2u);
    EXPECT_FALSE(history.canRedo());
}

TEST(TypedValues, ReadWithoutTheLocaleAndSnapToTheNearestEntry) {
    EXPECT_DOUBLE_EQ(*parseTypedValue(" 1,5k "), 1500.0);
    EXPECT_DOUBLE_EQ(*parseTypedValue("+62.5 Hz"), 62.5);
    EXPECT_DOUBLE_EQ(*parseTypedValue("2.5kHz"), 2500.0);
    for (const char* junk : {"", "abc", "12abc", "1..2", "k", "inf", "nan"}) {
        EXPECT_FALSE(parseTypedValue(junk)) << junk;
    }
    EXPECT_EQ(nearestFrequencyIndex(1000.0), ShelfSplitIndex); // not the upper neighbour
    EXPECT_EQ(nearestFrequencyIndex(1016.0), 171);
    EXPECT_EQ(nearestFrequencyIndex(-3.0), 0);
    EXPECT_EQ(nearestFrequencyIndex(1e9), MaxFreqIndex);
    EXPECT_EQ(nearestQIndex(2.1), 29); // the first of the two equal entries
    EXPECT_EQ(nearestQIndex(2.3), 31);
}

TEST(MultiStepEdits, StopAtTheTableEndsAndHoldShelvesAtOneKilohertz) {
    EqSetting s = startSetting();
    EXPECT_EQ(stepFrequencyBy(s, 1, -10), (EditResult{false, true})); // at index 0
    s.band(4).type = 2; // LowShelf at 630 Hz: ten steps up stop at 1000 Hz, then nothing
    s.band(4).freqIndex = 165;
    stepFrequencyBy(s, 4, 10);
    EXPECT_EQ(s.band(4).freqIndex, ShelfSplitIndex);
    EXPECT_EQ(stepFrequencyBy(s, 4, 10), (EditResult{false, false}));
    setFrequencyIndex(s, 4, 250); // a typed value keeps the shelf on its side too
    EXPECT_EQ(s.band(4).freqIndex, ShelfSplitIndex);
    setQIndex(s, 4, 500);
    EXPECT_EQ(s.band(4).qIndex, MaxQIndex);
}

} // namespace
} // namespace tq50r::eq
