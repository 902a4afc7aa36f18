#include "Main.h"

#include "dialogs/About.h"
#include "overlay/Draw.h"
#include "platform/Help.h"
#include "platform/HotKeys.h"
#include "platform/IniFile.h"
#include "platform/KnownFolders.h"
#include "platform/MessageDlg.h"
#include "platform/ModalDialog.h"
#include "platform/ShortCutDispatcher.h"
#include "recorder/ScrCam.h"
#include "settings/IniFileName.h"
#include "settings/TavelinSettings.h"
#include "tray/First.h"
#include "tray/HotKeyEdit.h"
#include "tray/OptionsPages.h"
#include "tray/TrayIcons.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QCursor>
#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QShowEvent>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace {

const QString TrayTip = QStringLiteral("Tavelin 3");
const QString PauseTip = QStringLiteral("Pause capture");
const QString StartTip = QStringLiteral("Start capture");
const QString StopTip = QStringLiteral("Stop capture");
const QString PreviousCaptureBusy =
    QStringLiteral("Error recording video: the previous capture is still being saved. Please try again.");
// The editor is looked up beside the running program.
const QString EditorProgram = QStringLiteral("Framory");

bool HasAviExtension(const QString& fileName) {
    const QFileInfo info(fileName);
    return info.fileName().contains('.') && info.suffix().compare("avi", Qt::CaseInsensitive) == 0;
}

} // namespace

TMainFrm::TMainFrm(TMainFrmSeams seams, QWidget* parent) : QDialog(parent), Seams(std::move(seams)) {
    setObjectName("MainFrm");
    setWindowTitle("Tavelin options");
    SetHelpContext(this, OptionsHelpContext);
    CreateMenu();
    CreateOptionsControls();
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(BlinkIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &TMainFrm::Timer1Timer);
    if (Seams.RunSaveDialog) SaveDialog1.SetRunner(Seams.RunSaveDialog);
    FormCreate();
}

TMainFrm::~TMainFrm() {
    FormDestroy();
}

void TMainFrm::FormCreate() {
    // The form itself is never shown here: only the tray icon tells that the program runs.
    CreateTrayIcon0();

    FRecorder = Seams.MakeRecorder ? Seams.MakeRecorder(this) : new TScreenCam(this);
    FRecorder->OnError = [this](TScreenCam*, const QString& message) { RecorderError(message); };
    connect(CheckBox2, &QCheckBox::toggled, this, &TMainFrm::CheckBox2Click);

    if (!Seams.RegisterHotKey) {
        HotKeys = new THotKeyRegistrar(this);
        // Queued: a hot key's command may open dialogs, which must not run inside the X event filter.
        connect(HotKeys, &THotKeyRegistrar::HotKeyPressed, this, &TMainFrm::WMHotKey, Qt::QueuedConnection);
    }

    LoadSettings();
    HotKey1->Tag = HotKeyId1;
    HotKey2->Tag = HotKeyId2;
    HotKey3->Tag = HotKeyId3;
    RegisterHotKeys();
    FCaptureState = csIdle;
}

void TMainFrm::FormDestroy() {
    Timer1->stop();
    if (FRecorder) {
        if (FCaptureState != csIdle) FRecorder->Stop();
        FCaptureState = csIdle;
        // The file of a capture under way is completed before the program ends. A failure to complete
        // it goes to the log: no window may open while the program's windows are being destroyed.
        FRecorder->OnError = [](TScreenCam*, const QString& message) {
            qWarning("Error recording video: %s", qUtf8Printable(message));
        };
        FRecorder->WaitForWorker(ExitWaitMs);
        delete FRecorder;
        FRecorder = nullptr;
    }
    UnregisterHotKeys();
    for (QSystemTrayIcon*& icon : TrayIcons) {
        if (!icon) continue;
        icon->hide();
        delete icon;
        icon = nullptr;
    }
}

void TMainFrm::CreateMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    auto add = [this](const char* name, const QString& caption) {
        QAction* action = PopupMenu1->addAction(caption);
        action->setObjectName(name);
        return action;
    };
    Draw1 = add("Draw1", "&Annotate");
    Capture1 = add("Capture1", "Capture");
    Configuration1 = add("Configuration1", "&Options...");
    LaunchFramoryor1 = add("LaunchFramoryor1", "Launch Avi Editor");
    Help1 = add("Help1", "Help");
    About1 = add("About1", "A&bout");
    N1 = PopupMenu1->addSeparator();
    N1->setObjectName("N1");
    Exit1 = add("Exit1", "E&xit");
    PopupMenu1->setDefaultAction(Draw1);

    connect(Draw1, &QAction::triggered, this, &TMainFrm::Draw1Click);
    connect(Capture1, &QAction::triggered, this, &TMainFrm::Capture1Click);
    connect(Configuration1, &QAction::triggered, this, &TMainFrm::Configuration1Click);
    connect(LaunchFramoryor1, &QAction::triggered, this, &TMainFrm::LaunchFramoryor1Click);
    connect(Help1, &QAction::triggered, this, &TMainFrm::Help1Click);
    connect(About1, &QAction::triggered, this, &TMainFrm::About1Click);
    connect(Exit1, &QAction::triggered, this, &TMainFrm::Exit1Click);
}

void TMainFrm::CreateTrayIcon0() {
    for (int i = 0; i < TrayIconCount; ++i) {
        TrayIcons[i] = new QSystemTrayIcon(this);
        TrayIcons[i]->setObjectName(QString("TrayIcon%1").arg(i));
        // Queued: a click may remove the very icon that reports it.
        connect(
            TrayIcons[i], &QSystemTrayIcon::activated, this,
            [this, i](QSystemTrayIcon::ActivationReason reason) { WMTrayIcon(i, reason); },
            Qt::QueuedConnection);
    }
    TrayIcons[0]->setIcon(ApplicationIcon());
    TrayIcons[0]->setToolTip(TrayTip);
    TrayIcons[0]->show();
}

void TMainFrm::CreateOptionsControls() {
    // A dialog border without border icons; closing it through the window manager is still Cancel.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    Pages = new TOptionsPages(this);
    HotKey1 = Pages->HotKey1;
    HotKey2 = Pages->HotKey2;
    HotKey3 = Pages->HotKey3;
    CheckBox2 = Pages->CheckBox2;
    CheckBox3 = Pages->CheckBox3;
    PageControl1 = Pages->PageControl1;
    OKBtn = Pages->OKBtn;
    CancelBtn = Pages->CancelBtn;
    BitBtn4 = Pages->BitBtn4;
    BitBtn5 = Pages->BitBtn5;
    connect(OKBtn, &QPushButton::clicked, this, &TMainFrm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TMainFrm::CancelBtnClick);
    connect(BitBtn4, &QPushButton::clicked, this, &TMainFrm::Help1Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TMainFrm::About1Click);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Pages);
    // The size is the pages' own: the window is not resized, and its centring can count on it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
}

void TMainFrm::SetDrawFrm(TDrawFrm* drawFrm) {
    DrawFrm = drawFrm;
    if (!drawFrm) return;
    // Direct: the notice must be handled before anything can show the window again, or a late one
    // would enable the items while the window shows.
    connect(drawFrm, &TDrawFrm::Hidden, this, &TMainFrm::WMOverlayHidden, Qt::DirectConnection);
    drawFrm->ShowOptions = [this](int page, QWidget* over) { ShowModalOnPage(page, over); };
}

void TMainFrm::ShowFirstForm() {
    if (!TavelinSettings::Keys::ShowFirst.Read(TIniFile(IniFileName), TavelinSettings::Section)) return;
    TFirstFrm first(ShortCutToText(HotKey1->HotKey()), ShortCutToText(HotKey2->HotKey()));
    QTimer::singleShot(0, &first, [&first] {
        first.raise();
        first.activateWindow();
    });
    {
        QScopedValueRollback modal(FModalFlag, true);
        first.exec();
    }
    if (first.DontShowAgain())
        RunGuarded([] {
            TIniFile ini(IniFileName);
            TavelinSettings::Keys::ShowFirst.Write(ini, TavelinSettings::Section, false);
        });
}

QString TMainFrm::NoTrayNotice() const {
    QString keys;
    const auto add = [&keys](const THotKeyEdit* control, const QString& what) {
        const TShortCut key = control->HotKey();
        if (!key.IsEmpty()) keys += "\n" + ShortCutToText(key) + what;
    };
    add(HotKey1, QStringLiteral(" annotates the screen,"));
    add(HotKey2, QStringLiteral(" starts and stops a capture,"));
    add(HotKey3, QStringLiteral(" pauses and restarts a capture."));
    if (keys.endsWith(u',')) keys.back() = u'.';
    const QString hotKeys = keys.isEmpty() ? QStringLiteral("No hot key is set.")
                                           : QStringLiteral("Its hot keys work all the same:") + keys;
    return QStringLiteral("No system tray is running, so Tavelin shows no icon and no menu for now.\n%1\n\n"
                          "The icon appears as soon as a system tray starts. Until then, Tavelin ends when "
                          "it is sent the end signal (kill %2).")
        .arg(hotKeys)
        .arg(QCoreApplication::applicationPid());
}

bool TMainFrm::RegisterHotKey(int id, TShortCut key) {
    return Seams.RegisterHotKey ? Seams.RegisterHotKey(id, key) : HotKeys->Register(id, key);
}

void TMainFrm::UnregisterHotKey(int id) {
    if (Seams.UnregisterHotKey)
        Seams.UnregisterHotKey(id);
    else if (HotKeys)
        HotKeys->Unregister(id);
}

bool TMainFrm::RegisterHotKeyFor(THotKeyEdit* control) {
    UnregisterHotKey(control->Tag);
    const TShortCut key = control->HotKey();
    // A cleared control asks for no hot key at all: there is nothing to grab and nothing to report.
    if (key.IsEmpty()) return true;
    if (RegisterHotKey(control->Tag, key)) return true;
    ApplicationMessageBox("Activation HotKey (" + ShortCutToText(key) + ") cannot be registered." + "\r" +
                              "Please, use the Options dialog to change it",
                          "Tavelin", mtError, mbOK);
    return false;
}

void TMainFrm::RegisterHotKeys() {
    RegisterHotKeyFor(HotKey3);
    if (RegisterHotKeyFor(HotKey2)) SetActionShortCut(Capture1, HotKey2->HotKey());
    if (RegisterHotKeyFor(HotKey1)) SetActionShortCut(Draw1, HotKey1->HotKey());
}

void TMainFrm::UnregisterHotKeys() {
    for (const int id : {HotKeyId1, HotKeyId2, HotKeyId3})
        UnregisterHotKey(id);
}

void TMainFrm::ApplySettings() {
    if (DrawFrm) RunGuarded([this] { DrawFrm->LoadSettings(); });
    RegisterHotKeys();
}

void TMainFrm::LoadSettings() {
    Pages->LoadSettings();
}

void TMainFrm::SaveSettings() {
    Pages->SaveSettings();
}

void TMainFrm::OKBtnClick() {
    done(QDialog::Accepted);
    // A settings file that cannot be written is reported; the hot keys still come back.
    RunGuarded([this] { SaveSettings(); });
    ApplySettings();
}

void TMainFrm::CancelBtnClick() {
    done(QDialog::Rejected);
    // The keys typed into the controls were cancelled: the keys in force before come back, not those.
    Pages->RestoreHotKeys();
    ApplySettings();
}

void TMainFrm::reject() {
    CancelBtnClick();
}

void TMainFrm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TMainFrm::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) FormHide();
}

void TMainFrm::FormShow() {
    // While the window is open its hot-key controls take those keys like any others.
    UnregisterHotKeys();
    // Every showing starts from the file: what an earlier showing left unsaved is gone.
    Pages->ShowPages();
    EnableAnnotate(false);
}

void TMainFrm::FormHide() {
    Pages->HidePages();
    EnableAnnotate(!OverlayVisible());
}

int TMainFrm::ShowModalOnPage(int page, QWidget* over) {
    PageControl1->setCurrentIndex(page);
    // In front of the full-screen window that asks, for this showing only: shown from the tray later,
    // the window stands on its own.
    MakeTransientFor(this, over);
    const int result = exec();
    if (windowHandle()) windowHandle()->setTransientParent(nullptr);
    return result;
}

void TMainFrm::EnableAnnotate(bool enabled) {
    Draw1->setEnabled(enabled);
    Configuration1->setEnabled(enabled);
}

bool TMainFrm::OverlayVisible() const {
    return DrawFrm && DrawFrm->IsShowing();
}

void TMainFrm::WMHotKey(int id) {
    if (id == HotKey1->Tag)
        Draw1Click();
    else if (id == HotKey2->Tag)
        Capture1Click();
    else if (id == HotKey3->Tag)
        TogglePause();
}

void TMainFrm::WMTrayIcon(int icon, QSystemTrayIcon::ActivationReason reason) {
    if (FModalFlag) return;
    if (icon == 0 && reason == QSystemTrayIcon::Context)
        PopupMenu1->popup(QCursor::pos());
    else if (icon == 0 && reason == QSystemTrayIcon::DoubleClick)
        Draw1Click();
    else if (icon == 1 && reason == QSystemTrayIcon::Trigger)
        TogglePause();
    else if (icon == 2 && reason == QSystemTrayIcon::Trigger)
        StopCapture();
}

void TMainFrm::Draw1Click() {
    if (FModalFlag) return;
    if (isVisible()) {
        // No drawing window while the options are open.
        raise();
        activateWindow();
        return;
    }
    if (!DrawFrm) return;
    // Disabled before the window shows: showing waits for menus to vanish, and the window may be
    // hidden again during that wait, which enables the items once more. A window already shown only
    // comes to the front.
    EnableAnnotate(false);
    DrawFrm->Annotate();
}

void TMainFrm::WMOverlayHidden() {
    EnableAnnotate(!isVisible());
}

void TMainFrm::Configuration1Click() {
    show();
    raise();
    activateWindow();
}

void TMainFrm::LaunchFramoryor1Click() {
    const QString program = ProgramFolder() + EditorProgram;
    const bool started =
        Seams.StartProgram ? Seams.StartProgram(program) : QProcess::startDetached(program, {});
    if (!started) MessageDlg("Error launching Avi Editor", mtError, mbOK);
}

void TMainFrm::Help1Click() {
    // The contents; a report of a missing manual stands in front of the options window when it shows.
    ShowHelp(ApplicationHelpFile(), 0, isVisible() ? this : nullptr);
}

void TMainFrm::About1Click() {
    TAboutBox box(this);
    box.exec();
}

void TMainFrm::Exit1Click() {
    // Ends the event loop without asking windows to close: the program's end is not up to them.
    QCoreApplication::exit(0);
}

void TMainFrm::CheckBox2Click() {
    FRecorder->SetShowClicks(CheckBox2->isChecked());
}

void TMainFrm::Capture1Click() {
    if (FCaptureState != csIdle) {
        StopCapture();
        return;
    }
    if (isVisible() || CaptureBusy) return;
    QScopedValueRollback busy(CaptureBusy, true);

    if (!SaveDialog1.Execute(OverlayVisible() ? DrawFrm.data() : nullptr)) return;
    const QString fileName = SaveDialog1.FileName;
    if (!HasAviExtension(fileName)) {
        MessageDlg("File extension must be AVI", mtError, mbOK);
        return;
    }
    if (QFileInfo::exists(fileName) &&
        MessageDlg("File already exists. Overwrite?", mtConfirmation, mbYesNo) != mrYes)
        return;

    // The last recording may still be completing its file, perhaps this very one: its end is waited
    // for and handled here, so a failure of it is reported (and cannot stop) before the new capture.
    if (!FRecorder->WaitForWorker(FRecorder->WorkerWaitMs)) {
        MessageDlg(PreviousCaptureBusy, mtError, mbOK);
        return;
    }

    ShowCaptureIcons();
    FCaptureState = csRecording;
    SetActionCaption(Capture1, "Stop capture");
    RegisterHotKeyFor(HotKey3);
    if (!FRecorder->StartRecording(nullptr, fileName)) {
        // The recorder could not see the previous recording's file completed in time: starting now
        // would open that file while it is still being written.
        StopCapture();
        MessageDlg(PreviousCaptureBusy, mtError, mbOK);
        return;
    }
    Timer1->start();
}

void TMainFrm::ShowCaptureIcons() {
    TrayIcons[1]->setIcon(TrayIconResource("IconPause"));
    TrayIcons[1]->setToolTip(PauseTip);
    TrayIcons[1]->show();
    TrayIcons[2]->setIcon(TrayIconResource("IconStop"));
    TrayIcons[2]->setToolTip(StopTip);
    TrayIcons[2]->show();
}

void TMainFrm::StopCapture() {
    FCaptureState = csIdle;
    FRecorder->Stop();
    TrayIcons[1]->hide();
    TrayIcons[2]->hide();
    UnregisterHotKey(HotKey3->Tag);
    SetActionCaption(Capture1, "Capture");
    Timer1->stop();
}

void TMainFrm::TogglePause() {
    if (FCaptureState == csIdle) return;
    if (FCaptureState == csRecording) {
        FCaptureState = csPaused;
        FRecorder->Pause();
        Timer1->stop();
    } else {
        FCaptureState = csRecording;
        FRecorder->Resume();
        Timer1->start();
    }
    UpdatePauseIcon();
}

void TMainFrm::UpdatePauseIcon() {
    const bool paused = FCaptureState == csPaused;
    TrayIcons[1]->setIcon(TrayIconResource(paused ? "IconPlay" : "IconPause"));
    TrayIcons[1]->setToolTip(paused ? StartTip : PauseTip);
}

void TMainFrm::Timer1Timer() {
    TrayIcons[2]->setIcon(TrayIconResource(FBlinkToggle == 1 ? "IconStopBl" : "IconStop"));
    FBlinkToggle ^= 1;
}

void TMainFrm::RecorderError(const QString& message) {
    // The report comes once the recording's worker has ended. When a newer capture already runs, the
    // report concerns an earlier one and must not stop it.
    if (FCaptureState != csIdle && !FRecorder->IsWorking()) StopCapture();
    MessageDlg("Error recording video: " + message, mtError, mbOK);
}
