#include "avi/AviReader.h"
#include "editor/FrmMain.h"
#include "editor/FrmRemove.h"
#include "editor/PaintBox.h"
#include "model/DrawSteps.h"
#include "model/EllipseRect.h"
#include "platform/AviChunkIndex.h"
#include "platform/MessageHandlerScope.h"
#include "support/FaultInjection.h"
#include "support/SolidRecording.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

using fault::ReadAll;

namespace {

constexpr int Frames = 10;

// The white of an annotation, not the colour of any source frame.
bool NearWhite(QRgb pixel) {
    return qRed(pixel) > 230 && qGreen(pixel) > 230 && qBlue(pixel) > 230;
}

// A filled rectangle at (10, 10)-(50, 50) in the frame's own pixels.
std::unique_ptr<TDrawStep> WhiteBox() {
    auto box = std::make_unique<TEllipseRect>();
    box->StartX = 10;
    box->StartY = 10;
    box->EndX = 50;
    box->EndY = 50;
    box->Width = 1;
    box->Color = clWhite;
    box->IsRect = true;
    box->Filled = true;
    box->Mode = pmCopy;
    return box;
}

// Frames of file whose chunk (or the one before an empty position) reaches past its first size bytes.
std::set<int> FramesPast(const QString& file, std::uint64_t size) {
    std::set<int> past;
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return past;
    TAviFileBytes bytes(fd);
    TAviStreamLayout layout;
    if (ReadAviStreamLayout(bytes, layout) == AVIERR_OK) {
        bool gone = false;
        for (std::size_t i = 0; i < layout.Chunks.size(); ++i) {
            const TAviChunk& c = layout.Chunks[i];
            if (c.Size > 0) gone = c.Offset + c.Size > size;
            if (gone) past.insert(int(i));
        }
    }
    ::close(fd);
    return past;
}

// Framory's window over a source of ten solid-colour frames, with every message box answered by the
// test and every text seen.
class FrmMainSave : public ::testing::Test {
protected:
    void SetUp() override {
        Source = Dir.path() + "/movie.avi";
        ASSERT_TRUE(WriteSolidRecording(Source, QSize(160, 120), 10, Frames));
        Original = ReadAll(Source);
        Open(Source);
    }
    void TearDown() override { Window.reset(); }

    void Open(const QString& file) {
        Window = std::make_unique<TFrmMain>(Dir.path() + "/Framory.ini", QString(TAVELIN_BINARY_DIR) + "/",
                                            QStringList{file});
        Window->show();
        Window->Seams.InputQuery = [this](const QString&, const QString&, QString& value) {
            value = CopiesAnswer;
            return true;
        };
        Window->RunRemoveDialog = [this](TFrmRemove& dialog) {
            dialog.Edit1->setText(RemoveFrom);
            dialog.Edit2->setText(RemoveTo);
            dialog.BitBtn1Click();
            return dialog.result();
        };
    }

    QString TempFolder() const { return Dir.path() + "/temp"; }
    QStringList TempFiles() const { return QDir(TempFolder()).entryList(QDir::Files); }
    TEditList& Edits() { return const_cast<TEditList&>(Window->Edits()); }
    std::vector<int32_t> Map() const { return Window->Edits().FrameMap; }
    // The colour index the frame view's page bitmap shows for the current position.
    int ShownIndex() const {
        return PositionShown(Window->PageBitmap(Window->GetPageSlot()).pixel(100, 60), Frames);
    }

    QTemporaryDir Dir;
    fault::TTempFolderScope Temp{Dir.path() + "/temp"};
    QString Source;
    QByteArray Original;
    std::unique_ptr<TFrmMain> Window;
    QString CopiesAnswer = "1";
    QString RemoveFrom, RemoveTo;
    int ModifiedAnswer = mrYes;
    int OverwriteAnswer = mrYes;
    QStringList Messages;
    TMessageHandlerScope Handler{[this](TMessageRequest& r) {
        Messages << r.Text;
        if (r.Text == "AVI file was modified. Save?") return ModifiedAnswer;
        if (r.Text == "File aready exists. Overwrite?") return OverwriteAnswer;
        return int(mrOk);
    }};
};

} // namespace

TEST_F(FrmMainSave, FrameEditsChangeTheListAndMarkItModified) {
    ASSERT_EQ(Window->Edits().EditFrameCount, Frames);
    Window->GoToFrame(4);
    Window->DeleteFrameExecute();
    EXPECT_EQ(Map(), (std::vector<int32_t>{0, 1, 2, 3, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Window->Edits().CurFrame, 4);
    EXPECT_EQ(ShownIndex(), 5);
    EXPECT_EQ(Window->Label2->text(), "9");
    EXPECT_TRUE(Window->GetModified());

    Window->InsertFrameExecute();
    CopiesAnswer = "3";
    Window->Duplicateframe1Click();
    EXPECT_EQ(Map(), (std::vector<int32_t>{0, 1, 2, 3, 5, 5, 5, 5, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Window->Edits().CurFrame, 4);

    RemoveFrom = "2";
    RemoveTo = "4";
    Window->Removeframes1Click();
    EXPECT_EQ(Map(), (std::vector<int32_t>{0, 5, 5, 5, 5, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Window->Edits().CurFrame, 4);
    EXPECT_EQ(Window->Label2->text(), "10");
    EXPECT_TRUE(Messages.isEmpty()) << Messages.join("|").toStdString();

    for (const char* bad : {"0", "-3", "many", "99999999999"}) {
        CopiesAnswer = bad;
        Window->Duplicateframe1Click();
    }
    EXPECT_EQ(Messages, QStringList(4, "Invalid number of copies"));
    EXPECT_EQ(Window->Edits().EditFrameCount, 10);

    // Insert is for positions before the last; the pop-up offers Delete and Insert.
    Window->LastFrameExecute();
    Window->UpdateActions();
    EXPECT_FALSE(Window->Action("InsertFrame")->isEnabled());
    EXPECT_TRUE(Window->Action("DeleteFrame")->isEnabled());
    EXPECT_EQ(Window->PopupMenu3->actions().size(), 2);
    // The Edit menu: the frame edits, then apart from them the drawing options.
    QStringList items;
    for (const QAction* item : Window->EditMenu->actions())
        items << (item->isSeparator() ? "-" : item->objectName());
    EXPECT_EQ(items, QStringList({"InsertFrame", "DeleteFrame", "Duplicateframe1", "Removeframes1", "-",
                                  "Drawingoptions1"}));
}

TEST_F(FrmMainSave, NoListLongerThan32767) {
    CopiesAnswer = QString::number(32767 - Frames);
    Window->Duplicateframe1Click();
    ASSERT_EQ(Window->Edits().EditFrameCount, 32767);
    Window->InsertFrameExecute();
    EXPECT_EQ(Messages, QStringList{"Frame count exceeds 32767. Cannot insert another frame"});
    EXPECT_EQ(Window->Edits().EditFrameCount, 32767);
}

TEST_F(FrmMainSave, EditsWaitForADragToEnd) {
    Window->Drawing = true;
    Window->DeleteFrameExecute();
    Window->InsertFrameExecute();
    Window->Duplicateframe1Click();
    Window->Drawing = false;
    EXPECT_EQ(Window->Edits().EditFrameCount, Frames);
    EXPECT_FALSE(Window->GetModified());
}

// The saved file holds the edit list in order, each position's steps drawn in at 100 % (at the current
// position only the done ones), and the window starts afresh on it at the same position.
TEST_F(FrmMainSave, SaveWritesTheListAndStartsAfresh) {
    Window->GoToFrame(2);
    Window->DeleteFrameExecute(); // 0 1 3 4 ...
    Edits().FrameSteps[1].Add(WhiteBox());
    Edits().FrameSteps[5].Add(WhiteBox()); // the current one: its step is undone
    Window->GoToFrame(5);
    Edits().StepPos = -1;
    Window->FileSave1Execute();
    EXPECT_TRUE(Messages.isEmpty()) << Messages.join("|").toStdString();
    EXPECT_FALSE(Window->GetModified());
    EXPECT_EQ(Window->Edits().EditFrameCount, Frames - 1);
    EXPECT_EQ(Window->Edits().FrameSteps.size(), size_t(Frames - 1));
    for (const TDrawSteps& steps : Window->Edits().FrameSteps)
        EXPECT_EQ(steps.Count(), 0);
    EXPECT_EQ(Map(), (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(Window->Edits().CurFrame, 5);
    EXPECT_EQ(Window->windowTitle(), "Tavelin 3 AVI Editor - movie.avi");
    EXPECT_FALSE(Window->ProgressBar1->isVisible());
    EXPECT_TRUE(Window->Edit4->isVisible());
    EXPECT_TRUE(TempFiles().isEmpty());

    TAVIFile saved;
    saved.Open(Source);
    ASSERT_EQ(saved.FrameCount(), uint32_t(Frames - 1));
    const int expected[] = {0, 1, 3, 4, 5, 6, 7, 8, 9};
    for (int i = 0; i < Frames - 1; ++i) {
        const QImage frame = *saved.GetFrame(i);
        EXPECT_EQ(PositionShown(frame.pixel(100, 60), Frames), expected[i]) << i;
        EXPECT_EQ(NearWhite(frame.pixel(30, 30)), i == 1) << i;
    }
}

TEST_F(FrmMainSave, SaveAsAsksBeforeReplacingAFile) {
    const QString other = Dir.path() + "/other.avi";
    ASSERT_TRUE(fault::WriteAll(other, "not yet a film"));
    Window->DeleteFrameExecute();
    Window->SaveAsDialog.Runner = [&](TFileSaveDialog& d) {
        d.FileName = other;
        return true;
    };
    OverwriteAnswer = mrNo;
    Window->FileSaveAs1Execute();
    EXPECT_EQ(Messages, QStringList{"File aready exists. Overwrite?"});
    EXPECT_EQ(ReadAll(other), "not yet a film");
    EXPECT_TRUE(Window->GetModified());

    OverwriteAnswer = mrYes;
    Window->FileSaveAs1Execute();
    EXPECT_EQ(Window->GetFileName(), other);
    EXPECT_EQ(ReadAll(Source), Original);
    // Save now writes to the new name.
    Window->DeleteFrameExecute();
    Window->FileSave1Execute();
    TAVIFile saved;
    saved.Open(other);
    EXPECT_EQ(saved.FrameCount(), uint32_t(Frames - 2));
    EXPECT_EQ(ReadAll(Source), Original);
}

// "Yes" to the question on open: the edits are saved, and then the file chosen opens, not the saved
// one again.
TEST_F(FrmMainSave, YesOnOpenSavesTheEditsThenOpensTheChosenFile) {
    const QString other = Dir.path() + "/other.avi";
    ASSERT_TRUE(WriteSolidRecording(other, QSize(64, 48), 10, 4));
    Window->InsertFrameExecute();
    ASSERT_EQ(Window->Edits().EditFrameCount, Frames + 1);
    Window->OpenDialog.Runner = [&](TFileOpenDialog& d) {
        d.FileName = other;
        return true;
    };
    ModifiedAnswer = mrYes;
    Window->FileOpen1Execute();
    EXPECT_EQ(Messages, QStringList{"AVI file was modified. Save?"});
    TAVIFile saved;
    saved.Open(Source);
    EXPECT_EQ(saved.FrameCount(), uint32_t(Frames + 1));
    saved.Close();
    EXPECT_EQ(Window->GetFileName(), other);
    EXPECT_EQ(Window->OpenDialog.FileName, other);
    EXPECT_EQ(Window->windowTitle(), "Tavelin 3 AVI Editor - other.avi");
    EXPECT_EQ(Window->Edits().EditFrameCount, 4);
    EXPECT_EQ(Window->Label2->text(), "4");
    EXPECT_FALSE(Window->GetModified());
    EXPECT_EQ(Window->PageBitmap(0).size(), QSize(64, 48)) << "the page shows the chosen file's frames";
    EXPECT_TRUE(TempFiles().isEmpty());
}

// Another program cuts the source short while it is open: the frames it took with it are named, the
// file is left as it now is, and the edits stay to be saved elsewhere once the source is whole again.
TEST_F(FrmMainSave, ASourceCutShortWhileOpenIsNotSavedAndTheLostFramesAreNamed) {
    Window->GoToFrame(1);
    Window->DeleteFrameExecute();
    Edits().FrameSteps[0].Add(WhiteBox());
    const std::vector<int32_t> map = Map();
    const std::uint64_t cut = std::uint64_t(Original.size() / 3);
    const std::set<int> past = FramesPast(Source, cut);
    ASSERT_FALSE(past.empty());
    ASSERT_FALSE(past.count(map[0]));
    QStringList named;
    for (std::size_t i = 0; i < map.size(); ++i)
        if (past.count(map[i])) named << QString::number(i + 1);
    ASSERT_EQ(::truncate(QFile::encodeName(Source).constData(), off_t(cut)), 0);
    const QByteArray cutShort = ReadAll(Source);

    const QString other = Dir.path() + "/elsewhere.avi";
    Window->SaveAsDialog.Runner = [&](TFileSaveDialog& d) {
        d.FileName = other;
        return true;
    };
    for (const char* command : {"Save", "Save As"}) {
        SCOPED_TRACE(command);
        Messages.clear();
        if (QString(command) == "Save")
            Window->FileSave1Execute();
        else
            Window->FileSaveAs1Execute();
        ASSERT_EQ(Messages.size(), 1);
        EXPECT_EQ(Messages[0], (named.size() == 1 ? "Frame " : "Frames ") + named.join(", ") +
                                   " cannot be read.\r\n" + Source +
                                   " has been changed by another program since it was opened.\r\n"
                                   "The file was not saved.");
        EXPECT_EQ(ReadAll(Source), cutShort);
        EXPECT_FALSE(QFileInfo::exists(other));
        EXPECT_TRUE(Window->GetModified());
        EXPECT_EQ(Map(), map);
        EXPECT_EQ(Window->Edits().FrameSteps[0].Count(), 1);
        EXPECT_EQ(Window->GetFileName(), Source);
        EXPECT_TRUE(TempFiles().isEmpty());
    }
}

// Another program puts a file of the same name in the source's place: Save would write over a file
// the user has not seen, so it is refused; the open file still reads as it was, so Save As to another
// name keeps the edits.
TEST_F(FrmMainSave, ASourceReplacedWhileOpenIsNotSavedOverButSaveAsKeepsTheEdits) {
    Window->GoToFrame(2);
    Window->DeleteFrameExecute();
    const QString replacement = Dir.path() + "/replacement.avi";
    ASSERT_TRUE(WriteSolidRecording(replacement, QSize(64, 48), 10, 4));
    const QByteArray replacementBytes = ReadAll(replacement);
    ASSERT_EQ(::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(Source).constData()), 0);

    Window->FileSave1Execute();
    ASSERT_EQ(Messages.size(), 1);
    EXPECT_EQ(Messages[0], Source + " has been replaced by another file since it was opened.\r\n"
                                    "Save As can keep the edits under another name.\r\n"
                                    "The file was not saved.");
    EXPECT_EQ(ReadAll(Source), replacementBytes);
    EXPECT_TRUE(Window->GetModified());
    EXPECT_EQ(Window->Edits().EditFrameCount, Frames - 1);
    EXPECT_TRUE(TempFiles().isEmpty());

    Messages.clear();
    const QString other = Dir.path() + "/kept.avi";
    Window->SaveAsDialog.Runner = [&](TFileSaveDialog& d) {
        d.FileName = other;
        return true;
    };
    Window->FileSaveAs1Execute();
    EXPECT_TRUE(Messages.isEmpty()) << Messages.join("|").toStdString();
    EXPECT_FALSE(Window->GetModified());
    EXPECT_EQ(Window->GetFileName(), other);
    EXPECT_EQ(ReadAll(Source), replacementBytes);
    TAVIFile saved;
    saved.Open(other);
    ASSERT_EQ(saved.FrameCount(), uint32_t(Frames - 1));
    const int expected[] = {0, 1, 3, 4, 5, 6, 7, 8, 9};
    for (int i = 0; i < Frames - 1; ++i)
        EXPECT_EQ(PositionShown(saved.GetFrame(i)->pixel(100, 60), Frames), expected[i]) << i;
}

// A target the move cannot replace: the message names the file that keeps the work, the original is
// whole, and the editor goes on with its edits on the reader it had.
TEST_F(FrmMainSave, FailedMoveKeepsTheEditsAndTheReader) {
    const QString folder = Dir.path() + "/ro";
    fault::TReadOnlyFolder readOnly(folder,
                                    [&](const QString& f) { fault::WriteAll(f + "/movie.avi", Original); });
    if (!readOnly.Ok()) GTEST_SKIP() << "no read-only folder can be made here";
    Window.reset();
    Open(folder + "/movie.avi");
    Window->DeleteFrameExecute();
    Window->FileSave1Execute();
    ASSERT_EQ(Messages.size(), 1);
    EXPECT_TRUE(Messages[0].contains(TempFolder() + "/~Qz0.avi")) << Messages[0].toStdString();
    EXPECT_EQ(ReadAll(folder + "/movie.avi"), Original);
    EXPECT_TRUE(Window->GetModified());
    EXPECT_EQ(Window->Edits().EditFrameCount, Frames - 1);
    Window->LastFrameExecute();
    EXPECT_EQ(ShownIndex(), 9);

    // "Yes" to the question, then a failed save: as Cancel, for Close, Open and the window's end.
    Messages.clear();
    Window->Close1Click();
    EXPECT_TRUE(Window->FileOpen());
    Window->OpenDialog.FileName = Source;
    Window->FileOpen1Accept();
    EXPECT_EQ(Window->GetFileName(), folder + "/movie.avi");
    EXPECT_FALSE(Window->close());
    EXPECT_TRUE(Window->GetModified());
    EXPECT_EQ(Window->Edits().EditFrameCount, Frames - 1);
    EXPECT_EQ(Messages.count("AVI file was modified. Save?"), 3);
    EXPECT_EQ(ReadAll(folder + "/movie.avi"), Original);
}

// The saved file is in place but cannot be opened again: as a failed open, the message and then no
// file, with nothing asked about edits that are saved.
TEST_F(FrmMainSave, AFailedReopenAfterAGoodMoveEndsWithNoFileOpen) {
    Window->DeleteFrameExecute();
    Window->Seams.OpenSaved = [](TAVIFile&, const QString&) { throw EAviException("unreadable"); };
    Window->FileSave1Execute();
    EXPECT_EQ(Messages, QStringList{"Error opening AVI file"});
    EXPECT_FALSE(Window->FileOpen());
    EXPECT_FALSE(Window->GetModified());
    EXPECT_EQ(Window->Edits().EditFrameCount, -1);
    EXPECT_EQ(Window->windowTitle(), "Tavelin 3 AVI Editor");
    EXPECT_TRUE(Window->Edit4->isVisible()) << "the panel is back from the progress bar";
    EXPECT_TRUE(TempFiles().isEmpty());
    TAVIFile saved;
    saved.Open(Source);
    EXPECT_EQ(saved.FrameCount(), uint32_t(Frames - 1));
    saved.Close();

    // The file opens again as any other.
    Window->OpenDialog.FileName = Source;
    Window->FileOpen1Accept();
    EXPECT_TRUE(Window->FileOpen());
    EXPECT_EQ(Window->Edits().EditFrameCount, Frames - 1);
    EXPECT_EQ(Messages.size(), 1);
}

// While the save writes, only painting runs: keys, clicks, a close and the playback timer wait, and a
// second save is refused.
TEST_F(FrmMainSave, SaveHoldsBackEverythingButPainting) {
    // The key works outside a save.
    QTest::keyClick(Window.get(), Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(Window->Edits().EditFrameCount, Frames - 1);
    Window->PlayExecute();
    const int playingAt = Window->Edits().CurFrame;

    bool during = false, secondSave = true, progressShown = false;
    int paints = 0;
    auto previousPaint = Window->PaintBox1->OnPaint;
    Window->PaintBox1->OnPaint = [&](QPaintEvent* e) {
        ++paints;
        previousPaint(e);
    };
    QTimer::singleShot(0, Window.get(), [&] {
        during = Window->Saving();
        progressShown = Window->ProgressBar1->isVisible() && Window->Label4->isVisible();
        QTest::keyClick(Window.get(), Qt::Key_Delete, Qt::ControlModifier);
        QTest::mouseClick(Window->PaintBox1, Qt::LeftButton, {}, QPoint(140, 20));
        Window->close();
        secondSave = Window->SaveAvi(Source);
        Window->PaintBox1->update();
    });
    const int playedBefore = Window->Edits().CurFrame;
    ASSERT_TRUE(Window->SaveAvi(Source));
    EXPECT_TRUE(during);
    EXPECT_TRUE(progressShown);
    EXPECT_FALSE(secondSave);
    EXPECT_GT(paints, 0);
    EXPECT_TRUE(Window->isVisible());
    EXPECT_EQ(Window->Edits().EditFrameCount, Frames - 1);
    EXPECT_EQ(Window->Edits().CurFrame, playedBefore);
    TAVIFile saved;
    saved.Open(Source);
    EXPECT_EQ(saved.FrameCount(), uint32_t(Frames - 1));
    EXPECT_TRUE(Window->Playing());
    (void)playingAt;
}

// A full disk under the temporary folder and a target on another file system: the first fails with
// its message and everything kept, the second saves.
TEST_F(FrmMainSave, FullDiskKeepsEverythingAndAnotherFileSystemSaves) {
    Window.reset();
    ASSERT_TRUE(WriteSolidRecording(Source, QSize(320, 240), 10, 40));
    Original = ReadAll(Source);
    Open(Source);
    Window->DeleteFrameExecute();
    {
        fault::TSmallFileSystem full(TempFolder(), Original.size() / 3);
        if (!full.Ok()) GTEST_SKIP() << "no small file system can be mounted here";
        EXPECT_FALSE(Window->SaveAvi(Source));
        ASSERT_EQ(Messages.size(), 1);
        EXPECT_TRUE(Messages[0].startsWith("Error writing frame")) << Messages[0].toStdString();
        EXPECT_TRUE(Window->GetModified());
        EXPECT_EQ(Window->Edits().EditFrameCount, 39);
        EXPECT_EQ(ReadAll(Source), Original);
        EXPECT_TRUE(TempFiles().isEmpty()) << TempFiles().join(",").toStdString();
    }
    Messages.clear();

    fault::TOtherFileSystemFolder other(TempFolder(), Dir.path() + "/mnt");
    if (other.path().isEmpty()) GTEST_SKIP() << "no second file system here";
    Window->SaveAsDialog.Runner = [&](TFileSaveDialog& d) {
        d.FileName = other.path() + "/movie.avi";
        return true;
    };
    Window->FileSaveAs1Execute();
    EXPECT_TRUE(Messages.isEmpty()) << Messages.join("|").toStdString();
    TAVIFile saved;
    saved.Open(other.path() + "/movie.avi");
    EXPECT_EQ(saved.FrameCount(), 39u);
    EXPECT_FALSE(Window->GetModified());
}
