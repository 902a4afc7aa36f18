#include "editor/FrameEdits.h"
#include "model/DrawSteps.h"

#include <gtest/gtest.h>

using namespace FrameEdits;

namespace {

std::unique_ptr<TDrawStep> Mark(int x) {
    auto line = std::make_unique<TLineStep>();
    line->StartX = x;
    return line;
}

// A list of count positions where position i shows frame 100 + i and holds i % 4 steps, each marked
// with its position, so that the tests can tell where every list went.
TEditList MakeList(int count) {
    TEditList list;
    list.Reset(count);
    for (int i = 0; i < count; ++i) {
        list.FrameMap[i] = 100 + i;
        for (int s = 0; s < i % 4; ++s)
            list.FrameSteps[i].Add(Mark(i));
    }
    return list;
}

int Owner(const TDrawSteps& steps) {
    return steps.Count() ? steps.GetItem(0)->StartX : -1;
}

} // namespace

TEST(FrameEdits, DeleteKeepsTheIndexOrTakesTheNewLast) {
    TEditList list = MakeList(10);
    list.MakeCurrent(4);
    ASSERT_TRUE(DeleteFrame(list));
    EXPECT_EQ(list.EditFrameCount, 9);
    EXPECT_EQ(list.CurFrame, 4);
    EXPECT_EQ(list.FrameMap[4], 105);
    EXPECT_EQ(Owner(list.FrameSteps[4]), 5);
    EXPECT_EQ(list.StepPos, 5 % 4 - 1);
    EXPECT_EQ(list.FrameSteps.size(), 9u);

    list.MakeCurrent(8);
    ASSERT_TRUE(DeleteFrame(list));
    EXPECT_EQ(list.CurFrame, 7);
    EXPECT_EQ(list.FrameMap.back(), 108);
    EXPECT_EQ(list.StepPos, 8 % 4 - 1);

    TEditList two = MakeList(2);
    EXPECT_TRUE(DeleteFrame(two));
    EXPECT_FALSE(DeleteFrame(two));
    EXPECT_EQ(two.EditFrameCount, 1);
}

// Copies start with every step of the copied position, undone ones included, as steps of their own;
// the copied position stays current with its undone steps still undone.
TEST(FrameEdits, CopiesFollowTheCurrentPositionWithTheirOwnSteps) {
    TEditList list = MakeList(6);
    list.MakeCurrent(3); // three steps
    list.StepPos = 1;    // the third undone
    ASSERT_TRUE(InsertCopies(list, 2));
    EXPECT_EQ(list.EditFrameCount, 8);
    EXPECT_EQ(list.FrameMap, (std::vector<int32_t>{100, 101, 102, 103, 103, 103, 104, 105}));
    EXPECT_EQ(list.CurFrame, 3);
    EXPECT_EQ(list.StepPos, 1);
    for (int i : {4, 5}) {
        ASSERT_EQ(list.FrameSteps[i].Count(), 3);
        for (int s = 0; s < 3; ++s)
            EXPECT_NE(list.FrameSteps[i].GetItem(s), list.FrameSteps[3].GetItem(s)) << "shared step";
    }
    EXPECT_EQ(Owner(list.FrameSteps[6]), -1); // position 4 had no steps
    EXPECT_EQ(Owner(list.FrameSteps[7]), 5);

    // On the last position the copies are appended.
    list.MakeCurrent(7);
    ASSERT_TRUE(InsertCopies(list, 1));
    EXPECT_EQ(list.FrameMap.back(), 105);
    EXPECT_EQ(list.FrameSteps.size(), 9u);
}

TEST(FrameEdits, NothingToCopyWithoutAPosition) {
    TEditList none; // before the first open
    EXPECT_FALSE(InsertCopies(none, 1));
    none.Clear(); // after Close
    EXPECT_FALSE(InsertCopies(none, 1));
    TEditList empty = MakeList(0); // a file of no frames
    EXPECT_FALSE(InsertCopies(empty, 1));
    EXPECT_TRUE(empty.FrameSteps.empty());
}

TEST(FrameEdits, CopiesStayWithinTheLimit) {
    TEditList list = MakeList(1);
    list.EditFrameCount = 32760; // the limit test reads only the count
    EXPECT_TRUE(CopiesFit(list, 7));
    EXPECT_FALSE(CopiesFit(list, 8));
    struct Case {
        const char* Answer;
        std::optional<int> Copies;
    } cases[] = {{"7", 7},           {"8", {}},          {"0", {}},
                 {"-3", {}},         {"three", {}},      {"", {}},
                 {"2147483647", {}}, {"4294967303", {}}, {"99999999999999999999", {}}};
    for (const Case& c : cases)
        EXPECT_EQ(CopiesFromAnswer(list, c.Answer), c.Copies) << c.Answer;
    list.EditFrameCount = 32767;
    EXPECT_FALSE(CopiesFit(list, 1));
}

TEST(FrameEdits, RemoveSetsTheCurrentPositionAndItsStepsFirst) {
    struct Case {
        int Keep, Current, Owner;
    } cases[] = {{7, 6, 9}, {1, 1, 1}};
    for (const Case& c : cases) {
        TEditList list = MakeList(10);
        list.MakeCurrent(c.Keep);
        list.StepPos = -1;
        ASSERT_TRUE(RemoveFrames(list, 2, 3, c.Keep)); // From 3 To 5
        EXPECT_EQ(list.EditFrameCount, 7);
        EXPECT_EQ(list.FrameMap, (std::vector<int32_t>{100, 101, 105, 106, 107, 108, 109}));
        EXPECT_EQ(list.CurFrame, c.Current);
        EXPECT_EQ(list.StepPos, list.FrameSteps[c.Current].Count() - 1);
        EXPECT_EQ(Owner(list.FrameSteps[2]), 5);
    }
    TEditList list = MakeList(4);
    EXPECT_FALSE(RemoveFrames(list, 0, 4, 0)); // never all of them
    EXPECT_FALSE(RemoveFrames(list, 3, 2, 0));
    EXPECT_EQ(list.EditFrameCount, 4);
}

TEST(FrameEdits, RemoveDialogChecksItsFields) {
    const QString range = "Invalid start frame number (must be between 1 and 10)";
    const QString all = "You cannot remove all frames from the file.\rPlease, leave at least one frame.";
    struct Case {
        QString From, To;
        QString Message;
        TRangeCheck::TField Focus;
        QString FromAfter, ToAfter;
    } cases[] = {
        {"3", "5", "", TRangeCheck::None, "3", "5"},
        {"3", "2", "End frame is less than start frame", TRangeCheck::From, "3", "2"},
        {"1", "10", all, TRangeCheck::From, "1", "10"},
        {"", "10", all, TRangeCheck::From, "1", "10"},
        {"0", "5", range, TRangeCheck::From, "0", "5"},
        {"2", "11", range, TRangeCheck::To, "2", "11"},
        {"4", "", "End frame is less than start frame", TRangeCheck::From, "4", "1"},
        {"", "", "", TRangeCheck::None, "1", "1"},
        {"x", "5", "Invalid value", TRangeCheck::None, "x", "5"},
        {"2", "5y", "Invalid value", TRangeCheck::None, "2", "5y"},
    };
    for (Case c : cases) {
        SCOPED_TRACE(("From '" + c.From + "' To '" + c.To + "'").toStdString());
        const TRangeCheck check = CheckRemoveRange(c.From, c.To, 10);
        EXPECT_EQ(check.Message, c.Message);
        EXPECT_EQ(check.Focus, c.Focus);
        EXPECT_EQ(c.From, c.FromAfter);
        EXPECT_EQ(c.To, c.ToAfter);
    }
    QString from = "3", to = "5";
    const TRangeCheck ok = CheckRemoveRange(from, to, 10);
    EXPECT_EQ(ok.First, 3);
    EXPECT_EQ(ok.Last, 5);
}
