#include "platform/WinMath.h"
#include "platform/Colors.h"
#include "platform/Font.h"

#include <gtest/gtest.h>

TEST(MulDiv, RoundsHalvesAwayFromZero) {
    struct Case {
        int v, n, d, expected;
    } cases[] = {
        {14, 96, 72, 19}, {8, 96, 72, 11}, {10, 96, 72, 13}, {3, 1, 2, 2},
        {-3, 1, 2, -2},   {5, 2, -4, -3},  {7, 1, 0, -1},    {2147483647, 2, 2, 2147483647},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MulDiv(c.v, c.n, c.d), c.expected) << c.v << "*" << c.n << "/" << c.d;
}

TEST(Font, PixelSizeAt96Dpi) {
    TFont f;
    f.Size = 14;
    EXPECT_EQ(f.PixelSize(), 19);
    EXPECT_EQ(f.ToQFont().pixelSize(), 19);
    f.Size = -25;
    EXPECT_EQ(f.PixelSize(), 25);
}

TEST(Colors, PlainSystemAndSpecialValues) {
    EXPECT_EQ(ColorToRGB(0x12345678), 0x345678u);
    EXPECT_EQ(ToPixel(clRed), 0xFFFF0000u);
    EXPECT_EQ(ToPixel(clBlue), 0xFF0000FFu);
    EXPECT_EQ(ColorToRGB(clNone), clWhite);
    EXPECT_EQ(ColorToRGB(clDefault), clBlack);
    EXPECT_EQ(ColorToRGB(clWindowText) & 0xFF000000u, 0u);
    EXPECT_STREQ(ColorNames[0].Name, "clBlack");
    EXPECT_STREQ(ColorNames[51].Name, "clWindowText");
}
