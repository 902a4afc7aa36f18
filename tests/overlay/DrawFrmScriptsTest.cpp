#include "DrawFrmFixture.h"

#include "model/AnnotationScript.h"
#include "model/AnnotationText.h"
#include "model/DrawSteps.h"
#include "model/LoadedStepBounds.h"
#include "overlay/ScriptFileDialog.h"
#include "platform/FileDialogIcons.h"
#include "platform/ShortCut.h"
#include "platform/ShortCutDispatcher.h"
#include "support/PeakMemory.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMimeData>
#include <QRegularExpression>
#include <QTimer>
#include <sys/stat.h>
#include <typeinfo>

namespace {

// A script of three steps in three layers, the third layer hidden and the second current.
const QString ThreeSteps = QStringLiteral("[Layers]\n"
                                          "Visible=-1,-1,0,-1,-1\n"
                                          "Current=2\n"
                                          "[MoveList]\n"
                                          "Start=100,120\n"
                                          "Layer=1\n"
                                          "Mode=4\n"
                                          "Move=104,122,3,clBlack\n"
                                          "Move=180,125,3,clBlack\n"
                                          "[EllipseRect]\n"
                                          "Start=40,40\n"
                                          "Layer=2\n"
                                          "Mode=12\n"
                                          "End=300,90,3,clYellow\n"
                                          "Type=-1,-1,0\n"
                                          "[LineStep]\n"
                                          "Start=10,200\n"
                                          "Layer=3\n"
                                          "Mode=4\n"
                                          "Move=250,200,3,clRed\n");

class DrawFrmScripts : public DrawFrmFixture {
protected:
    std::unique_ptr<TDrawFrm> Form;
    // What the script dialogs were given ("filter|suffix|folder|preset file") and what they answer.
    QStringList SaveDialogs, OpenDialogs;
    QString SaveChoice, OpenChoice;
    bool BusyInDialog = false;

    QString ScriptDir() const { return Dir.path() + "/scripts"; }
    QString InScripts(const QString& name) const { return ScriptDir() + "/" + name; }

    void SetUp() override {
        DrawFrmFixture::SetUp();
        QDir().mkpath(ScriptDir());
        WriteIni("[Settings]\nScriptPath=" + ScriptDir().toUtf8() + "\nScriptFile=/old/last.tva\n");
        Form = MakeForm();
        auto record = [this](QStringList& calls, const QString& choice) {
            return [this, &calls, &choice](const QString& filter, const QString& suffix,
                                           const QString& folder, const QString& file) {
                calls << filter + "|" + suffix + "|" + folder + "|" + file;
                // The window paints while a real dialog is open: that must not end the busy time.
                Form->SetLayerVisible(5, Form->GetLayerVisible(5));
                Form->Surface();
                BusyInDialog = Form->GetBusy();
                return choice;
            };
        };
        Form->Seams.RunScriptSaveDialog = record(SaveDialogs, SaveChoice);
        Form->Seams.RunScriptOpenDialog = record(OpenDialogs, OpenChoice);
        Form->Annotate();
        QApplication::processEvents();
        ASSERT_TRUE(Form->isVisible());
    }
    void Trigger(const char* name) {
        QAction* action = Find(*Form, name);
        ASSERT_NE(action, nullptr) << name;
        Form->UpdateActions();
        action->trigger();
    }
    void Stroke(int x, int y) {
        Form->FormMouseDown(mbLeft, ssLeft, x, y);
        Form->FormMouseMove(ssLeft, x + 40, y + 10);
        Form->FormMouseUp(mbLeft, 0, x + 40, y + 10);
    }
    void OpenTextEntry(const QString& text) {
        Trigger("Text");
        Form->FormMouseDown(mbLeft, ssLeft, 400, 300);
        Form->FormMouseUp(mbLeft, 0, 400, 300);
        ASSERT_TRUE(Form->TextEntryOpen());
        Form->Edit1->setText(text);
    }
    // The window's annotation text as the commands write it.
    QStringList ScriptLines() const {
        QStringList lines;
        WriteScript(*Form, lines);
        return lines;
    }
    const std::vector<TDrawStep*>& PaintList() const { return Form->Layers().PaintList(); }
    size_t Painted() const { return PaintList().size(); }
    static void WriteFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static QByteArray FileBytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    QString Dialog(const QString& folderAndFile) const {
        return QStringLiteral("Tavelin annotations|*.tva|All files|*.*|TVA|") + folderAndFile;
    }
    // The window shows exactly a fresh paint of its steps, and something beyond the snapshot.
    void ExpectShowsItsSteps() {
        EXPECT_TRUE(Form->Surface() == Form->AnnotatedScreenImage());
        EXPECT_FALSE(Form->Surface() == Form->GetBackground());
    }
};

} // namespace

TEST_F(DrawFrmScripts, TheAnnotationsMenuHoldsItsFourCommandsWithTheirKeys) {
    auto* menu = Form->findChild<QMenu*>("Annotations1");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), QStringLiteral("Annotations"));
    EXPECT_TRUE(Form->PopupMenu1->actions().contains(menu->menuAction()));
    struct Item {
        const char* Name;
        const char* Caption;
        const char* ShortCut;
    } items[] = {{"Copyannotations1", "&Copy", "Ctrl+C"},
                 {"Pasteannotations1", "&Paste", "Ctrl+V"},
                 {"Savescript1", "Save...", "Ctrl+Alt+S"},
                 {"Loadscript1", "Load...", "Ctrl+Alt+L"}};
    ASSERT_EQ(menu->actions().size(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(items[i].Name);
        QAction* item = menu->actions()[i];
        EXPECT_EQ(item->objectName(), QString::fromLatin1(items[i].Name));
        EXPECT_EQ(ActionCaption(item), QString::fromLatin1(items[i].Caption));
        EXPECT_EQ(ShortCutToText(ActionShortCut(item)), QString::fromLatin1(items[i].ShortCut));
        EXPECT_EQ(TShortCutDispatcher::FindAction(Form.get(), ActionShortCut(item)), item);
    }
    // While a text is typed, Ctrl+C and Ctrl+V belong to the text entry.
    OpenTextEntry("x");
    EXPECT_EQ(TShortCutDispatcher::FindAction(Form->Edit1, TextToShortCut("Ctrl+C")), Find(*Form, "Copy1"));
    EXPECT_EQ(TShortCutDispatcher::FindAction(Form->Edit1, TextToShortCut("Ctrl+V")), Find(*Form, "Paste1"));
}

TEST_F(DrawFrmScripts, SaveWritesEveryDoneStepOfEveryLayerWithTheTextBeingTyped) {
    // An empty window gives the layer section alone.
    SaveChoice = InScripts("empty.tva");
    Trigger("Savescript1");
    ASSERT_EQ(SaveDialogs, QStringList{Dialog(ScriptDir() + "|")});
    EXPECT_EQ(FileBytes(SaveChoice), QByteArray("[Layers]\r\nVisible=-1,-1,-1,-1,-1\r\nCurrent=1\r\n"));

    Stroke(10, 10);
    Trigger("ALayer2");
    Trigger("Rectangle");
    Form->FormMouseDown(mbLeft, ssLeft, 300, 300);
    Form->FormMouseUp(mbLeft, 0, 350, 340);
    Trigger("ALayer3");
    Trigger("FreeHand");
    Stroke(500, 500);
    Trigger("Undo"); // an undone step is not written
    Trigger("ALayer1");
    Trigger("Layer21"); // a hidden layer's steps are
    OpenTextEntry(QStringLiteral("Grüße"));
    SaveChoice = InScripts("all.tva");
    Trigger("Savescript1");
    EXPECT_FALSE(Form->TextEntryOpen());
    const QByteArray saved = FileBytes(SaveChoice);
    EXPECT_EQ(saved, JoinAnnotationText(ScriptLines()));
    const QStringList lines = SplitAnnotationText(saved);
    EXPECT_EQ(lines.mid(0, 3), (QStringList{"[Layers]", "Visible=-1,0,-1,-1,-1", "Current=1"}));
    EXPECT_EQ(lines.filter(QRegularExpression("^\\[")),
              (QStringList{"[Layers]", "[MoveList]", "[EllipseRect]", "[TextStep]"}));
    EXPECT_TRUE(saved.contains(QStringLiteral("Text=\"Grüße\"\r\n").toUtf8())) << saved.toStdString();
    EXPECT_TRUE(saved.endsWith("\r\n"));
    EXPECT_EQ(saved.count('\n'), saved.count("\r\n"));
    // Saving a script is no screenshot save: the close question still comes.
    EXPECT_TRUE(Form->GetModified());
    EXPECT_EQ(Form->GetScriptFile(), SaveChoice);
    EXPECT_EQ(Form->GetScriptPath(), ScriptDir());
}

TEST_F(DrawFrmScripts, AnExistingScriptIsReplacedOnlyAfterYes) {
    Stroke(10, 10);
    SaveChoice = InScripts("old.tva");
    WriteFile(SaveChoice, "kept");
    Answer = mrNo;
    Trigger("Savescript1");
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, "File " + SaveChoice + " already exists. Overwrite?");
    EXPECT_EQ(Messages[0].Caption, QStringLiteral("Save annotations"));
    EXPECT_EQ(Messages[0].Type, mtConfirmation);
    EXPECT_EQ(Messages[0].Buttons, mbYesNo);
    EXPECT_EQ(Messages[0].Parent, Form.get());
    EXPECT_EQ(FileBytes(SaveChoice), QByteArray("kept"));
    // A cancelled dialog asks nothing and writes nothing.
    SaveChoice.clear();
    Trigger("Savescript1");
    EXPECT_EQ(Messages.size(), 1u);
    EXPECT_EQ(FileBytes(InScripts("old.tva")), QByteArray("kept"));
    // The question can be answered by the seam too; Yes replaces the file.
    SaveChoice = InScripts("old.tva");
    QStringList asked;
    Form->Seams.AskOverwriteScript = [&](const QString& text, const QString& caption) {
        asked << caption + ": " + text;
        return int(mrYes);
    };
    Trigger("Savescript1");
    EXPECT_EQ(asked, QStringList{"Save annotations: File " + SaveChoice + " already exists. Overwrite?"});
    EXPECT_EQ(FileBytes(SaveChoice), JoinAnnotationText(ScriptLines()));
}

TEST_F(DrawFrmScripts, ASaveThatCannotWriteIsReportedAboveTheWindow) {
    SaveChoice = Dir.path() + "/no/such/folder/a.tva";
    Trigger("Savescript1");
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Type, mtError);
    EXPECT_TRUE(Messages[0].Text.startsWith("Cannot create file \"" + SaveChoice + "\". "))
        << Messages[0].Text.toStdString();
    EXPECT_EQ(Messages[0].Parent, Form.get());
    EXPECT_FALSE(QFileInfo::exists(SaveChoice));
}

TEST_F(DrawFrmScripts, LoadAddsTheScriptAboveWhatIsShownWithoutMarkingAChange) {
    OpenChoice = InScripts("three.tva");
    WriteFile(OpenChoice, ThreeSteps.toUtf8());
    Trigger("Loadscript1");
    ASSERT_EQ(OpenDialogs, QStringList{Dialog(ScriptDir() + "|/old/last.tva")});
    EXPECT_TRUE(BusyInDialog) << "busy for the whole load";
    EXPECT_FALSE(Form->GetBusy());
    ASSERT_EQ(Painted(), 3u);
    EXPECT_EQ(Form->GetCurrLayer(), 2);
    EXPECT_TRUE(Find(*Form, "ALayer2")->isChecked());
    EXPECT_FALSE(Form->GetLayerVisible(3));
    EXPECT_FALSE(Find(*Form, "Layer31")->isChecked());
    ExpectShowsItsSteps();
    EXPECT_EQ(PixelAt(Form->Surface(), 150, 200), PixelAt(Form->GetBackground(), 150, 200))
        << "the hidden layer's line is not painted";
    EXPECT_FALSE(Form->GetModified());

    // The same script again: copies above the first ones, and the dialog now shows the file chosen.
    Trigger("Loadscript1");
    EXPECT_EQ(OpenDialogs.value(1), Dialog(ScriptDir() + "|" + OpenChoice));
    ASSERT_EQ(Painted(), 6u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(typeid(*PaintList()[i]), typeid(*PaintList()[i + 3]));
    EXPECT_EQ(Form->Layers().Pos(1), 1);

    // Cancelled: nothing added, the last choice kept, the flag cleared.
    OpenChoice.clear();
    Trigger("Loadscript1");
    EXPECT_EQ(Painted(), 6u);
    EXPECT_FALSE(Form->GetBusy());
    EXPECT_EQ(Form->GetScriptFile(), InScripts("three.tva"));
    // Loading into an unchanged window leaves it unchanged: Esc closes without a question.
    Trigger("Close1");
    EXPECT_FALSE(Form->isVisible());
    EXPECT_TRUE(Messages.empty());
}

TEST_F(DrawFrmScripts, LoadAndPasteWaitForTheDragAndEndTheTextEntryFirst) {
    OpenChoice = InScripts("three.tva");
    WriteFile(OpenChoice, ThreeSteps.toUtf8());
    QGuiApplication::clipboard()->setText(ThreeSteps);
    Form->FormMouseDown(mbLeft, ssLeft, 10, 10);
    ASSERT_TRUE(Form->GetDrawing());
    Trigger("Loadscript1");
    Trigger("Pasteannotations1");
    EXPECT_TRUE(OpenDialogs.isEmpty());
    EXPECT_TRUE(Form->GetDrawing());
    Form->FormMouseUp(mbLeft, 0, 40, 30);
    EXPECT_EQ(Painted(), 1u);
    // Saving waits for the drag as well: its dialog would take the release.
    Form->FormMouseDown(mbLeft, ssLeft, 10, 10);
    SaveChoice = InScripts("during.tva");
    Trigger("Savescript1");
    EXPECT_TRUE(SaveDialogs.isEmpty());
    Form->FormMouseUp(mbLeft, 0, 40, 30);

    OpenTextEntry("typed");
    Trigger("Loadscript1");
    EXPECT_FALSE(Form->TextEntryOpen());
    ASSERT_EQ(Painted(), 6u);
    EXPECT_EQ(dynamic_cast<TTextStep&>(*PaintList()[2]).Text, QStringLiteral("typed"));
    OpenTextEntry("again");
    Trigger("Pasteannotations1");
    EXPECT_FALSE(Form->TextEntryOpen());
    ASSERT_EQ(Painted(), 10u);
    EXPECT_EQ(dynamic_cast<TTextStep&>(*PaintList()[6]).Text, QStringLiteral("again"));
    EXPECT_FALSE(Form->GetBusy());
}

TEST_F(DrawFrmScripts, AReadingErrorIsReportedAndWhatWasReadBeforeItStays) {
    // A text step without its Transparent line stops the reading; the stroke before it stays.
    OpenChoice = InScripts("broken.tva");
    WriteFile(OpenChoice,
              "[MoveList]\r\nLayer=1\r\nMode=4\r\nMove=10,10,3,clBlack\r\nMove=90,40,3,clBlack\r\n"
              "[TextStep]\r\nStart=5,5\r\nLayer=1\r\nMode=4\r\nText=\"x\"\r\n"
              "[LineStep]\r\nLayer=1\r\nMode=4\r\nMove=250,200,3,clRed\r\n");
    Trigger("Loadscript1");
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, QStringLiteral("'' is not a valid boolean value"));
    EXPECT_EQ(Messages[0].Type, mtError);
    EXPECT_EQ(Messages[0].Parent, Form.get());
    EXPECT_EQ(Painted(), 1u);
    EXPECT_FALSE(Form->GetBusy());
    ExpectShowsItsSteps();

    // The same through the clipboard: layer 1's visibility read before the bad item stays.
    QGuiApplication::clipboard()->setText(
        "[Layers]\nVisible=0,x\n[MoveList]\nLayer=1\nMode=4\nMove=1,1,3,clRed\n");
    Trigger("Pasteannotations1");
    ASSERT_EQ(Messages.size(), 2u);
    EXPECT_EQ(Messages[1].Text, QStringLiteral("'x' is not a valid boolean value"));
    EXPECT_FALSE(Form->GetLayerVisible(1));
    EXPECT_EQ(Painted(), 1u);
    EXPECT_FALSE(Form->GetBusy());

    // A file that cannot be read.
    OpenChoice = InScripts("missing.tva");
    Trigger("Loadscript1");
    ASSERT_EQ(Messages.size(), 3u);
    EXPECT_TRUE(Messages[2].Text.startsWith("Cannot open file \"" + OpenChoice + "\". "))
        << Messages[2].Text.toStdString();
    EXPECT_FALSE(Form->GetBusy());

    // A FIFO chosen as a script: refused at once rather than waited on for ever.
    OpenChoice = InScripts("fifo.tva");
    ASSERT_EQ(::mkfifo(QFile::encodeName(OpenChoice).constData(), 0600), 0);
    Trigger("Loadscript1");
    ASSERT_EQ(Messages.size(), 4u);
    EXPECT_EQ(Messages[3].Text, "Cannot open file \"" + OpenChoice + "\". Not a regular file");

    // A huge regular file chosen as a script (sparse here: 2 GiB that take no disk) is refused before
    // it is read, with the reading error, and what is shown stays.
    OpenChoice = InScripts("huge.tva");
    {
        QFile huge(OpenChoice);
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        ASSERT_TRUE(huge.write("[MoveList]\r\nLayer=1\r\nMode=4\r\nMove=1,1,3,clRed\r\n") > 0);
        ASSERT_TRUE(huge.resize(qint64(2) << 30));
    }
    const TPeakMemoryGrowth growth;
    Trigger("Loadscript1");
    EXPECT_LT(growth.MiB(), 64);
    ASSERT_EQ(Messages.size(), 5u);
    EXPECT_EQ(Messages[4].Text, QStringLiteral("Stream read error"));
    EXPECT_EQ(Messages[4].Type, mtError);
    EXPECT_EQ(Painted(), 1u);
    EXPECT_FALSE(Form->GetBusy());
    QFile::remove(OpenChoice);

    // A text that asks for seconds of drawing at every repaint: refused whole, its layer state too.
    QString heavy = "[Layers]\nVisible=0,0,0,0,0\n[MoveList]\nLayer=1\nMode=4\n";
    for (int i = 0; i < 20000; ++i)
        heavy += QStringLiteral("Move=%1,%2,1000,clRed\n").arg(i % 1920).arg(i % 1080);
    QGuiApplication::clipboard()->setText(heavy);
    Trigger("Pasteannotations1");
    ASSERT_EQ(Messages.size(), 6u);
    EXPECT_EQ(Messages[5].Text, TooMuchDrawingMessage);
    EXPECT_EQ(Messages[5].Type, mtError);
    EXPECT_TRUE(Form->GetLayerVisible(2));
    EXPECT_EQ(Painted(), 1u);
    EXPECT_FALSE(Form->GetBusy());
}

TEST_F(DrawFrmScripts, CopyAndPasteCarryTheSameTextThroughTheClipboard) {
    Stroke(10, 10);
    Trigger("ALayer2");
    Stroke(100, 100);
    Trigger("Layer21");
    OpenTextEntry("typed");
    Trigger("Copyannotations1");
    EXPECT_FALSE(Form->TextEntryOpen());
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_EQ(copied, JoinAnnotationTextAsString(ScriptLines()));
    EXPECT_TRUE(copied.contains("Visible=-1,0,-1,-1,-1\r\n"));
    EXPECT_TRUE(copied.contains("Text=\"typed\"\r\n"));
    ASSERT_EQ(Painted(), 3u);

    // Pasted into the same window, every done step is there twice.
    Trigger("Pasteannotations1");
    ASSERT_EQ(Painted(), 6u);
    QStringList first, second;
    for (size_t i = 0; i < 3; ++i) {
        PaintList()[i]->SaveTo(first);
        PaintList()[i + 3]->SaveTo(second);
    }
    EXPECT_EQ(first, second);
    EXPECT_FALSE(Form->GetBusy());

    // Text another program put there, with its own line ends.
    QGuiApplication::clipboard()->setText("[LineStep]\nLayer=4\nMode=4\nMove=250,200,3,clRed\n");
    Trigger("Pasteannotations1");
    ASSERT_EQ(Painted(), 7u);
    EXPECT_EQ(PaintList().back()->Layer, 4);

    // A picture, or nothing at all, on the clipboard: nothing happens and nothing is said.
    QGuiApplication::clipboard()->setImage(Form->GetBackground());
    Trigger("Pasteannotations1");
    QGuiApplication::clipboard()->clear();
    Trigger("Pasteannotations1");
    EXPECT_EQ(Painted(), 7u);
    EXPECT_TRUE(Messages.empty());
}

TEST_F(DrawFrmScripts, ScriptsOfOlderMachinesLoadInTheirCodePage) {
    OpenChoice = InScripts("cp1252.tva");
    WriteFile(OpenChoice, "[TextStep]\r\nStart=5,5\r\nLayer=1\r\nMode=4\r\nText=\"Gr\xFC\xDF \x80\"\r\n"
                          "Font=\"Arial\";12;clRed;Bold\r\nTransparent=-1\r\n");
    Trigger("Loadscript1");
    ASSERT_EQ(Painted(), 1u);
    EXPECT_EQ(dynamic_cast<TTextStep&>(*PaintList()[0]).Text, QStringLiteral("Grüß €"));
}

TEST_F(DrawFrmScripts, TheLastScriptChosenInEitherDialogIsWrittenAtDestruction) {
    EXPECT_EQ(Form->GetScriptFile(), QStringLiteral("/old/last.tva"));
    SaveChoice = InScripts("saved.tva");
    Trigger("Savescript1");
    EXPECT_EQ(Form->GetScriptFile(), SaveChoice);
    // The options window's reload must not bring back the stored file.
    Form->LoadSettings();
    EXPECT_EQ(Form->GetScriptFile(), SaveChoice);
    Trigger("Loadscript1"); // cancelled
    EXPECT_EQ(OpenDialogs.value(0), Dialog(ScriptDir() + "|" + SaveChoice));
    EXPECT_EQ(Form->GetScriptFile(), SaveChoice);
    OpenChoice = InScripts("three.tva");
    WriteFile(OpenChoice, ThreeSteps.toUtf8());
    Trigger("Loadscript1");
    Form.reset();
    EXPECT_EQ(Setting("ScriptFile"), InScripts("three.tva"));
    EXPECT_EQ(Setting("ScriptPath"), ScriptDir());
}

TEST_F(DrawFrmScripts, AStampThatCannotBeDecodedKeepsNoOtherStepFromTheScreen) {
    const QString bad = InScripts("bad.png");
    WriteFile(bad, "this is no picture");
    OpenChoice = InScripts("stamp.tva");
    WriteFile(OpenChoice, ("[MoveList]\nLayer=1\nMode=4\nMove=10,10,3,clBlack\nMove=90,40,3,clBlack\n"
                           "[ImageStep]\nStart=300,300\nLayer=1\nMode=4\nImage=\"" +
                           bad + "\",0\n[LineStep]\nStart=10,200\nLayer=1\nMode=4\nMove=250,200,3,clRed\n")
                              .toUtf8());
    Trigger("Loadscript1");
    ASSERT_EQ(Painted(), 3u);
    EXPECT_EQ(PixelAt(Form->Surface(), 100, 200), clRed) << "the step after the stamp is painted";
    EXPECT_EQ(PixelAt(Form->Surface(), 50, 25), clBlack) << "the step before it too";
    QApplication::processEvents();
    // Told once, however often the window paints.
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Type, mtError);
    Trigger("Layer21");
    Trigger("Layer21");
    Form->Surface();
    QApplication::processEvents();
    EXPECT_EQ(Messages.size(), 1u);
}

// --- The dialogs themselves ---

namespace {

// Waits, inside the dialog's own event loop, until the dialog shows; then lets the test look at it and
// answer.
void WhenDialogShows(const std::function<void(QFileDialog&)>& act) {
    QTimer::singleShot(0, [act] {
        QElapsedTimer timer;
        timer.start();
        QFileDialog* dialog = nullptr;
        while (!(dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) &&
               timer.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!dialog) {
            ADD_FAILURE() << "no dialog";
            return;
        }
        act(*dialog);
    });
}

// The names the dialog lists in its folder, once it has read the folder.
QStringList Listed(QFileDialog& dialog, int expected) {
    auto* model = dialog.findChild<QFileSystemModel*>();
    QStringList names;
    QElapsedTimer timer;
    timer.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        names.clear();
        const QModelIndex root = model->index(dialog.directory().absolutePath());
        for (int row = 0; row < model->rowCount(root); ++row)
            names << model->fileName(model->index(row, 0, root));
        names.sort();
    } while (names.size() != expected && timer.elapsed() < 5000);
    return names;
}

} // namespace

TEST_F(DrawFrmScripts, TheScriptDialogsListScriptsWhateverTheirLetterCase) {
    EXPECT_EQ(ScriptNameFilters("Tavelin annotations|*.tva|All files|*.*"),
              (QStringList{"Tavelin annotations (*.tva *.TVA)", "All files (*)"}));
    for (const char* name : {"a.tva", "b.TVA", "c.Tva", "d.txt", "noext"})
        WriteFile(InScripts(name), "x");
    Form->Seams.RunScriptOpenDialog = nullptr;
    Form->Seams.RunScriptSaveDialog = nullptr;
    OpenChoice.clear();

    QStringList seen;
    WhenDialogShows([&](QFileDialog& dialog) {
        seen << dialog.windowTitle();
        seen << QDir(dialog.directory()).absolutePath();
        auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
        for (int i = 0; types && i < types->count(); ++i)
            seen << types->itemText(i);
        seen << Listed(dialog, 4).join(' ');
        dialog.selectNameFilter(dialog.nameFilters().value(1));
        seen << Listed(dialog, 6).join(' ');
        // The stored script is preset: accepting opens it.
        static_cast<QDialog&>(dialog).accept(); // QFileDialog checks the name as its OK button does
    });
    WriteFile(InScripts("last.tva"), ThreeSteps.toUtf8());
    WriteIni("[Settings]\nScriptPath=" + ScriptDir().toUtf8() +
             "\nScriptFile=" + InScripts("last.tva").toUtf8() + "\n");
    Form->LoadSettings();
    Trigger("Loadscript1");
    EXPECT_EQ(seen, (QStringList{"Open", ScriptDir(), "Tavelin annotations", "All files",
                                 "a.tva b.TVA c.Tva last.tva", "a.tva b.TVA c.Tva d.txt last.tva noext"}));
    EXPECT_EQ(Painted(), 3u);

    // The save dialog adds the extension to a bare name.
    seen.clear();
    WhenDialogShows([&](QFileDialog& dialog) {
        seen << dialog.windowTitle();
        dialog.findChild<QLineEdit*>("fileNameEdit")->setText("new");
        static_cast<QDialog&>(dialog).accept(); // QFileDialog checks the name as its OK button does
    });
    Trigger("Savescript1");
    EXPECT_EQ(seen, QStringList{"Save As"});
    EXPECT_EQ(FileBytes(InScripts("new.TVA")), JoinAnnotationText(ScriptLines()));
    EXPECT_EQ(Form->GetScriptFile(), InScripts("new.TVA"));
}

TEST_F(DrawFrmScripts, EveryFileDialogOfTheWindowDecidesIconsByNamesAlone) {
    Form->Seams.RunScriptOpenDialog = nullptr;
    Form->Seams.RunScriptSaveDialog = nullptr;
    Form->Seams.RunSaveDialog = nullptr;
    for (const char* command : {"Loadscript1", "Savescript1", "Save1"}) {
        bool nameOnly = false;
        WhenDialogShows([&](QFileDialog& dialog) {
            nameOnly = dynamic_cast<const TNameOnlyIconProvider*>(dialog.iconProvider()) != nullptr;
            dialog.reject();
        });
        Trigger(command);
        EXPECT_TRUE(nameOnly) << command;
    }
}
