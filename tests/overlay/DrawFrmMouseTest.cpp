#include "DrawFrmFixture.h"

#include "model/DrawSteps.h"
#include "platform/ShortCut.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>

namespace {

constexpr TColor Grey = 0x808080;

class DrawFrmMouse : public DrawFrmFixture {
protected:
    std::unique_ptr<TDrawFrm> Form;

    void SetUp() override {
        DrawFrmFixture::SetUp();
        Form = MakeForm();
        Form->Annotate();
        QApplication::processEvents();
    }
    void Choose(const char* name) {
        Form->UpdateActions();
        Find(*Form, name)->trigger();
    }
    // A drag from the first point through the others, the keys held all along.
    void Drag(TShiftState keys, std::initializer_list<QPoint> points) {
        const QPoint* p = points.begin();
        Form->FormMouseDown(mbLeft, keys | ssLeft, p->x(), p->y());
        for (++p; p != points.end(); ++p)
            Form->FormMouseMove(keys | ssLeft, p->x(), p->y());
        const QPoint last = *(points.end() - 1);
        Form->FormMouseUp(mbLeft, keys, last.x(), last.y());
    }
    TDrawStep* Last() const { return Form->Layers().PaintList().back(); }
    template <class T> T* LastAs() const { return dynamic_cast<T*>(Last()); }
    // The window shows exactly what a fresh paint of its steps gives: no rubber band left behind.
    void ExpectNoTrace() { EXPECT_TRUE(Form->Surface() == Form->AnnotatedScreenImage()); }
    TColor At(int x, int y) { return PixelAt(Form->Surface(), x, y); }
};

} // namespace

TEST_F(DrawFrmMouse, FreehandLocksFollowTheKeysHeld) {
    Drag(ssShift, {{10, 10}, {20, 15}, {30, 40}});
    auto* stroke = LastAs<TMoveList>();
    ASSERT_NE(stroke, nullptr);
    ASSERT_EQ(stroke->Points.size(), 2u);
    EXPECT_EQ(stroke->Points[0].Y, 10);
    EXPECT_EQ(stroke->Points[1].Y, 10);
    EXPECT_EQ(stroke->Points[1].X, 30);
    EXPECT_EQ(stroke->Points[1].Width, 3);
    EXPECT_EQ(stroke->Points[1].Color, clBlack);
    EXPECT_EQ(stroke->Mode, pmCopy);
    Drag(ssCtrl, {{50, 50}, {60, 70}, {80, 90}});
    EXPECT_EQ(LastAs<TMoveList>()->Points[1].X, 50);
    EXPECT_EQ(LastAs<TMoveList>()->Points[1].Y, 90);
    // Both together lock nothing.
    Drag(ssShift | ssCtrl, {{100, 100}, {120, 130}});
    EXPECT_EQ(LastAs<TMoveList>()->Points[0].X, 120);
    EXPECT_EQ(LastAs<TMoveList>()->Points[0].Y, 130);
    EXPECT_TRUE(Form->GetModified());
    ExpectNoTrace();
    EXPECT_EQ(At(20, 10), clBlack);
}

TEST_F(DrawFrmMouse, ShiftSnapsLinesAndSquaresShapes) {
    Choose("Line");
    struct LineCase {
        QPoint Pointer, End;
    } lines[] = {
        {{130, 110}, {130, 100}}, {{130, 80}, {125, 74}}, {{110, 40}, {100, 40}}, {{100, 160}, {100, 160}}};
    for (const LineCase& c : lines) {
        Drag(ssShift, {{100, 100}, {105, 103}, c.Pointer});
        auto* line = LastAs<TLineStep>();
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(QPoint(line->EndPoint.X, line->EndPoint.Y), c.End) << c.Pointer.x() << "," << c.Pointer.y();
        ExpectNoTrace();
    }
    Choose("Rectangle");
    Drag(ssShift, {{10, 10}, {30, 20}, {50, 30}});
    EXPECT_EQ(QPoint(LastAs<TEllipseRect>()->EndX, LastAs<TEllipseRect>()->EndY), QPoint(30, 30));
    EXPECT_TRUE(LastAs<TEllipseRect>()->IsRect);
    Choose("Ellipse");
    Drag(ssShift, {{10, 10}, {0, 60}});
    EXPECT_EQ(QPoint(LastAs<TEllipseRect>()->EndX, LastAs<TEllipseRect>()->EndY), QPoint(0, 20));
    EXPECT_FALSE(LastAs<TEllipseRect>()->IsRect);
    ExpectNoTrace();
}

TEST_F(DrawFrmMouse, CtrlFillsAndAltCoversEverythingOutside) {
    Choose("Rectangle");
    Drag(ssCtrl | ssAlt, {{10, 10}, {40, 40}});
    EXPECT_TRUE(LastAs<TEllipseRect>()->Filled);
    EXPECT_FALSE(LastAs<TEllipseRect>()->Outside);
    EXPECT_EQ(At(20, 20), clBlack);
    Choose("Undo");

    Choose("ALayer2"); // red
    Choose("Ellipse");
    Drag(ssAlt, {{100, 100}, {150, 140}, {200, 180}});
    auto* shape = LastAs<TEllipseRect>();
    EXPECT_TRUE(shape->Outside);
    EXPECT_FALSE(shape->Filled);
    // The ellipse's inside shows the desktop; everything else is covered, outline and corners included.
    EXPECT_EQ(At(150, 140), Grey);
    EXPECT_EQ(At(101, 101), clRed);
    EXPECT_EQ(At(5, 5), clRed);
    EXPECT_EQ(At(ScreenWidth() - 1, ScreenHeight() - 1), clRed);
    ExpectNoTrace();
}

TEST_F(DrawFrmMouse, TheHighlighterMasksWithThePenColour) {
    Choose("ALayer2");
    Choose("Highlighter");
    Choose("Rectangle");
    Drag(ssCtrl, {{10, 10}, {30, 30}});
    EXPECT_EQ(LastAs<TEllipseRect>()->Mode, pmMask);
    EXPECT_EQ(At(20, 20), Grey & clRed);
    ExpectNoTrace();
    // Text and stamp steps keep their own mode.
    Choose("Text");
    Drag(0, {{50, 50}});
    Form->EndTextEntry();
    EXPECT_EQ(LastAs<TTextStep>()->Mode, 0);
}

TEST_F(DrawFrmMouse, AStampIsDrawnAtThePressAndPaintedFromTheRelease) {
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 255));
    const QString file = ProgramDir() + "s.bmp";
    ASSERT_TRUE(picture.save(file, "BMP"));
    WriteIni(QByteArray("[Settings]\nImage4=s.bmp;0\n"));
    Form->LoadSettings();
    Choose("Highlighter");
    Find(*Form, "Stamp4")->trigger();
    Form->FormMouseDown(mbLeft, ssLeft, 30, 40);
    EXPECT_EQ(At(30, 40), TColor(0xFF0000));
    EXPECT_EQ(At(37, 45), TColor(0xFF0000));
    EXPECT_EQ(At(38, 40), Grey);
    EXPECT_TRUE(Form->Layers().PaintList().empty());
    Form->FormMouseUp(mbLeft, 0, 90, 90);
    auto* stamp = LastAs<TImageStep>();
    ASSERT_NE(stamp, nullptr);
    EXPECT_EQ(stamp->FileName, file);
    EXPECT_EQ(QPoint(stamp->StartX, stamp->StartY), QPoint(30, 40));
    EXPECT_EQ(stamp->Mode, 0);
    ExpectNoTrace();
}

TEST_F(DrawFrmMouse, TheTextEntryStandsWhereTheStepWritesAndEndsInAStep) {
    Choose("Text");
    Drag(0, {{50, 60}, {70, 80}});
    ASSERT_TRUE(Form->TextEntryOpen());
    EXPECT_EQ(Form->EditBounds().topLeft(), QPoint(50, 60));
    EXPECT_EQ(Form->EditBounds().height(), Form->GetCanvas().TextHeight("My"));
    EXPECT_EQ(Form->EditBounds().width(), Form->GetCanvas().TextWidth("W"));
    EXPECT_EQ(Form->Edit1->palette().color(QPalette::Base), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(Form->Edit1->font().pixelSize(), 19); // 14 points at 96 dots per inch
    // The step is painted from the release, with the text it has then.
    EXPECT_EQ(Form->Layers().PaintList().size(), 1u);
    Form->Edit1->setText("Hi");
    EXPECT_EQ(Form->EditBounds().width(), Form->GetCanvas().TextWidth("HiW"));
    // While the entry is open, a press only gives it the focus and keys are its own.
    Form->FormMouseDown(mbLeft, ssLeft, 300, 300);
    Form->FormKeyDown('L', 0);
    EXPECT_EQ(Form->GetTool(), dtText);
    Find(*Form, "End1")->trigger();
    EXPECT_FALSE(Form->TextEntryOpen());
    auto* text = LastAs<TTextStep>();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Text, QStringLiteral("Hi"));
    EXPECT_EQ(QPoint(text->StartX, text->StartY), QPoint(50, 60));
    EXPECT_EQ(text->Font.Name, QStringLiteral("Times New Roman"));
    EXPECT_TRUE(text->Transparent);
    EXPECT_EQ(Form->Layers().PaintList().size(), 1u);
    ExpectNoTrace();
    EXPECT_NE(Form->Surface(), Form->GetBackground());
}

TEST_F(DrawFrmMouse, NewLineCancelAndUndoKeepWhatWasTyped) {
    Choose("Text");
    Drag(0, {{50, 60}});
    Form->Edit1->setText("ab");
    Find(*Form, "Newline1")->trigger();
    ASSERT_TRUE(Form->TextEntryOpen());
    const int lineHeight = Form->GetCanvas().TextHeight("My");
    EXPECT_EQ(Form->EditBounds().topLeft(), QPoint(50, 60 + lineHeight));
    EXPECT_TRUE(Form->Edit1->text().isEmpty());
    Form->Edit1->setText("cd");
    Find(*Form, "End1")->trigger();
    const auto& steps = Form->Layers().Steps(1);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(static_cast<TTextStep*>(steps[0].get())->Text, QStringLiteral("ab"));
    EXPECT_EQ(static_cast<TTextStep*>(steps[1].get())->Text, QStringLiteral("cd"));
    EXPECT_EQ(steps[1]->StartY, 60 + lineHeight);

    // Cancel takes the step back; redo brings it with its text.
    Drag(0, {{200, 200}});
    Form->Edit1->setText("gone");
    Find(*Form, "Cancel1")->trigger();
    EXPECT_FALSE(Form->TextEntryOpen());
    EXPECT_EQ(Form->Layers().PaintList().size(), 2u);
    Choose("Redo");
    EXPECT_EQ(LastAs<TTextStep>()->Text, QStringLiteral("gone"));
    // Undo while typing stores the text first, then takes the step back.
    Drag(0, {{300, 300}});
    Form->Edit1->setText("typed");
    Choose("Undo");
    EXPECT_FALSE(Form->TextEntryOpen());
    EXPECT_EQ(static_cast<TTextStep*>(Form->Layers().Steps(1).back().get())->Text, QStringLiteral("typed"));
    // An empty entry leaves an empty step, which one undo removes.
    Drag(0, {{400, 400}});
    Find(*Form, "End1")->trigger();
    EXPECT_EQ(LastAs<TTextStep>()->Text, QString());
    ExpectNoTrace();
}

TEST_F(DrawFrmMouse, PastedLineBreaksAreDropped) {
    Choose("Text");
    Drag(0, {{50, 60}});
    QGuiApplication::clipboard()->setText("one\r\ntwo\nthree");
    Find(*Form, "Paste1")->trigger();
    EXPECT_EQ(Form->Edit1->text(), QStringLiteral("onetwothree"));
    Form->Edit1->insert("x\ny");
    EXPECT_EQ(Form->Edit1->text(), QStringLiteral("onetwothreexy"));
}

TEST_F(DrawFrmMouse, ShiftingMovesTheDoneStepsOfTheLayerOnly) {
    Drag(0, {{10, 10}, {20, 10}});
    Choose("Line");
    Drag(0, {{30, 30}, {40, 50}});
    Choose("Rectangle");
    Drag(0, {{60, 60}, {70, 80}});
    Choose("Undo");
    Choose("LayerShifting");
    // A plain press shifts live, move by move.
    Drag(0, {{500, 500}, {505, 502}, {510, 505}});
    const auto& steps = Form->Layers().Steps(1);
    auto* stroke = static_cast<TMoveList*>(steps[0].get());
    auto* line = static_cast<TLineStep*>(steps[1].get());
    auto* shape = static_cast<TEllipseRect*>(steps[2].get());
    EXPECT_EQ(QPoint(stroke->StartX, stroke->StartY), QPoint(20, 15));
    EXPECT_EQ(QPoint(stroke->Points[0].X, stroke->Points[0].Y), QPoint(30, 15));
    EXPECT_EQ(QPoint(line->EndPoint.X, line->EndPoint.Y), QPoint(50, 55));
    // The undone rectangle stays where it was drawn.
    EXPECT_EQ(QPoint(shape->StartX, shape->EndY), QPoint(60, 80));
    // With Ctrl the layer hides during the drag, a rubber line shows the way, and the move comes at
    // the release.
    Form->FormMouseDown(mbLeft, ssCtrl | ssLeft, 100, 100);
    EXPECT_FALSE(Form->GetLayerVisible(1));
    EXPECT_TRUE(Find(*Form, "Layer11")->isChecked());
    Form->FormMouseMove(ssCtrl | ssLeft, 150, 120);
    EXPECT_FALSE(Form->Surface() == Form->AnnotatedScreenImage()) << "the rubber line shows";
    Form->FormMouseMove(ssCtrl | ssLeft, 110, 130);
    Form->FormMouseUp(mbLeft, ssCtrl, 140, 140);
    EXPECT_TRUE(Form->GetLayerVisible(1));
    EXPECT_EQ(QPoint(stroke->StartX, stroke->StartY), QPoint(60, 55));
    EXPECT_EQ(Form->Layers().PaintList().size(), 2u);
    ExpectNoTrace();
    // A shift is no step of its own.
    EXPECT_EQ(steps.size(), 3u);
    Choose("Redo");
    EXPECT_EQ(QPoint(shape->StartX, shape->StartY), QPoint(60, 60));
}

TEST_F(DrawFrmMouse, ASelectionCopiesTheInsideOfItsFrameWhicheverWayItIsDragged) {
    Choose("Rectangle");
    Drag(ssCtrl, {{20, 20}, {30, 30}});
    Answer = mrOk;
    const QImage expected = Form->Surface().copy(QRect(16, 16, 8, 6));
    QImage copied[2];
    const QPoint drags[2][3] = {{{15, 15}, {40, 40}, {25, 23}}, {{25, 23}, {5, 5}, {15, 15}}};
    for (int i = 0; i < 2; ++i) {
        Choose("Copypartial1");
        EXPECT_TRUE(Form->GetCopyPartial());
        // The release point is not used: the last move decides the far corner.
        Form->FormMouseDown(mbLeft, ssLeft, drags[i][0].x(), drags[i][0].y());
        Form->FormMouseMove(ssLeft, drags[i][1].x(), drags[i][1].y());
        Form->FormMouseMove(ssLeft, drags[i][2].x(), drags[i][2].y());
        Form->FormMouseUp(mbLeft, 0, 300, 300);
        EXPECT_FALSE(Form->GetCopyPartial());
        EXPECT_FALSE(Form->GetDrawing());
        copied[i] = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
        ExpectNoTrace();
    }
    EXPECT_EQ(copied[0], expected);
    EXPECT_EQ(copied[1], expected);
    EXPECT_EQ(Form->Layers().PaintList().size(), 1u) << "a selection is no step";

    // A click selects nothing and asks nothing.
    Choose("Savepartial1");
    const size_t asked = Messages.size();
    int dialogs = 0;
    Form->Seams.RunSaveDialog = [&](const QString&, const QString&, const QString&, const QString&) {
        ++dialogs;
        return QString();
    };
    Drag(0, {{50, 50}});
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(Messages.size(), asked);
    EXPECT_FALSE(Form->GetSavePartial());
    EXPECT_FALSE(Form->GetDrawing());
}

TEST_F(DrawFrmMouse, EndingASelectionDuringItsDragEndsTheDragToo) {
    Answer = mrOk;
    Choose("Copypartial1");
    const TPen pen = Form->GetCanvas().Pen;
    Form->FormMouseDown(mbLeft, ssLeft, 10, 10);
    Form->FormMouseMove(ssLeft, 60, 60);
    Form->FormKeyDown(VKey::Esc, 0);
    EXPECT_FALSE(Form->GetDrawing());
    EXPECT_FALSE(Form->GetCopyPartial());
    EXPECT_TRUE(Form->GetCanvas().Pen == pen);
    ExpectNoTrace();
    EXPECT_TRUE(Form->isVisible());
    // The tool command ends it the same way, and is then free to choose.
    Choose("Savepartial1");
    Form->FormMouseDown(mbLeft, ssLeft, 10, 10);
    Form->FormMouseMove(ssLeft, 60, 60);
    Choose("Ellipse");
    EXPECT_FALSE(Form->GetDrawing());
    EXPECT_FALSE(Form->GetSavePartial());
    EXPECT_EQ(Form->GetTool(), dtEllipse);
    ExpectNoTrace();
}

TEST_F(DrawFrmMouse, UndoneStepsStayBehindANewOneAndComeBackInOrder) {
    for (int i = 0; i < 3; ++i)
        Drag(0, {{10 * i, 10}, {10 * i + 5, 20}});
    Choose("Undo");
    Choose("Undo");
    Drag(0, {{100, 100}, {110, 110}});
    const auto& steps = Form->Layers().Steps(1);
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[1]->StartX, 100);
    EXPECT_EQ(Form->Layers().Pos(1), 1);
    Choose("Redo");
    Choose("Redo");
    EXPECT_EQ(Form->Layers().PaintList()[2], steps[2].get());
    EXPECT_EQ(Form->Layers().PaintList()[3], steps[3].get());
    // Commands that change steps wait for a running drag.
    Form->FormMouseDown(mbLeft, ssLeft, 200, 200);
    Choose("Undo");
    Choose("Line");
    EXPECT_EQ(Form->GetTool(), dtFreeHand);
    Form->FormMouseUp(mbLeft, 0, 210, 210);
    EXPECT_EQ(Form->Layers().PaintList().size(), 5u);
}

namespace {

// The pixels of the text's colour within the text's own width, line by line: what the open entry
// shows and what the finished step draws must be the same set at the same place. The caret, at the
// end of the text, lies outside.
QImage InkOf(const QImage& image, const QRect& area, QRgb ink) {
    QImage mask(area.size(), QImage::Format_Mono);
    mask.fill(0);
    for (int y = 0; y < area.height(); ++y)
        for (int x = 0; x < area.width(); ++x)
            if (image.pixel(area.x() + x, area.y() + y) == ink) mask.setPixel(x, y, 1);
    return mask;
}

QRect InkBounds(const QImage& mask) {
    QRect bounds;
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            if (mask.pixelIndex(x, y)) bounds |= QRect(x, y, 1, 1);
    return bounds;
}

} // namespace

TEST_F(DrawFrmMouse, WhatIsTypedShowsExactlyWhereTheStepDrawsIt) {
    const char* fonts[] = {
        "\"Times New Roman\";14;clBlack;Bold", "\"DejaVu Sans\";8;clBlack;",
        "\"DejaVu Serif\";36;clBlack;Italic",  "\"Liberation Sans\";72;clBlack;Bold,Italic",
        "\"DejaVu Sans\";200;clBlack;",
    };
    const QString text = QStringLiteral("Hij");
    for (const char* font : fonts) {
        SCOPED_TRACE(font);
        WriteIni(QByteArray("[Settings]\nFont1=") + font + "\n");
        Form->LoadSettings();
        Form->SetCurrLayer(1);
        Choose("Text");
        Drag(0, {{40, 30}});
        ASSERT_TRUE(Form->TextEntryOpen());
        Form->Edit1->setText(text);
        const QRect area(40 - 4, 30 - 2, Form->GetCanvas().TextWidth(text) + 4,
                         Form->GetCanvas().TextHeight("My") + 4);
        const QImage entry = Form->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage typed = InkOf(entry, area, qRgb(0, 0, 0));
        Find(*Form, "End1")->trigger();
        const QImage drawn = InkOf(Form->Surface(), area, qRgb(0, 0, 0));
        EXPECT_FALSE(InkBounds(drawn).isEmpty());
        EXPECT_EQ(InkBounds(typed), InkBounds(drawn));
        EXPECT_TRUE(typed == drawn);
        Find(*Form, "Undo")->trigger();
    }
}
