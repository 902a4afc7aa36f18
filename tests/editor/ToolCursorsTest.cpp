#include "editor/ToolCursors.h"

#include <gtest/gtest.h>

TEST(ToolCursors, SixPointersOneForEachToolDrawnApart) {
    std::vector<QImage> pictures;
    for (int n = 1; n <= 6; ++n) {
        const auto cursor = LoadEditorCursorResource(QStringLiteral("Cursor%1").arg(n));
        ASSERT_TRUE(cursor) << n;
        EXPECT_EQ(cursor->Frame(0).HotSpot, QPoint(0, 0)) << "the arrow's tip";
        pictures.push_back(cursor->Preview());
    }
    for (size_t a = 0; a < pictures.size(); ++a)
        for (size_t b = a + 1; b < pictures.size(); ++b)
            EXPECT_NE(pictures[a], pictures[b]) << a << " " << b;
    EXPECT_TRUE(LoadEditorCursorResource("CURSOR6"));
    EXPECT_FALSE(LoadEditorCursorResource("Cursor7"));
    EXPECT_FALSE(LoadEditorCursorResource("Cursor0"));
}
