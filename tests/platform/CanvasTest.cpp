#include "platform/Canvas.h"

#include <QSet>
#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;
// A background and a pen whose bits differ in every way the operations can tell apart.
constexpr uint32_t kBackground = 0xFF5A3C96u;
constexpr TColor kPenColor = 0x0F33CC; // $00BBGGRR: red CC, green 33, blue 0F
constexpr TColor kBrushColor = 0xA0F00A;

uint32_t Raw(const QImage& image, int x, int y) {
    return image.pixel(x, y);
}

QImage Filled(int w, int h, uint32_t pixel) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(pixel);
    return image;
}

// The pixels that differ from the background, as points.
std::vector<QPoint> Changed(const QImage& image, uint32_t background) {
    std::vector<QPoint> points;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Raw(image, x, y) != background) points.push_back({x, y});
    return points;
}

struct ModeCase {
    uint8_t Mode;
    const char* Name;
    std::function<uint32_t(uint32_t pen, uint32_t dst)> Op;
};

const std::vector<ModeCase> kModes = {
    {pmBlack, "R2_BLACK", [](uint32_t, uint32_t) { return 0u; }},
    {pmWhite, "R2_WHITE", [](uint32_t, uint32_t) { return 0xFFFFFFu; }},
    {pmNop, "R2_NOP", [](uint32_t, uint32_t d) { return d; }},
    {pmNot, "R2_NOT", [](uint32_t, uint32_t d) { return ~d; }},
    {pmCopy, "R2_COPYPEN", [](uint32_t p, uint32_t) { return p; }},
    {pmNotCopy, "R2_NOTCOPYPEN", [](uint32_t p, uint32_t) { return ~p; }},
    {pmMergePenNot, "R2_MERGEPENNOT", [](uint32_t p, uint32_t d) { return p | ~d; }},
    {pmMaskPenNot, "R2_MASKPENNOT", [](uint32_t p, uint32_t d) { return p & ~d; }},
    {pmMergeNotPen, "R2_MERGENOTPEN", [](uint32_t p, uint32_t d) { return ~p | d; }},
    {pmMaskNotPen, "R2_MASKNOTPEN", [](uint32_t p, uint32_t d) { return ~p & d; }},
    {pmMerge, "R2_MERGEPEN", [](uint32_t p, uint32_t d) { return p | d; }},
    {pmNotMerge, "R2_NOTMERGEPEN", [](uint32_t p, uint32_t d) { return ~(p | d); }},
    {pmMask, "R2_MASKPEN", [](uint32_t p, uint32_t d) { return p & d; }},
    {pmNotMask, "R2_NOTMASKPEN", [](uint32_t p, uint32_t d) { return ~(p & d); }},
    {pmXor, "R2_XORPEN", [](uint32_t p, uint32_t d) { return p ^ d; }},
    {pmNotXor, "R2_NOTXORPEN", [](uint32_t p, uint32_t d) { return ~(p ^ d); }},
    // Bytes that name no operation copy.
    {16, "16", [](uint32_t p, uint32_t) { return p; }},
    {200, "200", [](uint32_t p, uint32_t) { return p; }},
    {255, "255", [](uint32_t p, uint32_t) { return p; }},
};

uint32_t Expected(const ModeCase& m, TColor color) {
    return (m.Op(ToPixel(color), kBackground) & 0x00FFFFFFu) | kOpaque;
}

} // namespace

TEST(Canvas, EveryPenModeOnEveryFigureKeepsTheAlphaByte) {
    for (const ModeCase& m : kModes) {
        SCOPED_TRACE(m.Name);
        QImage image = Filled(60, 20, kBackground);
        Canvas canvas(image);
        canvas.Pen = {kPenColor, 1, TPenStyle::psSolid, m.Mode};
        canvas.Brush = {kBrushColor, TBrushStyle::bsSolid};
        canvas.MoveTo(1, 1);
        canvas.LineTo(8, 1); // thin line
        canvas.Pen.Width = 5;
        canvas.MoveTo(3, 8);
        canvas.LineTo(12, 8); // wide line
        canvas.Pen.Width = 1;
        canvas.Rectangle(20, 2, 30, 12);
        canvas.FillRegion(QRegion(40, 2, 5, 5));

        EXPECT_EQ(Raw(image, 4, 1), Expected(m, kPenColor));
        EXPECT_EQ(Raw(image, 8, 1), kBackground) << "last pixel of the line";
        EXPECT_EQ(Raw(image, 7, 10), Expected(m, kPenColor)) << "wide line";
        EXPECT_EQ(Raw(image, 20, 2), Expected(m, kPenColor)) << "outline";
        EXPECT_EQ(Raw(image, 25, 7), Expected(m, kBrushColor)) << "interior";
        EXPECT_EQ(Raw(image, 30, 12), kBackground) << "right and bottom edge";
        EXPECT_EQ(Raw(image, 42, 4), Expected(m, kBrushColor)) << "region";
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ASSERT_EQ(Raw(image, x, y) & kOpaque, kOpaque) << x << "," << y;
    }
}

TEST(Canvas, XorFiguresDrawnTwiceLeaveNoTrace) {
    // Each pixel of a figure is reached once: overlapping parts would cancel out in the first pass.
    const QImage original = Filled(80, 60, kBackground);
    QImage image = original;
    Canvas canvas(image);
    canvas.Pen = {kPenColor, 7, TPenStyle::psSolid, pmXor};
    canvas.Brush = {kBrushColor, TBrushStyle::bsSolid};
    const QPoint zigzag[] = {{5, 5}, {30, 40}, {45, 8}, {70, 50}};
    for (int pass = 0; pass < 2; ++pass) {
        canvas.Rectangle(10, 10, 40, 30);
        canvas.Ellipse(35, 20, 75, 55);
        canvas.Polyline(zigzag, 4);
        if (pass == 0) {
            // Inside the wide polyline's joint the pen shows, not the background.
            EXPECT_EQ(Raw(image, 30, 40), (ToPixel(kPenColor) ^ kBackground) | kOpaque);
            EXPECT_NE(image, original);
        }
    }
    EXPECT_EQ(image, original);
}

TEST(Canvas, ThinLineLeavesOutItsLastPixelInEveryDirection) {
    struct Case {
        int Dx, Dy;
    } directions[] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    for (const Case& d : directions) {
        SCOPED_TRACE(testing::Message() << d.Dx << "," << d.Dy);
        QImage image = Filled(21, 21, 0xFFFFFFFFu);
        Canvas canvas(image);
        canvas.MoveTo(10, 10);
        canvas.LineTo(10 + 6 * d.Dx, 10 + 6 * d.Dy);
        std::vector<QPoint> expected;
        for (int k = 0; k < 6; ++k)
            expected.push_back({10 + k * d.Dx, 10 + k * d.Dy});
        std::vector<QPoint> got = Changed(image, 0xFFFFFFFFu);
        std::sort(expected.begin(), expected.end(),
                  [](QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); });
        EXPECT_EQ(got, expected);
        EXPECT_EQ(canvas.PenPos(), QPoint(10 + 6 * d.Dx, 10 + 6 * d.Dy));
    }
}

TEST(Canvas, ThinLinePixelsFollowTheDiamondRule) {
    // Halfway between two pixels the upper (or left) one is lit, whichever way the line runs.
    struct Case {
        QPoint From, To;
        std::vector<QPoint> Pixels;
    } cases[] = {
        {{0, 0}, {4, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {{4, 2}, {0, 0}, {{3, 1}, {4, 2}, {1, 0}, {2, 1}}},
        {{0, 0}, {2, 4}, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},
        {{1, 1}, {10, 4}, {{1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 2}, {6, 3}, {7, 3}, {8, 3}, {9, 4}}},
        {{3, 3}, {3, 3}, {}},
    };
    for (const Case& c : cases) {
        QImage image = Filled(12, 6, 0xFFFFFFFFu);
        Canvas canvas(image);
        canvas.Pen.Width = 0; // a zero width is the one-pixel pen too
        canvas.MoveTo(c.From.x(), c.From.y());
        canvas.LineTo(c.To.x(), c.To.y());
        std::vector<QPoint> expected = c.Pixels;
        std::sort(expected.begin(), expected.end(),
                  [](QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); });
        EXPECT_EQ(Changed(image, 0xFFFFFFFFu), expected)
            << c.From.x() << "," << c.From.y() << " to " << c.To.x() << "," << c.To.y();
    }
}

TEST(Canvas, WideLineHasRoundCapsOverBothEnds) {
    QImage image = Filled(30, 20, 0xFFFFFFFFu);
    Canvas canvas(image);
    canvas.Pen.Width = 5;
    canvas.MoveTo(5, 10);
    canvas.LineTo(20, 10);
    // Five rows centred on the line; each cap reaches two pixels past its end point, rounded off.
    EXPECT_EQ(canvas.Pixel(3, 10), clBlack);
    EXPECT_EQ(canvas.Pixel(22, 10), clBlack);
    EXPECT_EQ(canvas.Pixel(23, 10), clWhite);
    EXPECT_EQ(canvas.Pixel(12, 8), clBlack);
    EXPECT_EQ(canvas.Pixel(12, 12), clBlack);
    EXPECT_EQ(canvas.Pixel(12, 13), clWhite);
    EXPECT_EQ(canvas.Pixel(3, 8), clWhite) << "corner of a square cap";
    // A zero-length wide line is a round dot.
    canvas.MoveTo(25, 3);
    canvas.LineTo(25, 3);
    EXPECT_EQ(canvas.Pixel(25, 3), clBlack);
}

// Whether the centre of pixel (x, y) lies within width / 2 of the line, in exact integers; an even
// width's centre line runs half a pixel up and to the left.
bool WithinPen(int x, int y, QPoint a, QPoint b, int width) {
    const int64_t s = width % 2 == 0 ? 1 : 0;
    const int64_t ax = 2 * a.x() - s, ay = 2 * a.y() - s, dx = 2 * (b.x() - a.x()), dy = 2 * (b.y() - a.y());
    const int64_t px = 2 * x - ax, py = 2 * y - ay, r2 = int64_t(width) * width;
    const int64_t len2 = dx * dx + dy * dy, t = px * dx + py * dy;
    if (len2 == 0 || t <= 0) return px * px + py * py <= r2;
    if (t >= len2) return (px - dx) * (px - dx) + (py - dy) * (py - dy) <= r2;
    const int64_t cross = px * dy - py * dx;
    return cross * cross <= r2 * len2;
}

TEST(Canvas, WideLineCoversExactlyThePixelsWithinHalfItsWidth) {
    std::mt19937 rng(11);
    auto coord = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 300; ++round) {
        const QPoint a(coord(-5, 45), coord(-5, 45)), b(coord(-5, 45), coord(-5, 45));
        const int width = coord(2, 13);
        QImage image = Filled(40, 40, 0xFFFFFFFFu);
        Canvas canvas(image);
        canvas.Pen.Width = width;
        canvas.MoveTo(a.x(), a.y());
        canvas.LineTo(b.x(), b.y());
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(canvas.Pixel(x, y) == clBlack, WithinPen(x, y, a, b, width))
                    << "pixel " << x << "," << y << " line " << a.x() << "," << a.y() << " to " << b.x()
                    << "," << b.y() << " width " << width;
    }
}

TEST(Canvas, RectangleAndEllipseLeaveOutRightAndBottomEdges) {
    for (const QRect corners : {QRect(QPoint(0, 0), QPoint(10, 10)), QRect(QPoint(10, 10), QPoint(0, 0)),
                                QRect(QPoint(10, 0), QPoint(0, 10))}) {
        QImage image = Filled(14, 14, 0xFFFFFFFFu);
        Canvas canvas(image);
        canvas.Brush = {clRed, TBrushStyle::bsSolid};
        canvas.Rectangle(corners.left(), corners.top(), corners.right(), corners.bottom());
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(canvas.Pixel(i, 0), clBlack);
            EXPECT_EQ(canvas.Pixel(i, 9), clBlack);
            EXPECT_EQ(canvas.Pixel(0, i), clBlack);
            EXPECT_EQ(canvas.Pixel(9, i), clBlack);
            EXPECT_EQ(canvas.Pixel(i, 10), clWhite);
            EXPECT_EQ(canvas.Pixel(10, i), clWhite);
        }
        EXPECT_EQ(canvas.Pixel(5, 5), clRed);

        QImage round = Filled(14, 14, 0xFFFFFFFFu);
        Canvas roundCanvas(round);
        roundCanvas.Ellipse(corners.left(), corners.top(), corners.right(), corners.bottom());
        QRect box;
        for (const QPoint& p : Changed(round, 0xFFFFFFFFu))
            box |= QRect(p, QSize(1, 1));
        EXPECT_EQ(box, QRect(0, 0, 10, 10));
    }
}

TEST(Canvas, EllipseWithThinPenCoversItsRegionExactly) {
    for (const QRect box : {QRect(3, 4, 17, 9), QRect(2, 2, 1, 6), QRect(5, 5, 20, 20), QRect(1, 1, 2, 2)}) {
        SCOPED_TRACE(testing::Message()
                     << box.x() << "," << box.y() << " " << box.width() << "x" << box.height());
        QImage image = Filled(30, 30, 0xFFFFFFFFu);
        Canvas canvas(image);
        canvas.Brush = {clRed, TBrushStyle::bsSolid};
        canvas.Ellipse(box.left(), box.top(), box.left() + box.width(), box.top() + box.height());
        const QRegion region =
            EllipticRegion(box.left(), box.top(), box.left() + box.width(), box.top() + box.height());
        bool outlineSeen = false;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x) {
                ASSERT_EQ(canvas.Pixel(x, y) != clWhite, region.contains(QPoint(x, y))) << x << "," << y;
                // Mirror symmetry about the box's centre.
                const int mx = 2 * box.left() + box.width() - 1 - x;
                if (mx >= 0 && mx < 30) {
                    ASSERT_EQ(canvas.Pixel(x, y), canvas.Pixel(mx, y));
                }
                outlineSeen |= canvas.Pixel(x, y) == clBlack;
            }
        EXPECT_TRUE(outlineSeen);
    }
}

TEST(Canvas, ClearBrushDrawsOutlinesOnlyAndClearPenInteriorsOnly) {
    QImage image = Filled(30, 16, 0xFFFFFFFFu);
    Canvas canvas(image);
    canvas.Brush.Style = TBrushStyle::bsClear;
    canvas.Rectangle(1, 1, 11, 11);
    canvas.Ellipse(15, 1, 29, 15);
    EXPECT_EQ(canvas.Pixel(1, 1), clBlack);
    EXPECT_EQ(canvas.Pixel(5, 5), clWhite);
    EXPECT_EQ(canvas.Pixel(22, 8), clWhite);

    QImage solid = Filled(12, 12, 0xFFFFFFFFu);
    Canvas noPen(solid);
    noPen.Pen.Style = TPenStyle::psClear;
    noPen.Brush = {clRed, TBrushStyle::bsSolid};
    noPen.Rectangle(0, 0, 10, 10);
    QRect box;
    for (const QPoint& p : Changed(solid, 0xFFFFFFFFu))
        box |= QRect(p, QSize(1, 1));
    EXPECT_EQ(box, QRect(0, 0, 9, 9));
    EXPECT_EQ(noPen.Pixel(0, 0), clRed);
}

TEST(Canvas, DottedPenDrawsDotsAndErasesItselfInNotXor) {
    QImage image = Filled(40, 30, kBackground);
    const QImage original = image;
    Canvas canvas(image);
    canvas.Pen = {clBlack, 1, TPenStyle::psDot, pmNotXor};
    canvas.Brush.Style = TBrushStyle::bsClear;
    canvas.MoveTo(0, 0);
    canvas.LineTo(14, 0);
    std::string pattern;
    for (int x = 0; x < 15; ++x)
        pattern += Raw(image, x, 0) == kBackground ? '.' : '#';
    EXPECT_EQ(pattern, "###...###...##.");

    image = original;
    for (int pass = 0; pass < 2; ++pass) {
        canvas.Rectangle(2, 3, 30, 25);
        canvas.Ellipse(5, 5, 38, 29);
        canvas.MoveTo(1, 28);
        canvas.LineTo(39, 1);
        if (pass == 0) {
            EXPECT_NE(image, original);
        }
    }
    EXPECT_EQ(image, original);
}

TEST(Canvas, ClipRegionLimitsEveryKindOfDrawing) {
    QImage image = Filled(40, 40, 0xFFFFFFFFu);
    Canvas canvas(image);
    canvas.ClipRegion = QRegion(10, 10, 10, 10).united(QRegion(25, 25, 5, 5));
    canvas.Pen.Width = 3;
    canvas.Brush = {clRed, TBrushStyle::bsSolid};
    canvas.MoveTo(0, 0);
    canvas.LineTo(39, 39);
    canvas.Rectangle(0, 0, 40, 40);
    canvas.FillRegion(QRegion(0, 0, 40, 40));
    canvas.TextOut(0, 12, "Wide text here");
    canvas.CopyRect(QRect(0, 0, 40, 40), Filled(20, 20, 0xFF00FF00u), QRect(0, 0, 20, 20));
    int inside = 0;
    for (const QPoint& p : Changed(image, 0xFFFFFFFFu)) {
        EXPECT_TRUE(canvas.ClipRegion.contains(p)) << p.x() << "," << p.y();
        ++inside;
    }
    EXPECT_EQ(inside, 125);
}

TEST(Canvas, OpaqueTextFillsItsCellsAndTransparentTextLeavesThem) {
    QImage image = Filled(200, 40, 0xFFFFFFFFu);
    Canvas canvas(image);
    canvas.Font.Name = "Arial";
    canvas.Font.Size = 14;
    canvas.Font.Color = clBlue;
    canvas.Brush.Color = clSilver;
    const int w = canvas.TextWidth("Wagon"), h = canvas.TextHeight("My");
    EXPECT_EQ(h, canvas.TextHeight(""));
    ASSERT_GT(w, 20);
    ASSERT_GT(h, 15);

    canvas.BkMode = TBkMode::Opaque;
    canvas.TextOut(10, 5, "Wagon");
    QSet<TColor> colours;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x) {
            const bool cell = x >= 10 && x < 10 + w && y >= 5 && y < 5 + h;
            if (cell) {
                colours.insert(canvas.Pixel(x, y));
            } else {
                ASSERT_EQ(canvas.Pixel(x, y), clWhite) << x << "," << y;
            }
        }
    EXPECT_EQ(colours, (QSet<TColor>{clSilver, clBlue})) << "no antialiased shades";

    image.fill(0xFFFFFFFFu);
    canvas.BkMode = TBkMode::Transparent;
    canvas.TextOut(10, 5, "Wagon");
    QSet<TColor> plain;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x)
            plain.insert(canvas.Pixel(x, y));
    EXPECT_EQ(plain, (QSet<TColor>{clWhite, clBlue}));
}

TEST(Canvas, CopyAndStretchMoveColourValues) {
    QImage source = Filled(4, 2, 0xFF000000u);
    source.setPixel(1, 0, 0xFF112233u);
    QImage image = Filled(10, 10, 0xFFFFFFFFu);
    Canvas canvas(image);
    canvas.StretchDraw(QRect(0, 0, 8, 4), source);
    EXPECT_EQ(Raw(image, 2, 0), 0xFF112233u);
    EXPECT_EQ(Raw(image, 3, 1), 0xFF112233u);
    EXPECT_EQ(Raw(image, 4, 0), 0xFF000000u);
    EXPECT_EQ(Raw(image, 8, 0), 0xFFFFFFFFu);

    // From the canvas's own image, overlapping, and partly outside it.
    canvas.CopyRect(QRect(1, 0, 4, 2), image, QRect(0, 0, 4, 2));
    EXPECT_EQ(Raw(image, 3, 0), 0xFF112233u);
    EXPECT_EQ(Raw(image, 4, 0), 0xFF112233u);
    canvas.CopyRect(QRect(-2, 8, 4, 4), source, QRect(0, 0, 4, 4));
    EXPECT_EQ(Raw(image, 0, 8), 0xFF000000u);
    EXPECT_EQ(Raw(image, 0, 9), 0xFF000000u);

    // An image with an alpha channel still lands opaque.
    QImage translucent(2, 2, QImage::Format_ARGB32);
    translucent.fill(0x80FF0000u);
    canvas.CopyRect(QRect(6, 6, 2, 2), translucent, translucent.rect());
    EXPECT_EQ(Raw(image, 6, 6) & kOpaque, kOpaque);
    canvas.DrawImage(8, 8, translucent);
    EXPECT_EQ(Raw(image, 8, 8) & kOpaque, kOpaque);
}

TEST(Canvas, PixelOutsideTheImageAnswersInvalid) {
    QImage image = Filled(3, 3, 0xFF102030u);
    Canvas canvas(image);
    EXPECT_EQ(canvas.Pixel(1, 1), 0x302010u);
    EXPECT_EQ(canvas.Pixel(-1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(canvas.Pixel(3, 0), 0xFFFFFFFFu);
}

TEST(Canvas, WildCoordinatesAndWidthsDrawSafely) {
    QImage image = Filled(50, 50, 0xFFFFFFFFu);
    Canvas canvas(image);
    canvas.Brush = {clRed, TBrushStyle::bsSolid};
    canvas.MoveTo(INT_MIN, INT_MAX);
    canvas.LineTo(25, 25);
    canvas.Ellipse(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    canvas.FillRegion(EllipticRegion(INT_MIN, 0, 10, 10));
    EXPECT_TRUE(Changed(image, 0xFFFFFFFFu).empty()) << "beyond the device space nothing is drawn";

    // Far outside the image but within the device space: only the visible part is worked out.
    canvas.Pen.Width = INT_MAX;
    canvas.MoveTo(-100000000, 25);
    canvas.LineTo(100000000, 25);
    EXPECT_EQ(canvas.Pixel(0, 0), clBlack);
    canvas.Pen.Width = 1;
    canvas.Ellipse(-100000000, -100000000, 100000000, 100000000);
    EXPECT_EQ(canvas.Pixel(25, 25), clRed);
    canvas.MoveTo(-100000000, -99999999);
    canvas.LineTo(100000000, 100000001); // y = x + 1
    EXPECT_EQ(canvas.Pixel(25, 26), clBlack);
}
