#include "editor/EditList.h"
#include "editor/Navigation.h"
#include "editor/PageGeometry.h"
#include "model/LineStep.h"

#include <gtest/gtest.h>

using namespace PageGeometry;

namespace {
const QSize kBox(120, 100);
}

TEST(PageGeometry, ThumbnailSizesFitTheBoxRoundingHalvesToEven) {
    struct Case {
        QSize Frame, Thumb;
    } cases[] = {
        {{100, 80}, {100, 80}},  {{120, 100}, {120, 100}},  {{640, 480}, {120, 75}},
        {{480, 640}, {90, 100}}, {{300, 300}, {120, 100}},  {{400, 202}, {120, 50}},
        {{400, 206}, {120, 52}}, {{1920, 1080}, {120, 56}}, {{121, 10}, {120, 8}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ThumbnailSize(c.Frame, kBox), c.Thumb) << c.Frame.width() << "x" << c.Frame.height();
}

TEST(PageGeometry, APageHoldsTwelvePositionsPulledBackNearTheEnd) {
    struct Case {
        int First, Count, Start;
    } cases[] = {
        {25, 30, 18}, {-3, 30, 0}, {3, 5, 0}, {0, 5, 0}, {12, 40, 12}, {12, 20, 8}, {18, 30, 18}, {0, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PageStart(c.First, c.Count), c.Start) << c.First << " of " << c.Count;
}

TEST(PageGeometry, CellsAndClicks) {
    EXPECT_EQ(CellRect(0, kBox), QRect(0, 0, 130, 110));
    EXPECT_EQ(CellRect(4, kBox), QRect(132, 110, 130, 110));
    EXPECT_EQ(CellRect(11, kBox), QRect(264, 330, 130, 110));
    EXPECT_EQ(PicturePoint(5, kBox), QPoint(269, 125));
    EXPECT_EQ(CaptionRect(0, kBox, 13), QRect(0, 90, 130, 20));

    struct Case {
        QPoint Point;
        int Cell;
    } cases[] = {
        {{131, 50}, 0}, {{132, 50}, 1}, {{300, 439}, 11}, {{300, 440}, -1}, {{396, 10}, -1}, {{0, 0}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CellAt(c.Point, kBox), c.Cell) << c.Point.x() << "," << c.Point.y();
}

TEST(Navigation, TargetsAtTheEnds) {
    using namespace Navigation;
    EXPECT_EQ(NextPageTarget(20, 30), 29);
    EXPECT_EQ(NextPageTarget(5, 30), 17);
    EXPECT_EQ(NextPageTarget(17, 30), 29);
    EXPECT_EQ(NextPageTarget(0, 5), 4);
    EXPECT_EQ(PrevPageTarget(7), 0);
    EXPECT_EQ(PrevPageTarget(12), 0);
    EXPECT_EQ(PrevPageTarget(29), 17);
    EXPECT_EQ(PreviousFrameTarget(0), std::nullopt);
    EXPECT_EQ(PreviousFrameTarget(1), 0);
    EXPECT_EQ(NextFrameTarget(29, 30), std::nullopt);
    EXPECT_EQ(NextFrameTarget(28, 30), 29);
    EXPECT_EQ(NextFrameTarget(0, 1), std::nullopt);
    EXPECT_EQ(LastFrameTarget(30), 29);
    // Playback loops, and a late tick goes on to the position due now.
    EXPECT_EQ(PlaybackTarget(29, 30, 1), 0);
    EXPECT_EQ(PlaybackTarget(5, 30, 1), 6);
    EXPECT_EQ(PlaybackTarget(28, 30, 3), 1);
    EXPECT_EQ(PlaybackTarget(0, 1, 1), 0);
}

TEST(EditList, OpenCloseAndArrivalAtAPosition) {
    TEditList list;
    EXPECT_EQ(list.EditFrameCount, 0);
    EXPECT_FALSE(list.HasCurrent());
    list.Reset(3);
    EXPECT_EQ(list.FrameMap, (std::vector<int32_t>{0, 1, 2}));
    ASSERT_EQ(list.FrameSteps.size(), 3u);
    EXPECT_TRUE(list.HasPosition(2));
    EXPECT_FALSE(list.HasPosition(3));
    list.FrameSteps[1].Add(std::make_unique<TLineStep>());
    list.FrameSteps[1].Add(std::make_unique<TLineStep>());
    list.MakeCurrent(1);
    EXPECT_EQ(list.StepPos, 1) << "every step of a position counts as done on arrival";
    list.StepPos = 0;
    list.MakeCurrent(1);
    EXPECT_EQ(list.StepPos, 1);

    list.Reset(0);
    EXPECT_FALSE(list.HasCurrent()) << "a file of no frames has no current position";
    list.Clear();
    EXPECT_EQ(list.EditFrameCount, -1);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.FrameSteps.empty());
}
