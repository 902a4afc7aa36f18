#include "platform/PointerOverlay.h"

#include <gtest/gtest.h>

namespace {

constexpr QRgb White = 0xFFFFFFFF;

QImage WhiteFrame(int w, int h) {
    QImage frame(w, h, QImage::Format_RGB32);
    frame.fill(White);
    return frame;
}

// The frame as rows of '.' (untouched) and '#' (drawn), for readable failures.
std::string Picture(const QImage& frame, QRect area) {
    std::string s;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            s += frame.pixel(x, y) == White ? '.' : '#';
        s += '\n';
    }
    return s;
}

QRect DrawnBounds(const QImage& frame) {
    QRect bounds;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            if (frame.pixel(x, y) != White) bounds |= QRect(x, y, 1, 1);
    return bounds;
}

PointerImage SolidPointer(QSize size, QPoint hot, QRgb colour) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return {image, hot};
}

} // namespace

TEST(PointerOverlay, LastCountedButtonGivesTheCircleColour) {
    struct Case {
        PointerButtons Buttons;
        std::optional<TColor> Color;
    };
    const Case cases[] = {
        {{false, false, false}, std::nullopt},    {{true, false, false}, TColor(0x0000FF)},
        {{false, true, false}, TColor(0x008000)}, {{false, false, true}, TColor(0x800000)},
        {{true, true, false}, TColor(0x008000)},  {{true, false, true}, TColor(0x800000)},
        {{false, true, true}, TColor(0x800000)},  {{true, true, true}, TColor(0x800000)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClickCircleColor(c.Buttons), c.Color);
}

TEST(PointerOverlay, ClickCircleIsARingTwoPixelsWideInsideItsBox) {
    QImage frame = WhiteFrame(100, 100);
    DrawClickCircle(frame, QPoint(50, 50), clGreen);
    SCOPED_TRACE(Picture(frame, QRect(33, 33, 34, 34)));
    // Ellipse(35, 35, 65, 65) leaves out its right and bottom edge.
    EXPECT_EQ(DrawnBounds(frame), QRect(35, 35, 30, 30));
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            const QRgb p = frame.pixel(i, j);
            ASSERT_TRUE(p == White || p == 0xFF008000u) << i << "," << j;
            // Symmetric about the box's centre lines.
            ASSERT_EQ(p, frame.pixel(99 - i, j)) << i << "," << j;
            ASSERT_EQ(p, frame.pixel(i, 99 - j)) << i << "," << j;
        }
    // Two pixels wide where it crosses the centre lines, hollow inside.
    EXPECT_EQ(frame.pixel(35, 50), 0xFF008000u);
    EXPECT_EQ(frame.pixel(36, 50), 0xFF008000u);
    EXPECT_EQ(frame.pixel(37, 50), White);
    EXPECT_EQ(frame.pixel(50, 36), 0xFF008000u);
    EXPECT_EQ(frame.pixel(50, 37), White);
    EXPECT_EQ(frame.pixel(50, 50), White);
}

TEST(PointerOverlay, PointerIsDrawnWithItsHotSpotAtThePosition) {
    QImage frame = WhiteFrame(100, 100);
    DrawPointer(frame, QPoint(20, 30), SolidPointer(QSize(16, 12), QPoint(4, 5), 0xFF0000FF));
    EXPECT_EQ(DrawnBounds(frame), QRect(16, 25, 16, 12));
    EXPECT_EQ(frame.pixel(16, 25), 0xFF0000FFu);
}

TEST(PointerOverlay, PointerBlendsByItsPremultipliedAlphaAndKeepsTheFrameOpaque) {
    QImage frame = WhiteFrame(10, 10);
    // Half-transparent black, premultiplied: over white it gives mid grey.
    DrawPointer(frame, QPoint(0, 0), SolidPointer(QSize(4, 4), QPoint(0, 0), 0x80000000));
    const QRgb p = frame.pixel(1, 1);
    EXPECT_NEAR(qRed(p), 127, 1);
    EXPECT_NEAR(qBlue(p), 127, 1);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(qAlpha(frame.pixel(x, y)), 255);
}

TEST(PointerOverlay, LargerPointersAreScaledIntoTheBox) {
    QImage frame = WhiteFrame(200, 200);
    DrawPointer(frame, QPoint(100, 100), SolidPointer(QSize(64, 48), QPoint(32, 24), 0xFFFF0000));
    // Half size: 32 x 24, hot spot (16, 12).
    EXPECT_EQ(DrawnBounds(frame), QRect(84, 88, 32, 24));
}

TEST(PointerOverlay, DrawingIsClippedAtTheFrameEdges) {
    QImage frame = WhiteFrame(40, 30);
    DrawPointer(frame, QPoint(38, 28), SolidPointer(QSize(16, 16), QPoint(0, 0), 0xFF00FF00));
    EXPECT_EQ(DrawnBounds(frame), QRect(38, 28, 2, 2));

    QImage outside = WhiteFrame(40, 30);
    DrawClickCircle(outside, QPoint(-40, 50), clRed);
    DrawPointer(outside, QPoint(-40, 50), SolidPointer(QSize(32, 32), QPoint(0, 0), 0xFF00FF00));
    EXPECT_TRUE(DrawnBounds(outside).isNull());
}
