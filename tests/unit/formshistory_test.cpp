// The forms' undo history: steps, the redo branch a new change drops, the saved mark and the
// length limit.
#include "core/model/formshistory.h"

#include <gtest/gtest.h>

namespace ombrix {
namespace {

FormsConfig withFrequency(const char* f) {
    FormsConfig c;
    c.General.Freq = f;
    return c;
}

TEST(FormsHistoryTest, UndoRedoWalkTheCommittedStatesAndANewChangeDropsTheRedoBranch) {
    FormsHistory h;
    h.reset(withFrequency("1"));
    EXPECT_FALSE(h.canUndo());
    EXPECT_TRUE(h.record(withFrequency("2")));
    EXPECT_FALSE(h.record(withFrequency("2"))); // no change, no step
    EXPECT_TRUE(h.record(withFrequency("3")));
    EXPECT_EQ(h.undo()->General.Freq, "2");
    EXPECT_EQ(h.undo()->General.Freq, "1");
    EXPECT_EQ(h.undo(), nullptr);
    EXPECT_EQ(h.redo()->General.Freq, "2");
    EXPECT_TRUE(h.record(withFrequency("4"))); // "3" can no longer be redone
    EXPECT_FALSE(h.canRedo());
    EXPECT_EQ(h.redo(), nullptr);
    EXPECT_EQ(h.undo()->General.Freq, "2");
    EXPECT_EQ(h.undo()->General.Freq, "1");

    // A step that switched the file (Open) names the file undo and redo go back to; opening
    // the same forms from another file is a step too.
    h.redo();
    EXPECT_TRUE(h.record(withFrequency("2"), FormsHistory::FileSwitch{"a.set", "b.set"}));
    h.undo();
    EXPECT_EQ(h.movedToFile(), "a.set");
    h.redo();
    EXPECT_EQ(h.movedToFile(), "b.set");
    h.undo();
    h.undo();
    EXPECT_EQ(h.movedToFile(), std::nullopt);
}

TEST(FormsHistoryTest, TheSavedMarkFollowsTheCursorAndGoesWithADroppedState) {
    FormsHistory h;
    h.reset(withFrequency("1"));
    EXPECT_TRUE(h.atSaved());
    h.record(withFrequency("2"));
    EXPECT_FALSE(h.atSaved());
    h.undo();
    EXPECT_TRUE(h.atSaved());
    h.redo();
    h.markSaved();
    h.undo();
    EXPECT_FALSE(h.atSaved());
    h.record(withFrequency("5")); // the saved "2" is dropped: no state is the saved one now
    h.undo();
    EXPECT_FALSE(h.atSaved());
    h.redo();
    EXPECT_FALSE(h.atSaved());
}

TEST(FormsHistoryTest, KeepsOnlyTheNewestStepsWithinItsLimit) {
    FormsHistory h(3);
    h.reset(withFrequency("0"));
    for (const char* f : {"1", "2", "3", "4", "5"})
        h.record(withFrequency(f));
    int back = 0;
    while (h.undo())
        ++back;
    EXPECT_EQ(back, 3);
    EXPECT_EQ(h.current().General.Freq, "2");
    EXPECT_FALSE(h.atSaved()); // the saved start fell out of the history
}

} // namespace
} // namespace ombrix
