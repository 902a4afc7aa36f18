#include "editor/FrmMain.h"
#include "editor/OptionsDlg.h"
#include "editor/PageGeometry.h"
#include "editor/PaintBox.h"
#include "editor/ScaledSteps.h"
#include "model/DrawSteps.h"
#include "pickers/ColorBox.h"
#include "platform/ColorDialog.h"
#include "platform/FontDialog.h"
#include "platform/IniFile.h"
#include "platform/MessageHandlerScope.h"
#include "platform/ShortCut.h"
#include "platform/ShortCutDispatcher.h"
#include "platform/WinMath.h"
#include "support/TestPictureAvi.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

int ZoomIndex(int percent) {
    const auto& table = PageGeometry::ZoomTable;
    return static_cast<int>(std::find(table.begin(), table.end(), percent) - table.begin());
}

class FrameAnnotation : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    std::vector<TMessageRequest> Messages;
    int Answer = mrOk;
    TMessageHandlerScope Scope{[this](TMessageRequest& request) {
        Messages.push_back(request);
        return Answer;
    }};
    std::unique_ptr<TFrmMain> Form;
    QString Saved;

    QString IniPath() const { return Dir.path() + "/Framory.ini"; }
    QString Avi() const { return Dir.path() + "/five.avi"; }

    void SetUp() override {
        ASSERT_TRUE(WriteTestPictureAvi(Avi(), 5));
        QDir().mkpath(Dir.path() + "/prog");
        Open({Avi()});
    }
    void Open(const QStringList& arguments) {
        Form = std::make_unique<TFrmMain>(IniPath(), Dir.path() + "/prog/", arguments);
        Form->AnnotationSeams.RunSaveDialog = [this](const QString&) { return Saved; };
        Form->resize(900, 700);
        Form->show();
        QApplication::processEvents();
    }
    void Zoom(int percent) {
        Form->ComboBox1->setCurrentIndex(ZoomIndex(percent));
        Form->ComboBox1Change();
        QApplication::processEvents();
    }
    void Trigger(const char* name) {
        Form->UpdateActions();
        QAction* action = Form->Action(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        if (action->isEnabled()) action->trigger();
    }
    // A drag on the frame view from the first point through the others, the keys held all along.
    void Drag(TShiftState keys, std::initializer_list<QPoint> points) {
        const QPoint* p = points.begin();
        Form->PaintBox2MouseDown(mbLeft, keys | ssLeft, p->x(), p->y());
        for (++p; p != points.end(); ++p)
            Form->PaintBox2MouseMove(keys | ssLeft, p->x(), p->y());
        const QPoint last = *(points.end() - 1);
        Form->PaintBox2MouseUp(mbLeft, keys, last.x(), last.y());
    }
    const TDrawSteps& Steps() const { return Form->Edits().CurrentSteps(); }
    template <class T> T* StepAs(int index) const { return dynamic_cast<T*>(Steps().GetItem(index)); }
    // What the view shows in an area, as a fresh paint gives it.
    QImage Shown(const QRect& area) {
        return Form->PaintBox2->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    }
};

} // namespace

TEST_F(FrameAnnotation, StepsAreStoredAt100PercentAndRubberBandsLeaveNoTrace) {
    Zoom(200);
    Trigger("Rectangle");
    const QRect area(0, 0, 400, 300);
    const QImage before = Shown(area);
    Drag(0, {{101, 51}, {160, 120}, {141, 91}});
    ASSERT_EQ(Steps().Count(), 1);
    auto* shape = StepAs<TEllipseRect>(0);
    ASSERT_NE(shape, nullptr);
    // 50.5 and 25.5 round away from zero.
    EXPECT_EQ(QPoint(shape->StartX, shape->StartY), QPoint(51, 26));
    EXPECT_EQ(QPoint(shape->EndX, shape->EndY), QPoint(71, 46));
    EXPECT_EQ(shape->Width, 3);
    EXPECT_EQ(shape->Layer, 0);
    EXPECT_EQ(Form->GetStepPos(), 0);
    EXPECT_TRUE(Form->GetModified());
    EXPECT_FALSE(Form->Drawing);
    // What the view shows after the drag is what a repaint of the stored step draws: no band is left.
    EXPECT_TRUE(Shown(area) == Form->RenderView(area));
    EXPECT_FALSE(Shown(area) == before);

    // A zoom asked for during a drag waits for its end: the points keep the zoom of the press.
    Form->PaintBox2MouseDown(mbLeft, ssLeft, 20, 20);
    Trigger("ZoomIn");
    EXPECT_EQ(Form->GetZoomPercent(), 200);
    Form->PaintBox2MouseUp(mbLeft, 0, 40, 40);
    EXPECT_EQ(StepAs<TEllipseRect>(1)->EndX, 20);
    Trigger("Undo");

    Zoom(50);
    Trigger("Line");
    Drag(ssShift, {{10, 10}, {60, 12}});
    auto* line = StepAs<TLineStep>(1);
    ASSERT_EQ(Steps().Count(), 3) << "the line in front of the undone rectangle";
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(QPoint(line->StartX, line->StartY), QPoint(20, 20));
    EXPECT_EQ(QPoint(line->EndPoint.X, line->EndPoint.Y), QPoint(120, 20));
}

TEST_F(FrameAnnotation, UndoAndRedoMoveTheStepPositionOfTheCurrentFrame) {
    Form->GoToFrame(2);
    EXPECT_FALSE(Form->Action("Undo")->isEnabled());
    for (int i = 0; i < 5; ++i)
        Drag(0, {{10 + 10 * i, 10}, {20 + 10 * i, 30}});
    Form->UpdateActions();
    EXPECT_TRUE(Form->Action("Undo")->isEnabled());
    EXPECT_FALSE(Form->Action("Redo")->isEnabled());
    Trigger("Undo");
    Trigger("Undo");
    EXPECT_EQ(Form->GetStepPos(), 2);
    const TDrawStep* undone = Steps().GetItem(3);
    // A new step goes in front of the undone ones, which redo brings back after it.
    Drag(0, {{100, 100}, {120, 120}});
    EXPECT_EQ(Steps().Count(), 6);
    EXPECT_EQ(Form->GetStepPos(), 3);
    EXPECT_EQ(Steps().GetItem(4), undone);
    Trigger("Redo");
    Trigger("Redo");
    EXPECT_EQ(Form->GetStepPos(), 5);
    Form->UpdateActions();
    EXPECT_FALSE(Form->Action("Redo")->isEnabled());
    // A disabled Redo's shortcut undoes nothing either.
    Trigger("Redo");
    EXPECT_EQ(Form->GetStepPos(), 5);
    // Another frame keeps its own history.
    Form->GoToFrame(0);
    EXPECT_EQ(Form->GetStepPos(), -1);
    Form->UpdateActions();
    EXPECT_FALSE(Form->Action("Undo")->isEnabled());
}

TEST_F(FrameAnnotation, TheTextEntryShowsWhatIsTypedWhereTheStepDrawsItAtTheZoom) {
    // A colour that the test picture does not hold, so that only the text is of it.
    constexpr TColor Ink = 0x563412;
    Form->AnnotationSeams.RunFontDialog = [](TFontDialog& dialog, QWidget*) {
        dialog.Font.Color = Ink;
        return true;
    };
    Trigger("Textstyle1");
    Zoom(200);
    Trigger("Text");
    Drag(0, {{40, 60}});
    ASSERT_TRUE(Form->TextEntryOpen());
    EXPECT_EQ(Form->EditBounds().topLeft(), QPoint(40, 60));
    Form->Edit3->setText("Hij");
    const QRect area(30, 50, Form->EditBounds().width() - 5, Form->EditBounds().height() + 20);
    auto ink = [&](const QImage& image) {
        std::vector<QPoint> points;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) == ToQColor(Ink).rgb()) points.emplace_back(x, y);
        return points;
    };
    // The caret, at the end of the text, is no part of the comparison.
    Form->Edit3->clearFocus();
    const auto typed = ink(Shown(area));
    Form->End1Click();
    EXPECT_FALSE(Form->TextEntryOpen());
    auto* text = StepAs<TTextStep>(0);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Text, QStringLiteral("Hij"));
    EXPECT_EQ(QPoint(text->StartX, text->StartY), QPoint(20, 30));
    EXPECT_EQ(text->Font.Size, Form->GetTextFont().Size);
    const auto drawn = ink(Shown(area));
    EXPECT_FALSE(drawn.empty());
    EXPECT_EQ(typed, drawn);

    // New line: the next step straight below, a line of the zoomed font lower.
    Drag(0, {{40, 200}});
    const int lineHeight = Form->EditBounds().height();
    Form->Edit3->setText("a");
    Form->Newline1Click();
    ASSERT_TRUE(Form->TextEntryOpen());
    EXPECT_EQ(QPoint(StepAs<TTextStep>(2)->StartX, StepAs<TTextStep>(2)->StartY),
              QPoint(20, MulDiv(200 + lineHeight, 100, 200)));
    // Cancel takes the typed step back; redo brings it again.
    Form->Edit3->setText("b");
    Form->Cancel1Click();
    EXPECT_EQ(Steps().Count(), 3);
    EXPECT_EQ(Form->GetStepPos(), 1);
    Trigger("Redo");
    EXPECT_EQ(StepAs<TTextStep>(2)->Text, QStringLiteral("b"));

    // A new zoom ends an open entry: the box would stand where the old zoom put its step.
    Drag(0, {{40, 300}});
    Form->Edit3->setText("c");
    Zoom(100);
    EXPECT_FALSE(Form->TextEntryOpen());
    EXPECT_EQ(StepAs<TTextStep>(3)->Text, QStringLiteral("c"));
}

TEST_F(FrameAnnotation, TheFramePictureHoldsTheDoneStepsAt100Percent) {
    Zoom(300);
    Drag(ssCtrl, {{30, 30}, {90, 90}}); // a filled rectangle (10, 10) to (30, 30) at 100 %
    Drag(ssCtrl, {{150, 150}, {210, 210}});
    Trigger("Undo");
    Saved = Dir.path() + "/frame.png";
    Trigger("MenuItem2");
    QImage file(Saved);
    ASSERT_FALSE(file.isNull());
    EXPECT_EQ(file.size(), QSize(320, 240));
    const QImage picture = Form->FramePicture();
    EXPECT_TRUE(file.convertToFormat(QImage::Format_RGB32) == picture);
    EXPECT_EQ(picture.pixel(20, 20), qRgb(0, 0, 0));
    // The undone step is not in it.
    EXPECT_EQ(picture.pixel(60, 60), Form->PageBitmap(0).pixel(60, 60));

    // Every format by its extension; JPEG keeps the picture within its losses, GIF within its palette.
    for (const char* name : {"frame.bmp", "frame.gif", "frame.jpg"}) {
        Saved = Dir.path() + "/" + name;
        Trigger("MenuItem2");
        const QImage read = QImage(Saved).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(read.size(), picture.size()) << name;
        qint64 difference = 0;
        for (int y = 0; y < read.height(); ++y)
            for (int x = 0; x < read.width(); ++x) {
                const QRgb a = read.pixel(x, y), b = picture.pixel(x, y);
                difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                              std::abs(qBlue(a) - qBlue(b));
            }
        EXPECT_LT(difference / (read.width() * read.height() * 3), 12) << name;
        if (QByteArray(name).endsWith("bmp")) EXPECT_TRUE(read == picture);
    }
    Trigger("Copyscreenshot1");
    EXPECT_TRUE(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32) == picture);

    // Without a file there is no frame to save.
    Answer = mrNo;
    Form->Close1Click();
    ASSERT_FALSE(Form->FileOpen());
    Saved = Dir.path() + "/none.png";
    Form->MenuItem2Click();
    Form->Copyscreenshot1Click();
    EXPECT_FALSE(QFile::exists(Saved));
}

TEST_F(FrameAnnotation, SavePartialSavesTheViewInsideTheFrameAndAClickSavesNothing) {
    Zoom(200);
    Drag(0, {{20, 20}, {80, 70}});
    Form->Savepartial1Click();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_TRUE(Messages[0].Text.startsWith("Click OK to close this box"));
    EXPECT_TRUE(Form->GetSavePartial());
    const QImage view = Form->RenderView(QRect(0, 0, 200, 200));
    Saved = Dir.path() + "/part.bmp";
    Drag(0, {{110, 60}, {50, 50}, {10, 10}});
    EXPECT_FALSE(Form->GetSavePartial());
    EXPECT_FALSE(Form->Drawing);
    QImage part(Saved);
    ASSERT_EQ(part.size(), QSize(98, 48));
    EXPECT_TRUE(part.convertToFormat(QImage::Format_RGB32) == view.copy(11, 11, 98, 48));
    EXPECT_EQ(Steps().Count(), 1) << "a selection makes no step";

    // A click without a move, and Esc before the press.
    QFile::remove(Saved);
    Form->Savepartial1Click();
    Drag(0, {{30, 30}});
    EXPECT_FALSE(QFile::exists(Saved));
    Form->Savepartial1Click();
    Form->FormKeyDown(0x1B);
    EXPECT_FALSE(Form->GetSavePartial());
}

TEST_F(FrameAnnotation, AStampThatCannotBeDrawnAtThePressMakesNoStep) {
    const QString stamp = Dir.path() + "/prog/stamp.bmp";
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(stamp, "BMP"));
    TIniFile(IniPath()).WriteString("AviSettings", "Image3", stamp + ";0");
    Form->LoadStamps();
    ASSERT_EQ(Form->Images1->actions().size(), 1);
    QAction* item = Form->Images1->actions().value(0);
    // The key is the slot's number, wherever the keyboard is in the frame view.
    EXPECT_EQ(TShortCutDispatcher::FindAction(Form->PaintBox2, TextToShortCut("Shift+Ctrl+3")), item);
    item->trigger();
    EXPECT_EQ(Form->GetTool(), 5);
    EXPECT_EQ(Form->GetStampFile(), stamp);
    EXPECT_EQ(Form->GetStampTransparent(), 0);
    Drag(0, {{10, 10}});
    ASSERT_EQ(Steps().Count(), 1);
    EXPECT_EQ(Form->RenderView(QRect(10, 10, 1, 1)).pixel(0, 0), qRgb(0, 0, 255));

    QFile::remove(stamp);
    Drag(0, {{50, 50}});
    EXPECT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Steps().Count(), 1);
    EXPECT_FALSE(Form->Drawing);
    EXPECT_EQ(Form->GetStepPos(), 0);
}

TEST_F(FrameAnnotation, ColourWidthAndFontAreWrittenWhenTheyChange) {
    Form->AnnotationSeams.RunColorDialog = [](TColorDialog& dialog, QWidget*) {
        dialog.Color = clRed;
        return true;
    };
    Form->AnnotationSeams.RunWidthDialog = [](TWidthDlg&) { return int(mrCancel); };
    Form->AnnotationSeams.RunFontDialog = [](TFontDialog& dialog, QWidget*) {
        dialog.Font.Size = 2;
        return true;
    };
    Trigger("Color");
    Trigger("Textstyle1");
    const TIniFile ini(IniPath());
    EXPECT_EQ(ini.ReadString("AviSettings", "DrawColor", ""), QStringLiteral("clRed"));
    EXPECT_EQ(Form->GetDrawColor(), clRed);
    EXPECT_EQ(Form->ViewPen().Color, clRed);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, QStringLiteral("Font size less than minimum.\r\nUsing 4 as font size"));
    EXPECT_EQ(Form->GetTextFont().Size, 4);
    EXPECT_TRUE(ini.ReadString("AviSettings", "Font", "").contains(";4;"));
    Trigger("PenWidth");
    EXPECT_EQ(ini.ReadString("AviSettings", "DrawWidth", "none"), QStringLiteral("none"));
    // The highlighter reaches new steps through the view pen.
    Trigger("Highlighter");
    Drag(0, {{10, 10}, {20, 20}});
    EXPECT_EQ(StepAs<TMoveList>(0)->Mode, pmMask);
    EXPECT_EQ(StepAs<TMoveList>(0)->Points[0].Color, clRed);
}

TEST_F(FrameAnnotation, TheOptionsDialogsOkIsTakenOverAndItsCancelChangesNothing) {
    Form->AnnotationSeams.RunOptionsDialog = [](TOptionsDlg& dialog) {
        dialog.show();
        dialog.Edit1->setText("9");
        dialog.ColorBox1->SetSelected(clBlue);
        dialog.OKBtn->click();
        return dialog.result();
    };
    Zoom(200);
    Trigger("Options1");
    EXPECT_EQ(Form->GetDrawWidth(), 9);
    EXPECT_EQ(Form->GetDrawColor(), clBlue);
    EXPECT_EQ(Form->ViewPen().Width, 18);
    EXPECT_EQ(TIniFile(IniPath()).ReadInteger("AviSettings", "DrawWidth", 0), 9);
    Form->AnnotationSeams.RunOptionsDialog = [](TOptionsDlg& dialog) {
        dialog.show();
        dialog.Edit1->setText("2");
        dialog.CancelBtn->click();
        return dialog.result();
    };
    Trigger("Drawingoptions1");
    EXPECT_EQ(Form->GetDrawWidth(), 9);
    EXPECT_EQ(TIniFile(IniPath()).ReadInteger("AviSettings", "DrawWidth", 0), 9);
    // The next start reads them back.
    Open({Avi()});
    EXPECT_EQ(Form->GetDrawWidth(), 9);
    EXPECT_EQ(Form->GetDrawColor(), clBlue);
}

// As the manual says: a fresh profile has no stamp, so the Images submenu is unavailable; the options
// dialog offers Forbidden.ico from the program's folder, and its OK makes that stamp 0.
TEST_F(FrameAnnotation, AFreshProfileHasNoStampUntilTheOptionsDialogsOk) {
    const QString forbidden = Dir.path() + "/prog/Forbidden.ico";
    ASSERT_TRUE(QFile::copy(QStringLiteral(TAVELIN_SOURCE_DIR) + "/data/Forbidden.ico", forbidden));
    Open({Avi()});
    Form->UpdateActions();
    EXPECT_TRUE(Form->Images1->actions().isEmpty());
    EXPECT_FALSE(Form->Images1->menuAction()->isEnabled());
    Form->AnnotationSeams.RunOptionsDialog = [](TOptionsDlg& dialog) {
        dialog.show();
        dialog.OKBtn->click();
        return dialog.result();
    };
    Trigger("Options1");
    ASSERT_EQ(Form->Images1->actions().size(), 1);
    EXPECT_EQ(Form->Images1->actions().value(0)->text().section('\t', 0, 0), forbidden);
    EXPECT_TRUE(Form->Images1->menuAction()->isEnabled());
}

TEST_F(FrameAnnotation, ASaveToldOfStampsThatCannotBeDrawnSavesWithoutThemOrStops) {
    const QString stamp = Dir.path() + "/prog/gone.bmp";
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(stamp, "BMP"));
    TIniFile(IniPath()).WriteString("AviSettings", "Image0", stamp + ";0");
    Form->LoadStamps();
    Form->Images1->actions().value(0)->trigger();
    for (int frame : {1, 3}) {
        Form->GoToFrame(frame);
        Drag(0, {{10, 10}});
    }
    Trigger("Rectangle");
    Drag(ssCtrl, {{40, 40}, {60, 60}});
    QFile::remove(stamp);

    const QString target = Dir.path() + "/saved.avi";
    Answer = mrCancel;
    EXPECT_FALSE(Form->SaveAvi(target));
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_TRUE(Messages[0].Text.contains("frames 2, 4")) << Messages[0].Text.toStdString();
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_TRUE(Form->GetModified());

    Answer = mrOk;
    Messages.clear();
    EXPECT_TRUE(Form->SaveAvi(target));
    // The question once; the view may report the stamp it cannot paint, once.
    EXPECT_EQ(std::count_if(Messages.begin(), Messages.end(),
                            [](const TMessageRequest& m) { return m.Text.contains("cannot be drawn"); }),
              1);
    ASSERT_TRUE(QFile::exists(target));
    // The rectangle drawn on frame 4 is in the saved file; the missing stamps are not.
    Form->GoToFrame(3);
    const QImage saved = Form->PageBitmap(Form->GetPageSlot());
    EXPECT_EQ(saved.pixel(25, 25), qRgb(0, 0, 0));
}
