#include "tools/Snapping.h"

#include <gtest/gtest.h>

namespace {
struct SnapCase {
    int x0, y0, x1, y1;
    int ex, ey;
};
} // namespace

TEST(Snapping, LineAngleWorkedValues) {
    const SnapCase cases[] = {
        {100, 100, 130, 110, 130, 100}, // a = -0.3218: horizontal
        {100, 100, 130, 80, 125, 74},   // a = 0.5880: diagonal at the dragged length
        {100, 100, 110, 40, 100, 40},   // a = 1.4056: vertical
        {100, 100, 100, 40, 100, 40},   // already vertical: unchanged
        {100, 100, 40, 100, 40, 100},   // already horizontal: unchanged
        {100, 100, 70, 120, 74, 125},   // diagonal down-left
        {100, 100, 70, 70, 70, 70},     // exact diagonal stays
        {0, 0, 1000, -1, 1000, 0},      // nearly flat
    };
    for (const SnapCase& c : cases) {
        int x = c.x1, y = c.y1;
        SnapLineAngle(c.x0, c.y0, x, y);
        EXPECT_EQ(x, c.ex) << c.x1 << "," << c.y1;
        EXPECT_EQ(y, c.ey) << c.x1 << "," << c.y1;
    }
}

TEST(Snapping, MakeSquareTakesTheShorterSideInTheDragDirection) {
    const SnapCase cases[] = {
        {10, 10, 50, 30, 30, 30}, {10, 10, 0, 60, 0, 20},   {10, 10, -30, 0, 0, 0},
        {10, 10, 20, 20, 20, 20}, {10, 10, 10, 40, 10, 10},
    };
    for (const SnapCase& c : cases) {
        int x = c.x1, y = c.y1;
        MakeSquare(c.x0, c.y0, x, y);
        EXPECT_EQ(x, c.ex) << c.x1 << "," << c.y1;
        EXPECT_EQ(y, c.ey) << c.x1 << "," << c.y1;
    }
}
