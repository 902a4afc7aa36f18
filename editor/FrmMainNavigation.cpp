// Moves between positions, the frame number, zoom and playback.
#include "FrmMain.h"

#include "Navigation.h"
#include "PageGeometry.h"
#include "avi/AviReader.h"
#include "platform/MessageDlg.h"
#include "platform/UpDownEdit.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimer>

namespace {

const QString InvalidFrameNumber = QStringLiteral("Invalid frame number");

} // namespace

void TFrmMain::SetFrameNumber(int number) {
    const bool before = SyncingFrameEdit;
    SyncingFrameEdit = true;
    UpDown4->SetPosition(number);
    {
        const QSignalBlocker quiet(Edit4);
        Edit4->setText(QString::number(number));
    }
    SyncingFrameEdit = before;
}

void TFrmMain::GoToFrame(int index) {
    if (!FileOpen() || index < 0 || index >= Edit.EditFrameCount) return;
    // The step a drag is building belongs to the current position: playback, keys and clicks wait
    // until the drag ends.
    if (Drawing && index != Edit.CurFrame) return;
    EndTextEntry();
    if (!SyncingFrameEdit) SetFrameNumber(index + 1);
    if (index == Edit.CurFrame) {
        HighlightThumb(PageSlot, true);
        ComboBox1Change();
        return;
    }
    // The position left keeps all its steps, undone ones included; on arrival every step counts as
    // done.
    Edit.MakeCurrent(index);
    if (index < PageFirst || index > PageFirst + PageSize - 1) {
        LoadPage(index);
        GoToFrame(index);
        return;
    }
    HighlightThumb(PageSlot, false);
    PageSlot = index - PageFirst;
    HighlightThumb(PageSlot, true);
    ComboBox1Change();
}

void TFrmMain::UpDown4ChangingEx(int newValue) {
    if (SyncingFrameEdit) return;
    const bool before = SyncingFrameEdit;
    SyncingFrameEdit = true;
    try {
        int v = static_cast<int16_t>(newValue);
        if (v > Edit.EditFrameCount)
            v = Edit.EditFrameCount;
        else if (v <= 0)
            v = 1;
        Edit4->setText(QString::number(v));
        Edit4->end(false);
    } catch (...) {
        SyncingFrameEdit = before;
        throw;
    }
    SyncingFrameEdit = before;
}

void TFrmMain::Edit4Change() {
    if (!FileOpen() || !Edit.HasCurrent()) return;
    const int remembered = Edit.CurFrame;
    const std::optional<int> number = TUpDown::TextToInt(Edit4->text());
    if (!number || *number - 1 < 0 || *number - 1 >= Edit.EditFrameCount) {
        MessageDlg(InvalidFrameNumber, mtError, mbOK, this);
        SetFrameNumber(remembered + 1);
        return;
    }
    if (*number - 1 != Edit.CurFrame) GoToFrame(*number - 1);
}

void TFrmMain::SelectFrameExecute() {
    const int n = Edit.Count();
    QString value = QString::number(Edit.CurFrame + 1);
    if (!Seams.InputQuery(QStringLiteral("Goto frame"), QStringLiteral("Select frame to go (1 to %1)").arg(n),
                          value))
        return;
    const std::optional<int> number = TUpDown::TextToInt(value);
    if (number && *number >= 1 && *number <= n)
        GoToFrame(*number - 1);
    else
        MessageDlg(InvalidFrameNumber, mtError, mbOK, this);
}

void TFrmMain::FirstFrameExecute() {
    GoToFrame(Navigation::FirstFrameTarget());
}

void TFrmMain::PrevPageExecute() {
    GoToFrame(Navigation::PrevPageTarget(Edit.CurFrame));
}

void TFrmMain::PreviousFrameExecute() {
    if (const auto target = Navigation::PreviousFrameTarget(Edit.CurFrame)) GoToFrame(*target);
}

void TFrmMain::NextFrameExecute() {
    if (const auto target = Navigation::NextFrameTarget(Edit.CurFrame, Edit.Count())) GoToFrame(*target);
}

void TFrmMain::NextPageExecute() {
    GoToFrame(Navigation::NextPageTarget(Edit.CurFrame, Edit.Count()));
}

void TFrmMain::LastFrameExecute() {
    // During a drag the page stays too: reloading it would take the cell of the drag's position.
    if (!Edit.HasCurrent() || Drawing) return;
    LoadPage(Edit.Count() - PageSize);
    GoToFrame(Navigation::LastFrameTarget(Edit.Count()));
}

void TFrmMain::SetZoomIndex(int index) {
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->setCurrentIndex(index);
}

void TFrmMain::ZoomInExecute() {
    const int index = ComboBox1->currentIndex();
    if (index >= static_cast<int>(PageGeometry::ZoomTable.size()) - 1) return;
    SetZoomIndex(index + 1);
    ComboBox1Change();
}

void TFrmMain::ZoomOutExecute() {
    const int index = ComboBox1->currentIndex();
    if (index <= 0) return;
    SetZoomIndex(index - 1);
    ComboBox1Change();
}

namespace {

// Timers count whole milliseconds: a tick this much before its position's time shows it all the same.
constexpr qint64 TickToleranceNs = 1000000;
// A tick later than this is followed by one shortened period, which puts the next tick back on the
// play clock; the timer alone would go on from the late tick, each position then shown late by as
// much.
constexpr qint64 RealignAfterNs = 2000000;

} // namespace

void TFrmMain::PlayExecute() {
    const int interval = AviFile->FrameDelay();
    TimerEnabled = true;
    PlayTicks = 0;
    PlayInterval = interval;
    PlayClock.start();
    Timer1->setInterval(interval);
    // A timer of interval 0 would fire without pause: a file without a usable rate does not advance.
    if (interval > 0) Timer1->start();
    DecodeAhead();
}

void TFrmMain::StopPlayExecute() {
    Timer1->stop();
    TimerEnabled = false;
    PlayInterval = 0;
    EndDecodingAhead();
}

void TFrmMain::Timer1Timer() {
    if (!TimerEnabled || PlayInterval <= 0) return;
    // Ticks never queue up, and a tick that comes late shows the position due now rather than the
    // next one, so playback keeps the file's pace when the machine holds the window up.
    const qint64 intervalNs = qint64(PlayInterval) * 1000000;
    const qint64 now = PlayClock.nsecsElapsed();
    const qint64 due = (now + TickToleranceNs) / intervalNs;
    const qint64 late = now - due * intervalNs;
    const int period =
        late > RealignAfterNs ? qMax<int>(1, PlayInterval - int(late / 1000000)) : PlayInterval;
    if (Timer1->interval() != period) Timer1->start(period);
    const qint64 steps = due - PlayTicks;
    if (steps <= 0) return;
    PlayTicks = due;
    if (!FileOpen() || !Edit.HasCurrent()) return;
    GoToFrame(Navigation::PlaybackTarget(Edit.CurFrame, Edit.Count(),
                                         static_cast<int>(qMin<qint64>(steps, 1 << 30))));
    DecodeAhead();
}

void TFrmMain::UpdateActions() {
    const int n = Edit.EditFrameCount;
    const int cur = Edit.CurFrame;
    auto enable = [this](const char* name, bool on) {
        if (QAction* action = Action(QString::fromLatin1(name))) action->setEnabled(on);
    };
    enable("FileClose1", FileOpen());
    enable("SelectFrame", n > 0);
    enable("FirstFrame", n > 0 && cur > 0);
    enable("PrevPage", n > 0 && cur > 0);
    enable("PreviousFrame", n > 0 && cur > 0);
    enable("NextFrame", n > 0 && cur < n - 1);
    enable("NextPage", n > 0 && cur < n - 1);
    enable("LastFrame", n > 0 && cur < n - 1);
    const int zoom = ComboBox1->currentIndex();
    enable("ZoomIn", zoom < static_cast<int>(PageGeometry::ZoomTable.size()) - 1);
    enable("ZoomOut", zoom > 0);
    enable("Play", !TimerEnabled && n > 0);
    enable("StopPlay", TimerEnabled && n > 0);
    UpdateSaveAndEditActions();
    UpdateAnnotationActions();
}
