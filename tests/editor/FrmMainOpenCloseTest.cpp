#include "FrmMainFixture.h"

#include "platform/Help.h"
#include "platform/Screen.h"
#include "platform/UpDownEdit.h"

#include <QProcess>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

TEST_F(FrmMainFixture, StartsWithTheDefaultsOfAMissingSettingsFile) {
    auto form = MakeForm();
    EXPECT_EQ(form->windowTitle(), "Tavelin 3 AVI Editor");
    EXPECT_EQ(form->GetDrawColor(), clBlack);
    EXPECT_EQ(form->GetDrawWidth(), 3);
    EXPECT_EQ(form->GetTextFont().Name, "Times New Roman");
    EXPECT_EQ(form->GetTextFont().Size, 14);
    EXPECT_EQ(form->GetTextFont().Style, fsBold);
    EXPECT_EQ(form->size(), QSize(800, 600));
    const QSize screen = ScreenSize();
    EXPECT_EQ(form->pos(), QPoint((screen.width() - 800) / 2, (screen.height() - 600) / 2));
    EXPECT_EQ(form->Edits().EditFrameCount, 0);
    EXPECT_FALSE(Enabled(*form, "FileClose1"));
    EXPECT_FALSE(Enabled(*form, "Play"));
    EXPECT_TRUE(Messages.empty());
}

// An unreadable colour used to end creation early: the other keys and the file on the command line
// were lost.
TEST_F(FrmMainFixture, AnUnreadableColourTakesBlackAndCreationGoesOn) {
    WriteIni("[AviSettings]\nDrawColor=notacolour\nDrawWidth=7\nWidth=640\nHeight=500\nTop=-20\nLeft=-5\n"
             "PanelWidth=300\nSavePath=/somewhere\n");
    auto form = MakeForm({Recording(30)});
    EXPECT_EQ(form->GetDrawColor(), clBlack);
    EXPECT_EQ(form->GetDrawWidth(), 7);
    EXPECT_EQ(form->size(), QSize(640, 500));
    EXPECT_EQ(form->pos(), QPoint(0, 0)) << "a negative top and left are set to 0";
    EXPECT_EQ(form->GetSavePath(), "/somewhere");
    EXPECT_EQ(form->Edits().EditFrameCount, 30) << "the command-line file is opened";
    EXPECT_TRUE(Messages.empty());
}

TEST_F(FrmMainFixture, WritesItsPlacementWhenDestroyedAndAMissingCommandLineFileIsPassedOver) {
    WriteIni("[AviSettings]\nDrawColor=clRed\nWidth=700\nHeight=520\nTop=30\nLeft=40\n");
    {
        auto form = MakeForm({Dir.path() + "/missing.avi"});
        EXPECT_EQ(form->GetDrawColor(), clRed);
        EXPECT_FALSE(form->FileOpen());
        EXPECT_TRUE(Messages.empty());
        form->move(50, 60);
    }
    EXPECT_EQ(Setting("Left"), "50");
    EXPECT_EQ(Setting("Top"), "60");
    EXPECT_EQ(Setting("Width"), "700");
    EXPECT_EQ(Setting("Height"), "520");
    EXPECT_EQ(Setting("Maximized"), "0");
    EXPECT_NE(Setting("PanelWidth"), "<none>");
}

TEST_F(FrmMainFixture, OpeningShowsTheFirstPageAndTheCounts) {
    auto form = OpenForm(Recording(30));
    EXPECT_EQ(form->windowTitle(), "Tavelin 3 AVI Editor - rec30.avi");
    EXPECT_EQ(form->GetFileName(), Recording(30));
    EXPECT_EQ(form->Label2->text(), "30");
    EXPECT_EQ(form->Edit4->text(), "1");
    EXPECT_EQ(form->ComboBox1->currentText(), "100 %");
    EXPECT_EQ(form->GetZoomPercent(), 100);
    EXPECT_EQ(form->GetTool(), 0);
    EXPECT_EQ(form->Edits().CurFrame, 0);
    EXPECT_EQ(form->Edits().StepPos, -1);
    EXPECT_EQ(form->GetPageFirst(), 0);
    for (int cell = 0; cell < 12; ++cell)
        EXPECT_TRUE(ShowsPosition(form->PageBitmap(cell).pixel(5, 5), cell)) << cell;
    EXPECT_TRUE(ShowsPosition(ViewCentre(*form), 0));
    EXPECT_TRUE(Enabled(*form, "FileClose1"));
    EXPECT_TRUE(Enabled(*form, "Play"));
    EXPECT_FALSE(Enabled(*form, "StopPlay"));
    EXPECT_FALSE(Enabled(*form, "FirstFrame"));
    EXPECT_TRUE(Enabled(*form, "NextPage"));
}

TEST_F(FrmMainFixture, AFileThatIsNoAviIsRefusedAndThePreviousOneStays) {
    auto form = OpenForm(Recording(30));
    form->GoToFrame(7);
    const QString fake = Dir.path() + "/movie.avi";
    {
        QFile f(fake);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        // The start of an MP4 file: a box of type "ftyp".
        f.write(QByteArray("\0\0\0\x18"
                           "ftypisom\0\0\x02\0isomiso2",
                           24) +
                QByteArray(2000, 'x'));
    }
    Open(*form, fake);
    ASSERT_EQ(MessageTexts(), QStringList{"Error opening AVI file"});
    EXPECT_EQ(Messages[0].Type, mtWarning);
    EXPECT_EQ(form->GetFileName(), Recording(30));
    EXPECT_EQ(form->OpenDialog.FileName, Recording(30));
    EXPECT_EQ(form->windowTitle(), "Tavelin 3 AVI Editor - rec30.avi");
    EXPECT_EQ(form->Edits().CurFrame, 7);
    // The reader is back on the previous file: moving decodes its frames.
    form->GoToFrame(20);
    EXPECT_TRUE(ShowsPosition(ViewCentre(*form), 20));
}

TEST_F(FrmMainFixture, AFileOfNoFramesHasNoCurrentPositionAndOnlyOpenAndCloseAct) {
    auto form = OpenForm(Recording(0));
    ASSERT_TRUE(Messages.empty()) << qPrintable(MessageTexts().join(", "));
    EXPECT_TRUE(form->FileOpen());
    EXPECT_EQ(form->Edits().EditFrameCount, 0);
    EXPECT_TRUE(Enabled(*form, "FileClose1"));
    for (const char* name : {"FirstFrame", "PrevPage", "PreviousFrame", "NextFrame", "NextPage", "LastFrame",
                             "SelectFrame", "Play"})
        EXPECT_FALSE(Enabled(*form, name)) << name;
    form->GoToFrame(0);
    form->LastFrameExecute();
    form->NextPageExecute();
    form->Timer1Timer();
    form->Edit4->setText("1");
    EXPECT_FALSE(form->RenderView(QRect(0, 0, 10, 10)).isNull());
    (void)form->PaintBox1->grab();
    EXPECT_TRUE(Messages.empty());
    form->Close1Click();
    EXPECT_FALSE(form->FileOpen());
}

TEST_F(FrmMainFixture, CloseEmptiesTheWindow) {
    auto form = OpenForm(Recording(30));
    form->ComboBox1->setCurrentIndex(7);
    form->ComboBox1Change();
    form->GoToFrame(13);
    form->Close1Click();
    form->UpdateActions();
    EXPECT_FALSE(form->FileOpen());
    EXPECT_TRUE(form->GetFileName().isEmpty());
    EXPECT_EQ(form->Edits().EditFrameCount, -1);
    EXPECT_EQ(form->Edit4->text(), "0");
    EXPECT_EQ(form->Label2->text(), "0");
    EXPECT_EQ(form->ComboBox1->currentText(), "100 %");
    EXPECT_EQ(form->windowTitle(), "Tavelin 3 AVI Editor");
    EXPECT_FALSE(Enabled(*form, "FileClose1"));
    EXPECT_FALSE(Enabled(*form, "SelectFrame"));
    // Nothing is painted from the old page, and navigation does nothing.
    form->GoToFrame(2);
    EXPECT_EQ(form->Edits().CurFrame, 0);

    Open(*form, Recording(20));
    EXPECT_EQ(form->Label2->text(), "20");
    EXPECT_TRUE(ShowsPosition(ViewCentre(*form), 0));
}

TEST_F(FrmMainFixture, ContentsOpensTheManualAtItsStart) {
    QUrl opened;
    const THelpOpener previous = SetHelpOpener([&](const QUrl& url) {
        opened = url;
        return true;
    });
    auto form = MakeForm();
    // The manual both programs share, in the program's folder.
    const QString manual = Dir.path() + "/Tavelin.html";
    QFile(manual).open(QIODevice::WriteOnly);
    form->Action("Contents1")->trigger();
    SetHelpOpener(previous);
    EXPECT_EQ(opened.toLocalFile(), manual);
    EXPECT_TRUE(Messages.empty());
}

TEST_F(FrmMainFixture, OpensARecordingWhoseRecorderWasKilled) {
    const QString file = Dir.path() + "/killed.avi";
    ASSERT_TRUE(WriteKilledRecording(file, QSize(64, 48), 10, 25));
    auto form = OpenForm(file);
    ASSERT_TRUE(Messages.empty()) << qPrintable(MessageTexts().join(", "));
    const int count = form->Edits().Count();
    // Frames still in the writer's buffers when it died are lost; those on disk are there.
    EXPECT_GT(count, 0);
    EXPECT_LE(count, 25);
    EXPECT_TRUE(ShowsPosition(ViewCentre(*form), 0));
    form->LastFrameExecute();
    EXPECT_TRUE(ShowsPosition(ViewCentre(*form), count - 1));
}

TEST_F(FrmMainFixture, AFileOfMoreThan32767FramesIsRefusedAndThePreviousFileIsBack) {
    const auto makeFile = [&](const QString& name, const QString& seconds) {
        const QString file = Dir.path() + "/" + name;
        EXPECT_EQ(QProcess::execute("ffmpeg",
                                    {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                     "color=c=gray:s=16x16:r=1000:d=" + seconds, "-c:v", "msvideo1", file}),
                  0);
        return file;
    };
    const QString longest = makeFile("longest.avi", "32.767");
    const QString tooLong = makeFile("toolong.avi", "32.768");

    auto form = OpenForm(longest);
    ASSERT_TRUE(Messages.empty()) << qPrintable(MessageTexts().join(", "));
    EXPECT_EQ(form->Edits().EditFrameCount, 32767);
    EXPECT_EQ(form->UpDown4->Max(), 32767);

    Open(*form, Recording(30));
    form->GoToFrame(9);
    Open(*form, tooLong);
    ASSERT_EQ(MessageTexts(),
              QStringList{"This editor allows opening avi files with a maximum of 32767 frames\r\n"
                          "This file has 32768frames, closing the file"});
    EXPECT_EQ(Messages[0].Type, mtError);
    EXPECT_EQ(form->GetFileName(), Recording(30));
    EXPECT_EQ(form->OpenDialog.FileName, Recording(30));
    EXPECT_EQ(form->Edits().EditFrameCount, 30);
    EXPECT_EQ(form->Edits().CurFrame, 9);
    form->NextPageExecute();
    EXPECT_TRUE(ShowsPosition(ViewCentre(*form), 21)) << "the reader is on the previous file again";

    // With no file open before, none is open after.
    auto fresh = OpenForm(tooLong);
    EXPECT_FALSE(fresh->FileOpen());
    EXPECT_EQ(fresh->windowTitle(), "Tavelin 3 AVI Editor");
}

TEST_F(FrmMainFixture, AMaximisedWindowOpensMaximisedAndKeepsItsRestoredPlacement) {
    WriteIni("[AviSettings]\nWidth=640\nHeight=480\nTop=20\nLeft=30\nMaximized=1\n");
    {
        auto form = MakeForm();
        EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
    }
    EXPECT_EQ(Setting("Width"), "640");
    EXPECT_EQ(Setting("Height"), "480");
    EXPECT_EQ(Setting("Maximized"), "1");
}
