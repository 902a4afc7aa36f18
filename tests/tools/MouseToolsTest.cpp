#include "tools/MouseTools.h"
#include "model/DrawSteps.h"

#include <QImage>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

// A view over a white picture at a scale and origin of the test's choosing, keeping its steps in a
// list of its own: the host a window gives the tools, without the window.
class TTestView : public TToolHost {
public:
    int Scale = 100;
    QPoint Origin;
    TToolPen Pen{clRed, 5};
    QImage Picture{200, 150, QImage::Format_RGB32};
    std::unique_ptr<Canvas> View;
    std::vector<std::unique_ptr<TDrawStep>> Steps;
    std::vector<TDrawStep*> Done;
    std::vector<TTextStep*> Entries;

    TTestView() {
        Picture.fill(Qt::white);
        View = std::make_unique<Canvas>(Picture);
        View->Pen.Color = Pen.Color;
        View->Pen.Width = Pen.Width;
    }
    Canvas& ToolCanvas() override { return *View; }
    void ShowArea(const QRect&) override {}
    int ToolScale() const override { return Scale; }
    QPoint ToolOrigin() const override { return Origin; }
    void DrawStep(const TDrawStep& step, Canvas& canvas) override { step.Draw(canvas); }
    TToolPen StepPen() const override { return Pen; }
    TDrawStep* AddStep(std::unique_ptr<TDrawStep> step) override {
        Steps.push_back(std::move(step));
        return Steps.back().get();
    }
    void OpenTextEntry(TTextStep* step) override { Entries.push_back(step); }
    void StepDone(TDrawStep* step) override { Done.push_back(step); }
    // The text entry's commands are the windows' business; their tests cover them.
    void EndTextEntry() override {}
    void UndoTextStep() override {}
    void ClickAt(int, int) override {}

    // What a fresh paint of the done steps gives.
    QImage Fresh() const {
        QImage image(Picture.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        Canvas canvas(image);
        canvas.Brush.Style = TBrushStyle::bsClear;
        for (const TDrawStep* step : Done)
            step->Draw(canvas);
        return image;
    }
};

class MouseTools : public ::testing::Test {
protected:
    TTestView View;
    bool Drawing = false;
    TMouseTools Tools{View, Drawing};

    void SetUp() override { View.View->Brush.Style = TBrushStyle::bsClear; }
    void Drag(int tool, TShiftState keys, std::initializer_list<QPoint> points) {
        const QPoint* p = points.begin();
        Tools.PressStep(tool, p->x(), p->y(), {}, false);
        for (++p; p != points.end(); ++p)
            Tools.Move(keys | ssLeft, p->x(), p->y());
        const QPoint last = *(points.end() - 1);
        Tools.ReleaseStep(keys, last.x(), last.y());
    }
    template <class T> T* Last() const { return dynamic_cast<T*>(View.Steps.back().get()); }
};

} // namespace

TEST_F(MouseTools, StepsStoreTheirPointsAt100PercentWhateverTheScale) {
    // 101 at 200 % is 50.5, which rounds away from zero.
    View.Scale = 200;
    Drag(dtRectangle, 0, {{101, 51}, {141, 91}});
    auto* shape = Last<TEllipseRect>();
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(QPoint(shape->StartX, shape->StartY), QPoint(51, 26));
    EXPECT_EQ(QPoint(shape->EndX, shape->EndY), QPoint(71, 46));
    // The width is the drawing width at 100 %, not the view pen's.
    EXPECT_EQ(shape->Width, 5);

    View.Scale = 50;
    Drag(dtLine, 0, {{10, 10}, {60, 10}});
    auto* line = Last<TLineStep>();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(QPoint(line->StartX, line->StartY), QPoint(20, 20));
    EXPECT_EQ(QPoint(line->EndPoint.X, line->EndPoint.Y), QPoint(120, 20));

    // A canvas that holds a scrolled part of the view: its pixels count from the origin.
    View.Scale = 200;
    View.Origin = QPoint(300, 100);
    Drag(dtFreeHand, ssShift, {{10, 10}, {30, 20}, {50, 40}});
    auto* stroke = Last<TMoveList>();
    ASSERT_NE(stroke, nullptr);
    EXPECT_EQ(QPoint(stroke->StartX, stroke->StartY), QPoint(155, 55));
    ASSERT_EQ(stroke->Points.size(), 2u);
    // Shift alone keeps the stroke on the row of the press, also after a repaint.
    EXPECT_EQ(stroke->Points[0].Y, 55);
    EXPECT_EQ(stroke->Points[1].Y, 55);
    EXPECT_EQ(stroke->Points[1].X, 175);
    EXPECT_EQ(stroke->Points[1].Color, clRed);
    EXPECT_EQ(stroke->Points[1].Width, 5);
    EXPECT_FALSE(Drawing);
    EXPECT_EQ(View.Done.size(), 3u);
}

TEST_F(MouseTools, SnappingWorksInViewPixelsAndRubberBandsLeaveNoTrace) {
    const TPen before = View.View->Pen;
    Drag(dtLine, ssShift, {{100, 100}, {120, 70}, {130, 80}});
    EXPECT_EQ(QPoint(Last<TLineStep>()->EndPoint.X, Last<TLineStep>()->EndPoint.Y), QPoint(125, 74));
    Drag(dtEllipse, ssShift, {{10, 10}, {40, 20}, {50, 30}});
    EXPECT_EQ(QPoint(Last<TEllipseRect>()->EndX, Last<TEllipseRect>()->EndY), QPoint(30, 30));
    // Ctrl and Alt together fill; Alt alone covers the outside.
    Drag(dtRectangle, ssCtrl | ssAlt, {{60, 60}, {80, 80}});
    EXPECT_TRUE(Last<TEllipseRect>()->Filled);
    EXPECT_FALSE(Last<TEllipseRect>()->Outside);
    EXPECT_TRUE(View.Picture == View.Fresh());
    EXPECT_EQ(View.View->Pen, before);
}

TEST_F(MouseTools, AStampThatCannotBeDrawnMakesNoStepAndEndsTheDrag) {
    const TPen before = View.View->Pen;
    EXPECT_ANY_THROW(Tools.PressStep(dtImageStamp, 20, 20, QStringLiteral("/nonexistent/gone.bmp"), true));
    EXPECT_FALSE(Drawing);
    EXPECT_TRUE(View.Steps.empty());
    EXPECT_EQ(Tools.Kind(), TMouseTools::TDragKind::None);
    EXPECT_EQ(View.View->Pen, before);
    // The release that follows finds no drag.
    Tools.ReleaseStep(0, 30, 30);
    EXPECT_TRUE(View.Done.empty());
}

TEST_F(MouseTools, TheTextToolOpensTheEntryOnItsStep) {
    View.Scale = 200;
    Drag(dtText, 0, {{40, 60}});
    ASSERT_EQ(View.Entries.size(), 1u);
    EXPECT_EQ(View.Entries[0], View.Steps.back().get());
    EXPECT_EQ(QPoint(View.Entries[0]->StartX, View.Entries[0]->StartY), QPoint(20, 30));
    EXPECT_EQ(View.Done.size(), 1u);
}

TEST_F(MouseTools, TheSelectionIsTheInsideOfItsFrameAndAClickSelectsNothing) {
    for (int i = 0; i < 200; ++i)
        View.Picture.setPixel(i % 200, (i * 7) % 150, qRgb(i, 255 - i, i / 2));
    const QImage shown = View.Picture.copy();
    const QPoint corners[][2] = {{{10, 10}, {110, 60}}, {{110, 60}, {10, 10}}};
    for (const auto& c : corners) {
        Tools.PressSelection(c[0].x(), c[0].y());
        Tools.Move(ssLeft, 50, 50);
        Tools.Move(ssLeft, c[1].x(), c[1].y());
        // The release point plays no part: the frame ends where the last move was.
        const QImage picture = Tools.ReleaseSelection();
        EXPECT_FALSE(Drawing);
        ASSERT_EQ(picture.size(), QSize(98, 48));
        EXPECT_TRUE(picture == shown.copy(11, 11, 98, 48));
        EXPECT_TRUE(View.Picture == shown);
    }
    // A click without a move, and a frame too thin to hold a pixel.
    Tools.PressSelection(30, 30);
    EXPECT_TRUE(Tools.ReleaseSelection().isNull());
    Tools.PressSelection(30, 30);
    Tools.Move(ssLeft, 32, 80);
    EXPECT_TRUE(Tools.ReleaseSelection().isNull());
    EXPECT_TRUE(View.Picture == shown);
}
