#include "model/EllipseRect.h"
#include "model/LineStep.h"
#include "model/MoveList.h"
#include "model/TextStep.h"
#include "platform/Canvas.h"
#include "platform/Screen.h"

#include <QSet>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;
// Two background colours side by side, so a mask shows against both.
constexpr TColor kLeftColor = 0x3C9AF0, kRightColor = 0xE0E0E0;
constexpr TColor kYellow = clYellow;

// A canvas over a 120 x 90 image, left half one colour and right half another, with the drawing
// window's clear brush.
struct Board {
    QImage Image{120, 90, QImage::Format_RGB32};
    Canvas C{Image};
    Board() {
        Image.fill(ToPixel(kLeftColor));
        for (int y = 0; y < Image.height(); ++y)
            for (int x = 60; x < Image.width(); ++x)
                Image.setPixel(x, y, ToPixel(kRightColor));
        C.Brush.Style = TBrushStyle::bsClear;
    }
    TColor Background(int x) const { return x < 60 ? kLeftColor : kRightColor; }
};

TMove Point(int x, int y, int width, TColor color) {
    TMove m;
    m.X = x;
    m.Y = y;
    m.Width = width;
    m.Color = color;
    return m;
}

std::unique_ptr<TEllipseRect> Shape(int x1, int y1, int x2, int y2, bool isRect, uint8_t mode = pmCopy) {
    auto s = std::make_unique<TEllipseRect>();
    s->StartX = x1;
    s->StartY = y1;
    s->EndX = x2;
    s->EndY = y2;
    s->IsRect = isRect;
    s->Width = 1;
    s->Color = clRed;
    s->Mode = mode;
    return s;
}

std::unique_ptr<TTextStep> Text(int x, int y, const QString& text, bool transparent) {
    auto t = std::make_unique<TTextStep>();
    t->StartX = x;
    t->StartY = y;
    t->Text = text;
    t->Font.Name = "Arial";
    t->Font.Size = 14;
    t->Font.Color = clNavy;
    t->Transparent = transparent;
    return t;
}

} // namespace

TEST(DrawSteps, NewStepsStartAsTheirClassesDefine) {
    const TMoveList stroke;
    EXPECT_TRUE(stroke.Points.empty());
    EXPECT_EQ(stroke.StartX, 0);
    EXPECT_EQ(stroke.Mode, 0);
    EXPECT_EQ(stroke.Layer, 0);

    const TLineStep line;
    EXPECT_EQ(line.EndPoint.X, 0);
    EXPECT_EQ(line.EndPoint.Width, 0);
    EXPECT_EQ(line.EndPoint.Color, 0u);

    const TEllipseRect shape;
    EXPECT_EQ(shape.EndX, 0);
    EXPECT_EQ(shape.Width, 0);
    EXPECT_EQ(shape.Color, 0u);
    EXPECT_FALSE(shape.IsRect || shape.Filled || shape.Outside);

    const TTextStep text;
    EXPECT_TRUE(text.Text.isEmpty());
    EXPECT_EQ(text.Font.Name, "MS Sans Serif");
    EXPECT_EQ(text.Font.Size, 8);
    EXPECT_EQ(text.Font.Color, clWindowText);
    EXPECT_EQ(text.Font.Style, 0);
    EXPECT_TRUE(text.Transparent);
}

TEST(DrawSteps, StrokeWithNoPointsDrawsNothing) {
    Board b;
    const QImage before = b.Image;
    TMoveList stroke;
    stroke.StartX = 10;
    stroke.StartY = 10;
    stroke.Mode = pmCopy;
    stroke.Draw(b.C);
    EXPECT_EQ(b.Image, before);
}

TEST(DrawSteps, StrokeGivesEachSegmentItsPointsPen) {
    Board b;
    TMoveList stroke;
    stroke.StartX = 10;
    stroke.StartY = 10;
    stroke.Mode = pmCopy;
    stroke.Points.push_back(Point(30, 10, 1, clRed));
    stroke.Points.push_back(Point(30, 40, 5, clBlue));
    stroke.Draw(b.C);
    EXPECT_EQ(b.C.Pixel(10, 10), clRed);
    EXPECT_EQ(b.C.Pixel(27, 10), clRed);
    EXPECT_EQ(b.C.Pixel(29, 10), clBlue) << "the wide segment's round cap";
    EXPECT_EQ(b.C.Pixel(10, 11), kLeftColor) << "the first segment is one pixel wide";
    EXPECT_EQ(b.C.Pixel(28, 25), clBlue);
    EXPECT_EQ(b.C.Pixel(32, 25), clBlue);
    EXPECT_EQ(b.C.Pixel(33, 25), kLeftColor);
}

TEST(DrawSteps, EveryDrawLeavesPenBrushFontAndBackgroundModeAsFound) {
    std::vector<std::function<std::unique_ptr<TDrawStep>()>> makers = {
        [] {
            auto s = std::make_unique<TMoveList>();
            s->Mode = pmMask;
            s->Points.push_back(Point(50, 50, 9, clLime));
            return s;
        },
        [] {
            auto s = std::make_unique<TLineStep>();
            s->Mode = pmXor;
            s->EndPoint = Point(70, 20, 4, clAqua);
            return s;
        },
        [] { return Shape(5, 5, 40, 30, true, pmMask); },
        [] {
            auto s = Shape(5, 5, 40, 30, false);
            s->Filled = true;
            s->Width = 6;
            return s;
        },
        [] {
            auto s = Shape(20, 20, 60, 60, false);
            s->Outside = true;
            return s;
        },
        [] { return Text(5, 5, "Opaque", false); },
        [] { return Text(5, 5, "Clear", true); },
    };
    for (size_t i = 0; i < makers.size(); ++i) {
        SCOPED_TRACE(i);
        Board b;
        b.C.Pen = {clPurple, 2, TPenStyle::psDot, pmNotXor};
        b.C.Brush = {clTeal, TBrushStyle::bsClear};
        b.C.Font.Name = "Times New Roman";
        b.C.Font.Size = 21;
        b.C.Font.Style = fsItalic;
        b.C.BkMode = TBkMode::Opaque;
        const TPen pen = b.C.Pen;
        const TBrush brush = b.C.Brush;
        const TFont font = b.C.Font;
        makers[i]()->Draw(b.C);
        EXPECT_EQ(b.C.Pen, pen);
        EXPECT_EQ(b.C.Brush, brush);
        EXPECT_EQ(b.C.Font, font);
        EXPECT_EQ(b.C.BkMode, TBkMode::Opaque);
    }
}

TEST(DrawSteps, HighlighterLineMasksWhatLiesBelow) {
    Board b;
    TLineStep line;
    line.StartX = 20;
    line.StartY = 40;
    line.Mode = pmMask;
    line.EndPoint = Point(100, 40, 11, kYellow);
    line.Draw(b.C);
    for (int x : {20, 40, 59, 60, 80, 99}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(b.C.Pixel(x, 40), kYellow & b.Background(x));
        EXPECT_EQ(b.C.Pixel(x, 35), kYellow & b.Background(x));
        EXPECT_EQ(b.C.Pixel(x, 34), b.Background(x));
        EXPECT_EQ(b.Image.pixel(x, 40) & kOpaque, kOpaque);
    }
}

TEST(DrawSteps, FilledRectangleInHighlighterModeMasksOutlineAndInterior) {
    Board b;
    auto shape = Shape(40, 20, 80, 60, true, pmMask);
    shape->Color = kYellow;
    shape->Width = 3;
    shape->Filled = true;
    shape->Draw(b.C);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x) {
            // The 3-pixel pen straddles the outermost pixels of the box: one more on each side.
            const bool inside = x >= 39 && x <= 80 && y >= 19 && y <= 60;
            ASSERT_EQ(b.C.Pixel(x, y), inside ? (kYellow & b.Background(x)) : b.Background(x))
                << x << "," << y;
        }
}

TEST(DrawSteps, OutsideEllipseCoversAllButTheShape) {
    Board b;
    auto shape = Shape(70, 60, 20, 10, false); // corners as stored, end point above and left
    shape->Outside = true;
    shape->Filled = true; // plays no part
    shape->Width = 9;
    shape->Color = clGreen;
    shape->Draw(b.C);
    ASSERT_GE(ScreenSize().width(), 120);
    const QRegion ellipse = EllipticRegion(20, 10, 70, 60);
    ASSERT_TRUE(ellipse.contains(QPoint(45, 35)));
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x)
            ASSERT_EQ(b.C.Pixel(x, y), ellipse.contains(QPoint(x, y)) ? b.Background(x) : clGreen)
                << x << "," << y;
}

TEST(DrawSteps, OutsideRectangleInHighlighterModeMasksTheCover) {
    Board b;
    auto shape = Shape(10, 10, 50, 50, true, pmMask);
    shape->Outside = true;
    shape->Color = kYellow;
    shape->Draw(b.C);
    EXPECT_EQ(b.C.Pixel(30, 30), kLeftColor);
    EXPECT_EQ(b.C.Pixel(50, 30), kYellow & kLeftColor) << "the right edge is not part of the shape";
    EXPECT_EQ(b.C.Pixel(100, 80), kYellow & kRightColor);
}

TEST(DrawSteps, OpaqueTextShowsSilverCellsAndGlyphsInTheFontColour) {
    Board b;
    auto text = Text(10, 20, "Opaque text", false);
    text->Draw(b.C);
    b.C.Font = text->Font;
    const QRect cells(10, 20, b.C.TextWidth(text->Text), b.C.TextHeight(text->Text));
    QSet<TColor> inside;
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x) {
            if (cells.contains(x, y)) {
                inside.insert(b.C.Pixel(x, y));
            } else {
                ASSERT_EQ(b.C.Pixel(x, y), b.Background(x)) << x << "," << y;
            }
        }
    EXPECT_EQ(inside, (QSet<TColor>{clSilver, clNavy}));
}

TEST(DrawSteps, TransparentTextShowsOnlyItsGlyphs) {
    Board b;
    Text(10, 20, "Clear", true)->Draw(b.C);
    QSet<TColor> colours;
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x)
            colours.insert(b.C.Pixel(x, y));
    EXPECT_EQ(colours, (QSet<TColor>{kLeftColor, kRightColor, clNavy}));
}

TEST(DrawSteps, PlainShapeAfterAnOpaqueTextStaysUnfilled) {
    // The text's silver brush must not leak into the shapes drawn after it.
    Board b;
    Text(2, 2, "Note", false)->Draw(b.C);
    Shape(20, 40, 60, 80, true)->Draw(b.C);
    Shape(62, 40, 110, 80, false)->Draw(b.C);
    EXPECT_EQ(b.C.Pixel(20, 40), clRed);
    EXPECT_EQ(b.C.Pixel(40, 60), kLeftColor);
    EXPECT_EQ(b.C.Pixel(86, 60), kRightColor);
    EXPECT_EQ(b.C.Brush.Style, TBrushStyle::bsClear);
}

TEST(DrawSteps, ModeBeyondTheSixteenOperationsDrawsAsCopy) {
    for (int mode : {16, 100, 255}) {
        SCOPED_TRACE(mode);
        Board b;
        TLineStep line;
        line.StartX = 10;
        line.StartY = 10;
        line.Mode = uint8_t(mode);
        line.EndPoint = Point(100, 10, 3, kYellow);
        line.Draw(b.C);
        auto shape = Shape(10, 30, 100, 80, true, uint8_t(mode));
        shape->Filled = true;
        shape->Draw(b.C);
        EXPECT_EQ(b.C.Pixel(80, 10), kYellow);
        EXPECT_EQ(b.C.Pixel(80, 50), clRed);
    }
}
