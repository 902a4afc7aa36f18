#include "DrawFrmFixture.h"

#include "dialogs/PenWidth.h"
#include "model/DrawSteps.h"
#include "model/TextForms.h"
#include "platform/FontDialog.h"
#include "platform/Help.h"
#include "platform/Screen.h"
#include "platform/ShortCutDispatcher.h"
#include "platform/UpDownEdit.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest/QTest>

namespace {

class DrawFrmCommands : public DrawFrmFixture {
protected:
    std::unique_ptr<TDrawFrm> Form;

    void SetUp() override {
        DrawFrmFixture::SetUp();
        Form = MakeForm();
    }
    void Show() {
        Form->Annotate();
        QApplication::processEvents();
        ASSERT_TRUE(Form->isVisible());
    }
    // A freehand stroke in the current layer.
    void Stroke(int x = 10, int y = 10) {
        Form->FormMouseDown(mbLeft, ssLeft, x, y);
        Form->FormMouseMove(ssLeft, x + 20, y + 5);
        Form->FormMouseUp(mbLeft, 0, x + 20, y + 5);
    }
    QString Trigger(const char* name) {
        QAction* action = Find(*Form, name);
        if (!action) return QStringLiteral("no component ") + name;
        // As a menu or a key press runs the update handlers first.
        Form->UpdateActions();
        action->trigger();
        return {};
    }
    std::vector<TDrawStep*> PaintList() const { return Form->Layers().PaintList(); }
};

} // namespace

TEST_F(DrawFrmCommands, ComponentsCarryTheirCaptionsAndShortcutTexts) {
    struct Item {
        const char* Name;
        const char* Caption;
        const char* ShortCut;
    } items[] = {
        {"Undo1", "&Undo", "Ctrl+Z"},
        {"Redo1", "Re&do", "Shift+Ctrl+Z"},
        {"FreeHand1", "&FreeHand", "Ctrl+F"},
        {"Line1", "&Line", "Ctrl+L"},
        {"Rectangle1", "&Rectangle", "Ctrl+R"},
        {"Ellipse1", "&Ellipse", "Ctrl+E"},
        {"Text1", "&Text", "Ctrl+T"},
        {"LayerShifting1", "Layer shifting", "Shift+Ctrl+S"},
        {"Color1", "Drawing &color...", ""},
        {"PenWidth1", "Drawing &width...", ""},
        {"Textstyle1", "Fo&nt...", ""},
        {"ChangeMode1", "&Highlighter mode", "Ctrl+H"},
        {"Layer11", "Layer &1", "Alt+1"},
        {"Layer51", "Layer &5", "Alt+5"},
        {"Layer12", "Layer &1", "Ctrl+1"},
        {"Layer52", "Layer &5", "Ctrl+5"},
        {"Save1", "&Save screenshot...", "Ctrl+S"},
        {"Copyscreenshot1", "Copy screensho&t", "Ctrl+K"},
        {"Savepartial1", "Save partial", "Ctrl+P"},
        {"Copypartial1", "Copy partial", "Shift+Alt+P"},
        {"Options1", "&Options...", ""},
        {"Help1", "&Help", ""},
        {"Close1", "C&lose", "Esc"},
        {"Font1", "&Font...", ""},
        {"Cut1", "Cu&t", "Ctrl+X"},
        {"Copy1", "&Copy", "Ctrl+C"},
        {"Paste1", "&Paste", "Ctrl+V"},
        {"Selectall1", "Select &All", "Ctrl+A"},
        {"End1", "End text", "Enter"},
        {"Cancel1", "Cancel text", "Esc"},
        {"Newline1", "New line", "Shift+Enter"},
    };
    for (const Item& i : items) {
        SCOPED_TRACE(i.Name);
        QAction* item = Find(*Form, i.Name);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(ActionCaption(item), QString::fromLatin1(i.Caption));
        EXPECT_EQ(ShortCutToText(ActionShortCut(item)), QString::fromLatin1(i.ShortCut));
        // The menu shows our text beside the item, not Qt's.
        if (*i.ShortCut) {
            EXPECT_TRUE(item->text().endsWith(QStringLiteral("\t") + i.ShortCut));
        }
    }
    EXPECT_EQ(Form->findChild<QMenu*>("Activelayers1")->title(), QStringLiteral("Visible layers"));
    EXPECT_EQ(Form->findChild<QMenu*>("Currenlayer1")->title(), QStringLiteral("Active layer"));
    EXPECT_EQ(Form->Images1->title(), QStringLiteral("&Image stamps"));
    // Found by name at run time, as the handlers find them.
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(Find(*Form, (QStringLiteral("Layer") + QString::number(n) + QStringLiteral("1")).toLatin1())
                      ->property("Tag")
                      .toInt(),
                  n);
        EXPECT_EQ(Find(*Form, QStringLiteral("ALayer%1").arg(n).toLatin1())->property("Tag").toInt(), n);
    }
    // At the start: every layer shown, layer 1 current and the default item, freehand chosen.
    EXPECT_TRUE(Find(*Form, "Layer31")->isChecked());
    EXPECT_EQ(Form->findChild<QMenu*>("Activelayers1")->defaultAction(), Find(*Form, "Layer11"));
    EXPECT_TRUE(Find(*Form, "ALayer1")->isChecked());
    EXPECT_TRUE(Find(*Form, "FreeHand")->isChecked());
    EXPECT_TRUE(Find(*Form, "FreeHand1")->isChecked());
    EXPECT_FALSE(Find(*Form, "Undo")->isEnabled());
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Tavelin annotation"));
}

TEST_F(DrawFrmCommands, LayerVisibilityAndChoiceFollowTheirRules) {
    // Hiding the current layer when 3 and 5 are the visible ones makes 3 current.
    for (const char* name : {"Layer21", "Layer41"})
        Trigger(name);
    Trigger("Layer11");
    EXPECT_FALSE(Form->GetLayerVisible(1));
    EXPECT_FALSE(Find(*Form, "Layer11")->isChecked());
    EXPECT_EQ(Form->GetCurrLayer(), 3);
    EXPECT_TRUE(Find(*Form, "ALayer3")->isChecked());
    EXPECT_EQ(Form->findChild<QMenu*>("Activelayers1")->defaultAction(), Find(*Form, "Layer31"));
    // Hiding the only visible layer leaves it shown, ticked and current.
    Trigger("Layer51");
    Trigger("Layer31");
    EXPECT_TRUE(Form->GetLayerVisible(3));
    EXPECT_TRUE(Find(*Form, "Layer31")->isChecked());
    EXPECT_EQ(Form->GetCurrLayer(), 3);
    // Choosing a hidden layer shows it, with its tick.
    Form->FormKeyDown('4', 0);
    EXPECT_EQ(Form->GetCurrLayer(), 4);
    EXPECT_TRUE(Form->GetLayerVisible(4));
    EXPECT_TRUE(Find(*Form, "Layer41")->isChecked());
    Trigger("ALayer2");
    EXPECT_EQ(Form->GetCurrLayer(), 2);
    EXPECT_TRUE(Form->GetLayerVisible(2));

    // Nothing of it while a drag is under way.
    Form->FormMouseDown(mbLeft, ssLeft, 5, 5);
    Trigger("ALayer5");
    Form->FormKeyDown('1', 0);
    Trigger("Layer21");
    EXPECT_EQ(Form->GetCurrLayer(), 2);
    EXPECT_TRUE(Find(*Form, "ALayer2")->isChecked());
    EXPECT_FALSE(Find(*Form, "ALayer5")->isChecked());
    EXPECT_TRUE(Form->GetLayerVisible(2));
    Form->FormMouseUp(mbLeft, 0, 6, 6);
    EXPECT_EQ(Form->Layers().Steps(2).size(), 1u);
}

TEST_F(DrawFrmCommands, UndoAndRedoActPerLayerAndRedoPaintsOnTop) {
    Stroke();
    TDrawStep* a = PaintList().back();
    Trigger("ALayer2");
    Stroke();
    TDrawStep* b = PaintList().back();
    Trigger("ALayer1");
    Form->UpdateActions();
    EXPECT_TRUE(Find(*Form, "Undo")->isEnabled());
    EXPECT_FALSE(Find(*Form, "Redo")->isEnabled());
    Trigger("Undo");
    EXPECT_EQ(PaintList(), std::vector<TDrawStep*>({b}));
    EXPECT_FALSE(Find(*Form, "Undo")->isEnabled());
    EXPECT_TRUE(Find(*Form, "Redo1")->isEnabled());
    Trigger("Redo");
    EXPECT_EQ(PaintList(), std::vector<TDrawStep*>({b, a}));
    // The plain Z undoes too, whatever the modifiers; with nothing done it does nothing.
    Form->FormKeyDown('Z', ssShift);
    Form->FormKeyDown('Z', 0);
    EXPECT_EQ(PaintList(), std::vector<TDrawStep*>({b}));
    EXPECT_EQ(Form->Layers().Pos(1), -1);
}

TEST_F(DrawFrmCommands, ColourWidthAndFontCommandsApplyAndWriteTheLayer) {
    Trigger("ALayer2");
    TColor offered = 0;
    Form->Seams.RunColorDialog = [&](TColorDialog& dialog, QWidget*) {
        offered = dialog.Color;
        dialog.Color = clBlue;
        return true;
    };
    Trigger("Color");
    EXPECT_EQ(offered, clRed);
    EXPECT_EQ(Form->GetLayerColor(2), clBlue);
    EXPECT_EQ(Form->GetCanvas().Pen.Color, clBlue);
    EXPECT_EQ(Setting("DrawColor2"), QStringLiteral("clBlue"));

    QString offeredText;
    Form->Seams.RunWidthDialog = [&](TWidthDlg& dialog) {
        offeredText = dialog.Edit1->text();
        dialog.Edit1->setText("7");
        return int(mrOk);
    };
    Trigger("PenWidth");
    EXPECT_EQ(offeredText, QStringLiteral("3"));
    EXPECT_EQ(Form->GetLayerWidth(2), 7);
    EXPECT_EQ(Form->GetCanvas().Pen.Width, 7);
    EXPECT_EQ(Setting("DrawWidth2"), QStringLiteral("7"));
    // Cancelled: nothing changes.
    Form->Seams.RunWidthDialog = [](TWidthDlg& dialog) {
        dialog.Edit1->setText("9");
        return int(mrCancel);
    };
    Trigger("PenWidth");
    EXPECT_EQ(Form->GetLayerWidth(2), 7);

    struct FontCase {
        int Chosen;
        int Stored;
        const char* Message;
    } cases[] = {
        {2, 4, "Font size less than minimum.\r\nUsing 4 as font size"},
        {101, 100, "Font size greater than maximum.\r\nUsing 100 as font size"},
        {20, 20, nullptr},
    };
    for (const FontCase& c : cases) {
        SCOPED_TRACE(c.Chosen);
        Messages.clear();
        Form->Seams.RunFontDialog = [&](TFontDialog& dialog, QWidget*) {
            dialog.Font.Name = "Arial";
            dialog.Font.Size = c.Chosen;
            dialog.Font.Color = clSilver;
            dialog.Font.Style = fsItalic;
            return true;
        };
        Trigger("Textstyle1");
        if (c.Message) {
            ASSERT_EQ(Messages.size(), 1u);
            EXPECT_EQ(Messages[0].Text, QString::fromLatin1(c.Message));
            EXPECT_EQ(Messages[0].Type, mtError);
        } else {
            EXPECT_TRUE(Messages.empty());
        }
        EXPECT_EQ(Setting("Font2"), QStringLiteral("\"Arial\";%1;clSilver;Italic").arg(c.Stored));
        EXPECT_EQ(Form->GetLayerFont(2).Size, c.Stored);
        EXPECT_EQ(Form->GetCanvas().Font.Size, c.Stored);
    }
    // A silver font gets a white box to type in; any other colour a silver one.
    EXPECT_EQ(Form->Edit1->palette().color(QPalette::Base), QColor(Qt::white));

    // While a drag draws with the layer's pen, none of the three runs.
    Form->Seams.RunColorDialog = [](TColorDialog& dialog, QWidget*) {
        dialog.Color = clLime;
        return true;
    };
    Form->FormMouseDown(mbLeft, ssLeft, 1, 1);
    Trigger("Color");
    Trigger("PenWidth");
    Trigger("Highlighter");
    EXPECT_EQ(Form->GetLayerColor(2), clBlue);
    EXPECT_FALSE(Find(*Form, "Highlighter")->isChecked());
    Form->FormMouseUp(mbLeft, 0, 2, 2);
    EXPECT_EQ(Form->GetCanvas().Pen.Color, clBlue);
    EXPECT_EQ(Form->GetCanvas().Pen.Mode, pmCopy);
}

TEST_F(DrawFrmCommands, ToolChoiceTicksOneToolAndItsImage) {
    Trigger("Line");
    EXPECT_EQ(Form->GetTool(), dtLine);
    EXPECT_TRUE(Find(*Form, "Line")->isChecked());
    EXPECT_TRUE(Find(*Form, "Line1")->isChecked());
    EXPECT_FALSE(Find(*Form, "FreeHand")->isChecked());
    const QImage chosen = Find(*Form, "Line")->icon().pixmap(16, 16).toImage();
    const QImage plain = Form->ImageList1[9].pixmap(16, 16).toImage();
    EXPECT_EQ(chosen, Form->ImageList1[15].pixmap(16, 16).toImage());
    EXPECT_NE(chosen, plain);
    // Choosing it again leaves it chosen.
    Trigger("Line");
    EXPECT_TRUE(Find(*Form, "Line")->isChecked());
    // The plain keys choose tools whatever the modifiers; layer shifting has its own action.
    Form->FormKeyDown('E', ssShift | ssAlt);
    EXPECT_EQ(Form->GetTool(), dtEllipse);
    EXPECT_FALSE(Find(*Form, "Line")->isChecked());
    EXPECT_EQ(Find(*Form, "Line")->icon().pixmap(16, 16).toImage(), plain);
    Trigger("LayerShifting");
    EXPECT_EQ(Form->GetTool(), dtLayerShifting);
    EXPECT_TRUE(Find(*Form, "LayerShifting1")->isChecked());
    Form->FormKeyDown('T', 0);
    EXPECT_EQ(Form->GetTool(), dtText);
    EXPECT_FALSE(Find(*Form, "LayerShifting")->isChecked());

    // H switches the highlighter, which the next steps' pen takes.
    Form->FormKeyDown('H', 0);
    EXPECT_TRUE(Find(*Form, "Highlighter")->isChecked());
    EXPECT_TRUE(Find(*Form, "ChangeMode1")->isChecked());
    EXPECT_EQ(Form->GetCanvas().Pen.Mode, pmMask);
    Trigger("Highlighter");
    EXPECT_EQ(Form->GetCanvas().Pen.Mode, pmCopy);
}

TEST_F(DrawFrmCommands, TheSwatchShowsTheCurrentLayersColour) {
    Trigger("ALayer2");
    const QImage swatch =
        Find(*Form, "Color1")->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(swatch.pixel(2, 2), qRgb(0, 0, 0));   // the black frame
    EXPECT_EQ(swatch.pixel(7, 7), qRgb(255, 0, 0)); // layer 2's red
    EXPECT_EQ(qAlpha(swatch.pixel(0, 0)), 0);       // nothing around it
    EXPECT_EQ(swatch.pixel(13, 13), qRgb(0, 0, 0));
}

TEST_F(DrawFrmCommands, ClosingAsksOnlyWhenChangedAndAskingIsOn) {
    Show();
    QSignalSpy hidden(Form.get(), &TDrawFrm::Hidden);
    // Nothing drawn: Esc closes without a question.
    Trigger("Close1");
    EXPECT_TRUE(Messages.empty());
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(hidden.count(), 1);

    Show();
    Stroke();
    EXPECT_TRUE(Form->GetModified());
    Answer = mrNo;
    OnMessage = [](TMessageRequest& r) { r.Checked = true; };
    Trigger("Close1");
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text,
              QStringLiteral("If you close now, all changes will be lost. Confirm closing?"));
    EXPECT_EQ(Messages[0].Caption, QStringLiteral("Confirm exit"));
    EXPECT_EQ(Messages[0].CheckBoxCaption, QStringLiteral("Don't show this dialog again"));
    EXPECT_EQ(Messages[0].Type, mtConfirmation);
    EXPECT_EQ(Messages[0].Buttons, mbYesNo);
    EXPECT_EQ(Messages[0].Parent, Form.get());
    EXPECT_TRUE(Messages[0].ApplicationIcon);
    // No keeps the window; the tick is stored at once, and the next close does not ask.
    EXPECT_TRUE(Form->isVisible());
    EXPECT_FALSE(Form->GetConfExit());
    EXPECT_EQ(Setting("ConfExit"), QStringLiteral("0"));
    Trigger("Close1");
    EXPECT_EQ(Messages.size(), 1u);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_TRUE(Form->Layers().PaintList().empty());
    EXPECT_EQ(hidden.count(), 2);
}

TEST_F(DrawFrmCommands, AnswerYesClosesAndANewShowingStartsUnchanged) {
    Show();
    Stroke();
    Answer = mrYes;
    Form->FormKeyDown(VKey::Esc, 0);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_TRUE(Form->GetConfExit());
    // The layer, the visibility and the tool carry over; the steps and the changed flag do not.
    Trigger("ALayer3");
    Trigger("Rectangle");
    Show();
    EXPECT_FALSE(Form->GetModified());
    EXPECT_EQ(Form->GetCurrLayer(), 3);
    EXPECT_EQ(Form->GetTool(), dtRectangle);
    Trigger("Close1");
    EXPECT_EQ(Messages.size(), 1u);
    EXPECT_FALSE(Form->isVisible());
}

TEST_F(DrawFrmCommands, EscEndsAPendingSelectionBeforeItCloses) {
    Show();
    Answer = mrOk;
    Trigger("Savepartial1");
    Trigger("Copypartial1");
    ASSERT_EQ(Messages.size(), 2u);
    EXPECT_EQ(Messages[0].Caption, QStringLiteral("Information"));
    EXPECT_EQ(Messages[0].Buttons, mbOKCancel);
    EXPECT_TRUE(Form->GetSavePartial());
    EXPECT_TRUE(Form->GetCopyPartial());
    Trigger("Close1");
    EXPECT_FALSE(Form->GetSavePartial());
    EXPECT_TRUE(Form->GetCopyPartial());
    Form->FormKeyDown(VKey::Esc, 0);
    EXPECT_FALSE(Form->GetCopyPartial());
    EXPECT_TRUE(Form->isVisible());
    Form->FormKeyDown(VKey::Esc, 0);
    EXPECT_FALSE(Form->isVisible());
}

TEST_F(DrawFrmCommands, ClosingDuringADragDiscardsTheStepButKeepsItRedoable) {
    Show();
    Form->Seams.CursorPos = [] { return QPoint(40, 30); };
    Form->FormMouseDown(mbLeft, ssLeft, 10, 10);
    Form->FormMouseMove(ssLeft, 20, 20);
    // Losing the focus while drawing runs the close command: the stroke is finished and undone.
    Form->ApplicationEvents1Deactivate();
    EXPECT_FALSE(Form->GetDrawing());
    EXPECT_TRUE(Form->isVisible());
    EXPECT_TRUE(Form->Layers().PaintList().empty());
    ASSERT_EQ(Form->Layers().Steps(1).size(), 1u);
    Trigger("Redo");
    EXPECT_EQ(Form->Layers().PaintList().size(), 1u);

    // A layer shift is left alone.
    Trigger("LayerShifting");
    Form->FormMouseDown(mbLeft, ssLeft, 10, 10);
    Trigger("Close1");
    EXPECT_TRUE(Form->GetDrawing());
    Form->FormMouseUp(mbLeft, 0, 10, 10);
    EXPECT_FALSE(Form->GetDrawing());
}

TEST_F(DrawFrmCommands, OptionsOpenOnTheCurrentLayersPageAndReloadAfterwards) {
    Trigger("ALayer4");
    int page = -1;
    QWidget* over = nullptr;
    Form->ShowOptions = [&](int p, QWidget* w) {
        page = p;
        over = w;
        WriteIni("[Settings]\nDrawWidth4=9\n");
    };
    Trigger("Options1");
    EXPECT_EQ(page, 3);
    EXPECT_EQ(over, Form.get());
    EXPECT_EQ(Form->GetLayerWidth(4), 9);
    EXPECT_EQ(Form->GetCanvas().Pen.Width, 9);
}

TEST_F(DrawFrmCommands, HelpOpensTheManualAtTheWindowsContext) {
    QUrl opened;
    const THelpOpener previous = SetHelpOpener([&](const QUrl& url) {
        opened = url;
        return true;
    });
    Form->HelpFile = Dir.path() + "/Tavelin.html";
    Trigger("Help1");
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Type, mtError);
    EXPECT_TRUE(Messages[0].Text.contains(Form->HelpFile));
    EXPECT_TRUE(opened.isEmpty());
    QFile(Form->HelpFile).open(QIODevice::WriteOnly);
    Trigger("Help1");
    EXPECT_EQ(opened.toLocalFile(), Form->HelpFile);
    EXPECT_EQ(opened.fragment(), QStringLiteral("1000"));
    // F1 opens the same place, from the window and from a text entry in it alike.
    THelpKey helpKey(Form->HelpFile);
    Show();
    Form->setFocus();
    opened.clear();
    QTest::keyClick(Form.get(), Qt::Key_F1);
    EXPECT_EQ(opened.fragment(), QStringLiteral("1000"));
    opened.clear();
    QTest::keyClick(Form->Edit1, Qt::Key_F1);
    EXPECT_EQ(opened.fragment(), QStringLiteral("1000"));
    EXPECT_EQ(Messages.size(), 1u);
    SetHelpOpener(previous);
}

TEST_F(DrawFrmCommands, ShortcutsAndPlainKeysReachTheirCommands) {
    Show();
    Form->setFocus();
    // Ctrl+3 chooses the layer, Alt+2 hides one, a plain 4 chooses another.
    QTest::keyClick(Form.get(), Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(Form->GetCurrLayer(), 3);
    QTest::keyClick(Form.get(), Qt::Key_2, Qt::AltModifier);
    EXPECT_FALSE(Form->GetLayerVisible(2));
    QTest::keyClick(Form.get(), Qt::Key_4);
    EXPECT_EQ(Form->GetCurrLayer(), 4);
    // Shift+4 reads as "$" but is the key 4 all the same.
    Trigger("ALayer1");
    QTest::keyClick(Form.get(), Qt::Key_Dollar, Qt::ShiftModifier);
    EXPECT_EQ(Form->GetCurrLayer(), 4);
    QTest::keyClick(Form.get(), Qt::Key_L);
    EXPECT_EQ(Form->GetTool(), dtLine);
    QTest::keyClick(Form.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(Form->GetTool(), dtFreeHand);
    Stroke();
    QTest::keyClick(Form.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(Form->Layers().PaintList().empty());
    QTest::keyClick(Form.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Form->Layers().PaintList().size(), 1u);
    // With nothing to redo, the disabled Redo keeps its key: it is not the plain Z that undoes.
    QTest::keyClick(Form.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Form->Layers().PaintList().size(), 1u);
}

TEST_F(DrawFrmCommands, EachShowingCopiesTheDesktopAtTheScreensSizeNow) {
    QImage small(100, 50, QImage::Format_RGB32);
    small.fill(QColor(0x11, 0x22, 0x33));
    int grabs = 0;
    Form->Seams.GrabScreen = [&] {
        ++grabs;
        return small;
    };
    Form->Seams.SnapshotDelayMs = 200;
    // A second request while the first waits starts no second showing.
    QTimer::singleShot(50, Form.get(), [this] { Form->Annotate(); });
    Form->Annotate();
    EXPECT_EQ(grabs, 1);
    EXPECT_TRUE(Form->isVisible());
    EXPECT_EQ(Form->GetBackground().size(), ScreenSize());
    EXPECT_EQ(PixelAt(Form->GetBackground(), 99, 49), TColor(0x332211));
    EXPECT_EQ(PixelAt(Form->GetBackground(), 100, 49), clBlack);
    EXPECT_EQ(Form->Surface().size(), ScreenSize());
    EXPECT_EQ(Form->Surface(), Form->GetBackground());
    // Asked again while shown: only brought to the front.
    Form->Annotate();
    EXPECT_EQ(grabs, 1);
}

TEST_F(DrawFrmCommands, AStampThatCannotBeDrawnIsReportedOnceAndHidesNothingElse) {
    Show();
    const QString stamp = ProgramFile("gone.bmp");
    // A real bitmap, so that the press draws it.
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(stamp, "BMP"));
    WriteIni(QByteArray("[Settings]\nImage0=") + stamp.toUtf8() + ";0\n");
    Form->LoadSettings();
    Form->Images1->actions().value(0)->trigger();
    Form->FormMouseDown(mbLeft, ssLeft, 100, 100);
    Form->FormMouseUp(mbLeft, 0, 100, 100);
    Trigger("FreeHand");
    Stroke(200, 200);
    EXPECT_TRUE(Messages.empty());
    QFile::remove(stamp);
    Trigger("Undo");
    Trigger("Redo");
    Form->Surface();
    QApplication::processEvents();
    Trigger("Layer11");
    Trigger("Layer11");
    Form->Surface();
    QApplication::processEvents();
    // One report, captioned with the program's title while the window shows, and the stroke painted
    // after the stamp is still there.
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Caption, "Tavelin annotation");
    EXPECT_EQ(PixelAt(Form->Surface(), 205, 201), clBlack);
    // A stamp whose file is gone at the press makes no step.
    Trigger("Stamp0");
    Form->FormMouseDown(mbLeft, ssLeft, 300, 300);
    EXPECT_EQ(Messages.size(), 2u);
    EXPECT_FALSE(Form->GetDrawing());
    EXPECT_EQ(Form->Layers().Steps(1).size(), 2u);
    Form->close();
    EXPECT_EQ(ApplicationTitle(), "Tavelin");
}
