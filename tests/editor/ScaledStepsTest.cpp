#include "editor/ScaledSteps.h"
#include "editor/StepList.h"
#include "model/DrawSteps.h"
#include "platform/Canvas.h"
#include "platform/Screen.h"
#include "platform/WinMath.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;

struct Board {
    QImage Image;
    Canvas C;
    explicit Board(int w = 200, int h = 60) : Image(w, h, QImage::Format_RGB32), C(Image) {
        Image.fill(kWhite);
        C.Brush.Style = TBrushStyle::bsClear;
    }
    bool Painted(int x, int y) const { return Image.pixel(x, y) != kWhite; }
    // The painted columns of a row, as [first, last].
    std::pair<int, int> Run(int y) const {
        int first = -1, last = -1;
        for (int x = 0; x < Image.width(); ++x)
            if (Painted(x, y)) {
                if (first < 0) first = x;
                last = x;
            }
        return {first, last};
    }
};

std::unique_ptr<TLineStep> Line(int x1, int y1, int x2, int y2, int width = 1) {
    auto line = std::make_unique<TLineStep>();
    line->StartX = x1;
    line->StartY = y1;
    line->EndPoint.X = x2;
    line->EndPoint.Y = y2;
    line->EndPoint.Width = width;
    line->EndPoint.Color = clBlack;
    line->Mode = pmCopy;
    return line;
}

} // namespace

// Every stored value v is drawn at MulDiv(v, scale, 100): to the nearest, halves away from zero, on
// both sides of zero. The view part starts at -100 so that negative values land on the board.
TEST(ScaledSteps, CoordinatesScaleToTheNearestWithHalvesAwayFromZero) {
    struct Case {
        int Stored, Scale, Drawn;
    } cases[] = {
        {5, 10, 1},   {-5, 10, -1}, {14, 10, 1},    {15, 10, 2},   {-15, 10, -2}, {3, 50, 2},
        {-3, 50, -2}, {3, 500, 15}, {-3, 500, -15}, {19, 500, 95}, {7, 100, 7},   {-7, 100, -7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Stored << " at " << c.Scale << " %");
        // Pen width 0 stays the one-pixel pen at every scale. A line running right from the start
        // point starts on the start pixel.
        Board right;
        DrawStepScaled(*Line(c.Stored, 0, 1000, 0, 0), right.C, c.Scale, QPoint(-100, 0));
        EXPECT_EQ(right.Run(0).first, c.Drawn + 100);
        // A line running left to the end point leaves out the end pixel itself.
        Board left;
        DrawStepScaled(*Line(1000, 0, c.Stored, 0, 0), left.C, c.Scale, QPoint(-100, 0));
        EXPECT_EQ(left.Run(0).first, c.Drawn + 101);
    }
}

TEST(ScaledSteps, PenWidthsAndFontSizesScaleAndTheOnePixelPenStays) {
    // Width 3 at 10 % is 0: the one-pixel pen.
    Board thin;
    DrawStepScaled(*Line(0, 200, 1000, 200, 3), thin.C, 10);
    EXPECT_TRUE(thin.Painted(50, 20));
    EXPECT_FALSE(thin.Painted(50, 19));
    EXPECT_FALSE(thin.Painted(50, 21));
    // Width 3 at 500 % is 15 pixels across.
    Board wide(200, 200);
    DrawStepScaled(*Line(0, 20, 1000, 20, 3), wide.C, 500);
    int rows = 0;
    for (int y = 0; y < 200; ++y)
        rows += wide.Painted(150, y);
    EXPECT_EQ(rows, 15);

    // A 14-point text at 25 % is written as a 4-point one, always without a background, at the
    // scaled start.
    TTextStep text;
    text.StartX = 21;
    text.StartY = 9;
    text.Text = "Hello";
    text.Font.Name = "Liberation Serif";
    text.Font.Size = 14;
    text.Font.Color = clRed;
    text.Transparent = false;
    Board scaled, expected;
    DrawStepScaled(text, scaled.C, 25);
    TTextStep small;
    small.StartX = 5;
    small.StartY = 2;
    small.Text = text.Text;
    small.Font = text.Font;
    small.Font.Size = 4;
    small.Draw(expected.C);
    EXPECT_EQ(scaled.Image, expected.Image);
    EXPECT_EQ(text.Font.Size, 14) << "the stored step keeps its size";
}

TEST(ScaledSteps, AStampStretchesBetweenItsScaledCorners) {
    QTemporaryDir dir;
    QImage picture(30, 30, QImage::Format_RGB32);
    picture.fill(0xFF0000FF);
    picture.setPixel(0, 29, 0xFF00FF00); // the corner an opaque stamp keeps
    const QString file = dir.filePath("stamp.bmp");
    ASSERT_TRUE(picture.save(file, "BMP"));
    TImageStep stamp;
    stamp.StartX = 10;
    stamp.StartY = 20;
    stamp.FileName = file;

    Board half(60, 60);
    DrawStepScaled(stamp, half.C, 50);
    // (5, 10) to (20, 25), right and bottom edges left out.
    EXPECT_TRUE(half.Painted(5, 10));
    EXPECT_TRUE(half.Painted(19, 24));
    EXPECT_FALSE(half.Painted(20, 24));
    EXPECT_FALSE(half.Painted(19, 25));
    EXPECT_FALSE(half.Painted(4, 10));
    EXPECT_FALSE(half.Painted(5, 9));

    // At 100 % the stamp is the model's stamp, pixel for pixel.
    Board same(60, 60), model(60, 60);
    DrawStepScaled(stamp, same.C, 100);
    stamp.Draw(model.C);
    EXPECT_EQ(same.Image, model.Image);

    // A deleted file throws, for the caller to report.
    stamp.FileName = dir.filePath("gone.bmp");
    EXPECT_ANY_THROW(DrawStepScaled(stamp, same.C, 50));
}

TEST(ScaledSteps, TheOutsideCoverCoversTheWholeScaledFrameBeyondTheScreen) {
    const QSize screen = ScreenSize();
    TEllipseRect cover;
    cover.StartX = 2;
    cover.StartY = 2;
    cover.EndX = 4;
    cover.EndY = 4;
    cover.IsRect = true;
    cover.Outside = true;
    cover.Color = clRed;
    cover.Width = 1;
    cover.Mode = pmCopy;
    // A frame wider than the screen, whole at 500 % or saved at 100 %: covered to its right edge.
    for (int scale : {500, 100}) {
        Board whole(screen.width() + 40, 40);
        DrawStepScaled(cover, whole.C, scale);
        EXPECT_FALSE(whole.Painted(MulDiv(3, scale, 100), MulDiv(3, scale, 100))) << "inside the rectangle";
        EXPECT_TRUE(whole.Painted(screen.width() - 1, 30)) << scale;
        EXPECT_TRUE(whole.Painted(screen.width() + 39, 30)) << scale;
    }
    // A part of the view far beyond the screen's size is frame too.
    Board beyond(40, 40);
    DrawStepScaled(cover, beyond.C, 500, QPoint(screen.width() + 10, 0));
    EXPECT_TRUE(beyond.Painted(5, 30));
    EXPECT_TRUE(beyond.Painted(39, 39));
}

TEST(ScaledSteps, ClonesAreDeepAndDrawAsTheirSources) {
    auto stroke = std::make_unique<TMoveList>();
    stroke->StartX = 3;
    stroke->StartY = 4;
    stroke->Mode = pmCopy;
    stroke->Layer = 2;
    stroke->Points = {{40, 30, 2, clBlue}, {90, 10, 5, clRed}};
    auto shape = std::make_unique<TEllipseRect>();
    shape->StartX = 10;
    shape->StartY = 10;
    shape->EndX = 60;
    shape->EndY = 40;
    shape->Width = 3;
    shape->Color = clGreen;
    shape->Filled = true;
    shape->Mode = pmMask;
    auto text = std::make_unique<TTextStep>();
    text->Text = "Abc";
    text->Font.Name = "Liberation Sans";
    text->Font.Size = 20;
    text->Font.Style = fsBold | fsItalic;
    text->Font.Color = clNavy;
    std::vector<std::unique_ptr<TDrawStep>> sources;
    sources.push_back(std::move(stroke));
    sources.push_back(Line(5, 50, 150, 5, 4));
    sources.push_back(std::move(shape));
    sources.push_back(std::move(text));
    for (std::unique_ptr<TDrawStep>& source : sources) {
        std::unique_ptr<TDrawStep> clone = CloneStep(*source);
        ASSERT_TRUE(clone);
        EXPECT_EQ(typeid(*clone), typeid(*source));
        EXPECT_EQ(clone->Layer, source->Layer);
        Board fromSource, fromClone;
        DrawStepScaled(*source, fromSource.C, 75);
        source.reset(); // the clone owns all it needs
        DrawStepScaled(*clone, fromClone.C, 75);
        EXPECT_EQ(fromClone.Image, fromSource.Image);
    }

    TImageStep stamp;
    stamp.FileName = "a.png";
    stamp.Transparent = true;
    const auto stampClone = CloneStep(stamp);
    EXPECT_EQ(static_cast<TImageStep&>(*stampClone).FileName, "a.png");
    EXPECT_TRUE(static_cast<TImageStep&>(*stampClone).Transparent);
}

TEST(ScaledSteps, AssignCopiesOwnFieldsOnlyFromTheSameClassAndAppendsPoints) {
    TMoveList stroke;
    stroke.Points = {{1, 1, 1, clRed}};
    TMoveList other;
    other.StartX = 9;
    other.Points = {{2, 2, 2, clBlue}, {3, 3, 3, clBlue}};
    AssignStep(stroke, other);
    EXPECT_EQ(stroke.StartX, 9);
    ASSERT_EQ(stroke.Points.size(), 3u);
    EXPECT_EQ(stroke.Points[2].X, 3);
    other.Points[1].X = 77;
    EXPECT_EQ(stroke.Points[2].X, 3) << "the points are the target's own";

    TTextStep text;
    text.Text = "kept";
    const auto line = Line(11, 12, 13, 14);
    line->Mode = pmMask;
    line->Layer = 3;
    AssignStep(text, *line);
    EXPECT_EQ(text.StartX, 11);
    EXPECT_EQ(text.StartY, 12);
    EXPECT_EQ(text.Mode, pmMask);
    EXPECT_EQ(text.Layer, 3);
    EXPECT_EQ(text.Text, "kept");
}

TEST(ScaledSteps, AStrokeWithoutPointsDrawsNothing) {
    TMoveList stroke;
    stroke.StartX = 10;
    stroke.StartY = 10;
    Board board;
    DrawStepScaled(stroke, board.C, 500);
    EXPECT_EQ(board.Run(50).first, -1);
    for (int y = 0; y < 60; ++y)
        ASSERT_EQ(board.Run(y).first, -1);
}

TEST(DrawStepList, OwnsItsStepsAndCopiesThemAsClones) {
    TDrawSteps list;
    EXPECT_EQ(list.Add(Line(0, 0, 1, 1)), 0);
    EXPECT_EQ(list.Add(Line(2, 2, 3, 3)), 1);
    list.Insert(1, Line(4, 4, 5, 5));
    list.Insert(3, Line(6, 6, 7, 7));
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.GetItem(1)->StartX, 4);
    EXPECT_EQ(list.GetItem(2)->StartX, 2);
    EXPECT_EQ(list.GetItem(3)->StartX, 6);

    EXPECT_THROW(list.GetItem(4), EListError);
    EXPECT_THROW(list.GetItem(-1), EListError);
    EXPECT_THROW(list.Insert(5, Line(8, 8, 9, 9)), EListError);
    EXPECT_EQ(list.Count(), 4) << "a refused insert changes nothing";

    TDrawSteps copy;
    copy.Add(Line(50, 50, 51, 51));
    copy.AssignSteps(list);
    ASSERT_EQ(copy.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NE(copy.GetItem(i), list.GetItem(i));
        EXPECT_EQ(copy.GetItem(i)->StartX, list.GetItem(i)->StartX);
    }
    list.GetItem(0)->StartX = 99;
    EXPECT_EQ(copy.GetItem(0)->StartX, 0);

    copy.AssignSteps(TDrawSteps());
    EXPECT_EQ(copy.Count(), 0);
}
