// The mouse tools, text entry and screenshots of the drawing window, driven through the X server with
// xdotool, and checked on the screen itself.
#include "DrawFrmX11Fixture.h"

#include "model/DrawSteps.h"

#include <QBuffer>
#include <QFile>
#include <QLineEdit>

namespace {

class DrawFrmMouseX11 : public DrawFrmOnPatternX11 {
protected:
    template <class T> T* LastAs() const { return dynamic_cast<T*>(Form->Layers().PaintList().back()); }
    // The screen shows exactly the window's fresh paint: no rubber band was left on it.
    void ExpectScreenIsTheAnnotation() {
        EXPECT_EQ(Mismatches(ScreenShot(), Form->AnnotatedScreenImage()), 0);
    }
    TColor ScreenAt(int x, int y) { return FromQColor(QColor(ScreenShot().pixel(x, y))); }
    TColor DesktopAt(int x, int y) const { return FromQColor(QColor(Desktop.pixel(x, y))); }
};

} // namespace

TEST_F(DrawFrmMouseX11, AFreehandDragWithShiftStaysOnItsRow) {
    Input("keydown shift mousemove 200 300 mousedown 1 mousemove 230 320 mousemove 260 350 "
          "mousemove 300 400 mouseup 1 keyup shift",
          1);
    auto* stroke = LastAs<TMoveList>();
    ASSERT_NE(stroke, nullptr);
    ASSERT_FALSE(stroke->Points.empty());
    for (const TMove& p : stroke->Points)
        EXPECT_EQ(p.Y, 300);
    EXPECT_EQ(stroke->Points.back().X, 300);
    ExpectScreenIsTheAnnotation();
    EXPECT_EQ(ScreenAt(250, 300), clBlack);
    EXPECT_EQ(ScreenAt(260, 350), DesktopAt(260, 350));
    // Undo gives the desktop back.
    Input("key ctrl+z", 0);
    EXPECT_EQ(Mismatches(ScreenShot(), Desktop), 0);
}

TEST_F(DrawFrmMouseX11, AShiftLineSnapsAndItsRubberBandLeavesNoTrace) {
    Input("key l keydown shift mousemove 100 100 mousedown 1 mousemove 120 90 mousemove 160 60 mousemove 130 "
          "80 "
          "mouseup 1 keyup shift",
          1);
    auto* line = LastAs<TLineStep>();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(QPoint(line->EndPoint.X, line->EndPoint.Y), QPoint(125, 74));
    ExpectScreenIsTheAnnotation();
}

TEST_F(DrawFrmMouseX11, AnAltEllipseLeavesOnlyTheEllipseUncovered) {
    Input(
        "key 2 key e keydown alt mousemove 400 300 mousedown 1 mousemove 500 400 mousemove 600 450 mouseup 1 "
        "keyup alt",
        1);
    auto* shape = LastAs<TEllipseRect>();
    ASSERT_NE(shape, nullptr);
    EXPECT_TRUE(shape->Outside);
    ExpectScreenIsTheAnnotation();
    EXPECT_EQ(ScreenAt(500, 375), DesktopAt(500, 375));
    EXPECT_EQ(ScreenAt(405, 305), clRed);
    EXPECT_EQ(ScreenAt(10, 10), clRed);
    EXPECT_EQ(ScreenAt(1919, 1079), clRed);
}

TEST_F(DrawFrmMouseX11, AHighlighterRectangleMasksWhatLiesBelow) {
    Input("key 2 key r key ctrl+h keydown ctrl mousemove 700 500 mousedown 1 mousemove 750 560 mousemove 800 "
          "600 "
          "mouseup 1 keyup ctrl",
          1);
    EXPECT_TRUE(LastAs<TEllipseRect>()->Filled);
    EXPECT_EQ(LastAs<TEllipseRect>()->Mode, pmMask);
    ExpectScreenIsTheAnnotation();
    for (const QPoint p : {QPoint(710, 510), QPoint(750, 550), QPoint(790, 590)})
        EXPECT_EQ(ScreenAt(p.x(), p.y()), DesktopAt(p.x(), p.y()) & clRed) << p.x() << "," << p.y();
}

TEST_F(DrawFrmMouseX11, TypedTextEndedWithEnterBecomesAStepAtThePress) {
    Input("key t mousemove 400 300 click 1", 1);
    ASSERT_TRUE(WaitFor([this] { return Form->Edit1->isVisible() && Form->Edit1->hasFocus(); }));
    ASSERT_TRUE(Xdotool("type Hello"));
    ASSERT_TRUE(WaitFor([this] { return Form->Edit1->text() == QStringLiteral("Hello"); }));
    ASSERT_TRUE(Xdotool("key Return"));
    ASSERT_TRUE(WaitFor([this] { return !Form->TextEntryOpen(); }));
    Settle();
    auto* text = LastAs<TTextStep>();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Text, QStringLiteral("Hello"));
    EXPECT_EQ(QPoint(text->StartX, text->StartY), QPoint(400, 300));
    ExpectScreenIsTheAnnotation();
    EXPECT_NE(Mismatches(ScreenShot(), Desktop), 0);
    // Esc in a new entry cancels it; the keys are the entry's own meanwhile.
    Input("mousemove 400 500 click 1", 2);
    ASSERT_TRUE(WaitFor([this] { return Form->Edit1->hasFocus(); }));
    // "type" takes every argument after it as text: the Esc goes on its own.
    ASSERT_TRUE(Xdotool("type 12"));
    ASSERT_TRUE(WaitFor([this] { return Form->Edit1->text() == QStringLiteral("12"); }));
    ASSERT_TRUE(Xdotool("key Escape"));
    ASSERT_TRUE(WaitFor([this] { return !Form->TextEntryOpen(); }));
    EXPECT_EQ(Painted(), 1u);
    EXPECT_EQ(Form->GetCurrLayer(), 1) << "the typed 2 chose no layer";
    EXPECT_TRUE(Form->isVisible());
}

TEST_F(DrawFrmMouseX11, SavedScreenshotsReadBackInTheirFormats) {
    Input("mousemove 100 100 mousedown 1 mousemove 300 200 mouseup 1", 1);
    QString target;
    Form->Seams.RunSaveDialog = [&](const QString&, const QString&, const QString&, const QString&) {
        return target;
    };
    const QImage truth = Form->AnnotatedScreenImage();
    target = Dir.path() + "/shot.png";
    ASSERT_TRUE(Xdotool("key ctrl+s"));
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(target); }));
    EXPECT_EQ(Mismatches(QImage(target), truth), 0);
    EXPECT_EQ(Mismatches(QImage(target), ScreenShot()), 0);
    target = Dir.path() + "/shot.jpeg";
    ASSERT_TRUE(Xdotool("key ctrl+s"));
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(target); }));
    QFile bmp(target);
    bmp.open(QIODevice::ReadOnly);
    EXPECT_EQ(bmp.read(2), QByteArray("BM"));
    EXPECT_EQ(Mismatches(QImage(target, "BMP"), truth), 0);
    target = Dir.path() + "/shot.jpg";
    ASSERT_TRUE(Xdotool("key ctrl+s"));
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(target); }));
    const QImage jpeg(target, "JPG");
    ASSERT_EQ(jpeg.size(), truth.size());
    // Lossy, but the stroke and the desktop are there.
    EXPECT_LT(qGray(jpeg.pixel(200, 150)), 80);
    EXPECT_LT(std::abs(qGreen(jpeg.pixel(900, 700)) - qGreen(truth.pixel(900, 700))), 24);
}

TEST_F(DrawFrmMouseX11, TheCopiedScreenshotIsAnImageOtherProgramsCanPaste) {
    Input("key 2 key r mousemove 500 500 mousedown 1 mousemove 600 600 mouseup 1", 1);
    ASSERT_TRUE(Xdotool("key ctrl+k"));
    Settle(500);
    const QByteArray png = ClipboardData(QStringLiteral("image/png"));
    ASSERT_TRUE(png.startsWith("\x89PNG"));
    QImage pasted;
    ASSERT_TRUE(pasted.loadFromData(png, "PNG"));
    EXPECT_EQ(Mismatches(pasted, Form->AnnotatedScreenImage()), 0);
    EXPECT_GT(Mismatches(pasted, Desktop), 0) << "the rectangle is in it";
}

TEST_F(DrawFrmMouseX11, APartialCopyTakesTheInsideOfTheDraggedFrame) {
    Answer = mrOk;
    ASSERT_TRUE(Xdotool("key shift+alt+p"));
    ASSERT_TRUE(WaitFor([this] { return Form->GetCopyPartial(); }));
    Input("mousemove 600 400 mousedown 1 mousemove 650 450 mousemove 700 480 mouseup 1", 0);
    ASSERT_TRUE(WaitFor([this] { return !Form->GetCopyPartial(); }));
    Settle(300);
    QImage pasted;
    ASSERT_TRUE(pasted.loadFromData(ClipboardData(QStringLiteral("image/png")), "PNG"));
    EXPECT_EQ(Mismatches(pasted, Desktop.copy(601, 401, 98, 78)), 0);
    EXPECT_EQ(Mismatches(ScreenShot(), Desktop), 0) << "the frame is gone from the screen";
}
