#include "FrmMainFixture.h"

#include "model/LineStep.h"
#include "platform/UpDownEdit.h"
#include "support/DesktopSession.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QThread>
#include <QTimer>

TEST_F(FrmMainFixture, PagesAndEndsOfThirtyPositions) {
    auto form = OpenForm(Recording(30));
    auto& edits = form->Edits();
    form->GoToFrame(20);
    form->NextPageExecute();
    EXPECT_EQ(edits.CurFrame, 29);
    form->GoToFrame(5);
    form->NextPageExecute();
    EXPECT_EQ(edits.CurFrame, 17);
    form->GoToFrame(7);
    form->PrevPageExecute();
    EXPECT_EQ(edits.CurFrame, 0);

    form->LastFrameExecute();
    EXPECT_EQ(form->GetPageFirst(), 18);
    EXPECT_EQ(edits.CurFrame, 29);
    EXPECT_EQ(form->GetPageSlot(), 11);
    EXPECT_EQ(form->Edit4->text(), "30");
    EXPECT_TRUE(ShowsPosition(ViewCentre(*form), 29));
    form->UpdateActions();
    EXPECT_FALSE(Enabled(*form, "NextFrame"));
    EXPECT_FALSE(Enabled(*form, "LastFrame"));
    EXPECT_TRUE(Enabled(*form, "FirstFrame"));
    form->FirstFrameExecute();
    EXPECT_EQ(edits.CurFrame, 0);
    EXPECT_EQ(form->GetPageFirst(), 0) << "position 0 lies before the page of 18";
}

TEST_F(FrmMainFixture, NextFrameOffThePageLoadsTheNextPage) {
    auto forty = OpenForm(Recording(40));
    forty->GoToFrame(11);
    forty->NextFrameExecute();
    EXPECT_EQ(forty->GetPageFirst(), 12);
    EXPECT_EQ(forty->GetPageSlot(), 0);

    auto twenty = OpenForm(Recording(20));
    twenty->GoToFrame(11);
    twenty->NextFrameExecute();
    EXPECT_EQ(twenty->GetPageFirst(), 8);
    EXPECT_EQ(twenty->GetPageSlot(), 4);
    EXPECT_EQ(twenty->Edits().CurFrame, 12);
    EXPECT_TRUE(ShowsPosition(ViewCentre(*twenty), 12));
}

TEST_F(FrmMainFixture, ArrivingAtAPositionCountsAllItsStepsDone) {
    auto form = OpenForm(Recording(30));
    auto& edits = form->Edits();
    edits.CurrentSteps().Add(std::make_unique<TLineStep>());
    edits.CurrentSteps().Add(std::make_unique<TLineStep>());
    edits.StepPos = 0;
    form->GoToFrame(1);
    EXPECT_EQ(edits.StepPos, -1);
    form->GoToFrame(0);
    EXPECT_EQ(edits.StepPos, 1);
}

TEST_F(FrmMainFixture, TheFrameNumberBoxRefusesWhatIsNoPosition) {
    auto form = OpenForm(Recording(30));
    form->GoToFrame(4);
    form->Edit4->setText("12");
    EXPECT_EQ(form->Edits().CurFrame, 11);
    EXPECT_EQ(form->UpDown4->Position(), 12);
    for (const char* typed : {"0", "31", "", "1a"}) {
        Messages.clear();
        form->Edit4->setText(typed);
        EXPECT_EQ(MessageTexts(), QStringList{"Invalid frame number"}) << typed;
        EXPECT_EQ(form->Edit4->text(), "12") << typed;
        EXPECT_EQ(form->Edits().CurFrame, 11);
    }
    // The arrows move the number and the view with it, kept within the positions.
    Messages.clear();
    form->UpDown4->Step(1);
    EXPECT_EQ(form->Edit4->text(), "13");
    EXPECT_EQ(form->Edits().CurFrame, 12);
    form->LastFrameExecute();
    form->UpDown4->Step(1);
    EXPECT_EQ(form->Edit4->text(), "30");
    EXPECT_TRUE(Messages.empty());
}

TEST_F(FrmMainFixture, GotoFrameAsksForANumberInRange) {
    auto form = OpenForm(Recording(30));
    form->GoToFrame(2);
    QString caption, prompt, shown;
    QString answer = "17";
    form->Seams.InputQuery = [&](const QString& c, const QString& p, QString& value) {
        caption = c;
        prompt = p;
        shown = value;
        value = answer;
        return true;
    };
    form->SelectFrameExecute();
    EXPECT_EQ(caption, "Goto frame");
    EXPECT_EQ(prompt, "Select frame to go (1 to 30)");
    EXPECT_EQ(shown, "3");
    EXPECT_EQ(form->Edits().CurFrame, 16);
    for (const char* bad : {"0", "31", "seven"}) {
        Messages.clear();
        answer = bad;
        form->SelectFrameExecute();
        EXPECT_EQ(MessageTexts(), QStringList{"Invalid frame number"}) << bad;
        EXPECT_EQ(form->Edits().CurFrame, 16);
    }
}

TEST_F(FrmMainFixture, ZoomStepsThroughTheBoxAndStopsAtItsEnds) {
    auto form = OpenForm(Recording(30));
    form->ComboBox1->setCurrentIndex(9);
    form->ComboBox1Change();
    form->ZoomInExecute();
    EXPECT_EQ(form->ComboBox1->currentText(), "500 %");
    EXPECT_EQ(form->GetZoomPercent(), 500);
    form->UpdateActions();
    EXPECT_FALSE(Enabled(*form, "ZoomIn"));
    form->ComboBox1->setCurrentIndex(1);
    form->ZoomOutExecute();
    EXPECT_EQ(form->GetZoomPercent(), 10);
    form->UpdateActions();
    EXPECT_FALSE(Enabled(*form, "ZoomOut"));
    form->GoToFrame(20);
    EXPECT_EQ(form->GetZoomPercent(), 10) << "the zoom stays across moves";
}

// Playback ticks and keys used to move the position under a running drag, which then went on
// working on another position's step.
TEST_F(FrmMainFixture, NothingMovesThePositionWhileADragBuildsAStep) {
    auto form = OpenForm(Recording(30));
    form->GoToFrame(3);
    form->Drawing = true;
    form->NextFrameExecute();
    form->LastFrameExecute();
    form->PaintBox1MouseDown(300, 300);
    form->Edit4->setText("9");
    EXPECT_EQ(form->Edits().CurFrame, 3);
    EXPECT_EQ(form->GetPageFirst(), 0);
    form->Drawing = false;
    form->NextFrameExecute();
    EXPECT_EQ(form->Edits().CurFrame, 4);
}

TEST_F(FrmMainFixture, PlaybackLoopsAtTheFilesPace) {
    auto form = OpenForm(Recording(30));
    form->GoToFrame(27);
    form->Action("Play")->trigger();
    EXPECT_TRUE(form->Playing());
    EXPECT_EQ(form->Timer1->interval(), 100) << "10 frames a second";
    EXPECT_FALSE(Enabled(*form, "Play"));
    EXPECT_TRUE(Enabled(*form, "StopPlay"));
    ASSERT_TRUE(WaitUntil([&] { return form->Edits().CurFrame < 27; }, 20000));
    // Past a page change whose frames were decoded ahead: every cell shows its own position.
    ASSERT_TRUE(WaitUntil([&] { return form->GetPageFirst() == 12; }, 20000));
    form->StopPlayExecute();
    EXPECT_TRUE(ShowsPosition(ViewCentre(*form), form->Edits().CurFrame));
    for (int cell = 0; cell < 12; ++cell)
        EXPECT_TRUE(ShowsPosition(form->PageBitmap(cell).pixel(2, 2), 12 + cell)) << cell;
    form->PlayExecute();

    // Closing does not stop playing: a file opened meanwhile plays at once.
    form->Close1Click();
    Open(*form, Recording(40));
    ASSERT_TRUE(WaitUntil([&] { return form->Edits().CurFrame > 0; }, 20000));
    form->Action("StopPlay")->trigger();
    EXPECT_FALSE(form->Playing());
    EXPECT_FALSE(form->Timer1->isActive());
}

TEST_F(FrmMainFixture, ALateTickShowsThePositionDueNow) {
    auto form = OpenForm(Recording(40));
    form->Action("Play")->trigger();
    // The window is held up for five frame times: the next tick goes on to the position due then,
    // not to the next one.
    QThread::msleep(550);
    ASSERT_TRUE(WaitUntil([&] { return form->Edits().CurFrame > 0; }, 20000));
    EXPECT_GE(form->Edits().CurFrame, 4);
    form->StopPlayExecute();
}
