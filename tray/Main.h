#pragma once

#include "platform/ShortCut.h"
#include "tray/CaptureFileDialog.h"

#include <QDialog>
#include <QPointer>
#include <QSystemTrayIcon>
#include <cstdint>
#include <functional>

class QAction;
class QCheckBox;
class QMenu;
class QPushButton;
class QTabWidget;
class QTimer;
class TDrawFrm;
class THotKeyEdit;
class THotKeyRegistrar;
class TOptionsPages;
class TScreenCam;

// What the main form reaches outside the program. Every member left empty takes the real thing;
// tests give their own to watch and answer without an X server, a recorder or a file dialog.
struct TMainFrmSeams {
    // Makes the recorder, owned by the form.
    std::function<TScreenCam*(QObject* owner)> MakeRecorder;
    // Global hot keys: grab a key under an identifier (false when it cannot be had), let it go.
    std::function<bool(int id, TShortCut key)> RegisterHotKey;
    std::function<void(int id)> UnregisterHotKey;
    // The capture's save dialog.
    TCaptureFileDialog::TRunner RunSaveDialog;
    // Starts a program without waiting for it; false when it could not be started.
    std::function<bool(const QString& program)> StartProgram;
};

// Tavelin's main form. It is the options window, but it stays hidden and serves as the owner of the
// tray icons and the tray menu, the receiver of the three global hot keys and of the drawing window's
// "hidden" notice, and the owner of the recorder.
class TMainFrm : public QDialog {
    Q_OBJECT
public:
    explicit TMainFrm(TMainFrmSeams seams = {}, QWidget* parent = nullptr);
    ~TMainFrm() override;

    // The tray's capture states. They are not the recorder's numbers (TScreenCam::Recording and its
    // neighbours): the recorder is recording while the tray's state is csRecording, paused while it is
    // csPaused and stopped while it is csIdle.
    enum : uint8_t { csIdle = 0, csRecording = 1, csPaused = 2 };
    // The identifiers under which the hot keys are registered (the Tag of each hot-key control).
    static constexpr int HotKeyId1 = 1, HotKeyId2 = 2, HotKeyId3 = 3;
    // The tray icons: 0 the program, 1 pause/restart and 2 stop while a capture runs.
    static constexpr int TrayIconCount = 3;
    // The stop icon swaps between its two pictures at this interval while recording.
    static constexpr int BlinkIntervalMs = 500;
    // How long the program end waits for the recorder to complete its file.
    static constexpr int ExitWaitMs = 20000;

    // The drawing window: shown on annotate, told to reload its settings after the options window
    // closes; its "hidden" notice enables the tray items again, and its "&Options..." command shows
    // this window over it.
    void SetDrawFrm(TDrawFrm* drawFrm);

    // The first-run form, shown while the ShowFirst setting is true; the entry calls it right after
    // creating the form, before the drawing window exists.
    void ShowFirstForm();

    // What the user is told when no system tray runs: no icon and no menu, but the hot keys as
    // configured, and how the program can be ended meanwhile.
    QString NoTrayNotice() const;

    bool RegisterHotKeyFor(THotKeyEdit* control);
    void ApplySettings();
    // The options window's controls from the settings file, and back (the pages' work).
    void LoadSettings();
    void SaveSettings();

    // Handlers, named after what triggers them.
    void WMHotKey(int id);
    void WMTrayIcon(int icon, QSystemTrayIcon::ActivationReason reason);
    void WMOverlayHidden();
    void Draw1Click();
    void Capture1Click();
    void Configuration1Click();
    void LaunchFramoryor1Click();
    void Help1Click();
    void About1Click();
    void Exit1Click();
    void OKBtnClick();
    void CancelBtnClick();
    void CheckBox2Click();
    void TogglePause();
    void StopCapture();
    void Timer1Timer();
    void RecorderError(const QString& message);

    // The options window shown modally in front of a window (the drawing window), on the page of a
    // layer (0 to 4).
    int ShowModalOnPage(int page, QWidget* over);

    uint8_t CaptureState() const { return FCaptureState; }
    bool ModalFlag() const { return FModalFlag; }
    uint8_t BlinkToggle() const { return FBlinkToggle; }
    TScreenCam* Recorder() const { return FRecorder; }
    QSystemTrayIcon* TrayIcon(int icon) const { return TrayIcons[icon]; }
    QMenu* PopupMenu() const { return PopupMenu1; }
    TCaptureFileDialog& SaveDialog() { return SaveDialog1; }

    QAction* Draw1;
    QAction* Capture1;
    QAction* Configuration1;
    QAction* LaunchFramoryor1;
    QAction* Help1;
    QAction* About1;
    QAction* N1;
    QAction* Exit1;
    // The options window's content, and the controls of it that the form works with.
    TOptionsPages* Pages;
    QTabWidget* PageControl1;
    THotKeyEdit* HotKey1;
    THotKeyEdit* HotKey2;
    THotKeyEdit* HotKey3;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox3;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QPushButton* BitBtn4;
    QPushButton* BitBtn5;
    QTimer* Timer1;

    // The options window's context in the manual.
    static constexpr int OptionsHelpContext = 300;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // The close command and Esc are Cancel: the hot keys come back and nothing is written.
    void reject() override;

private:
    void FormCreate();
    void FormShow();
    void FormHide();
    void FormDestroy();
    void CreateMenu();
    void CreateTrayIcon0();
    void CreateOptionsControls();
    void RegisterHotKeys();
    void UnregisterHotKeys();
    bool RegisterHotKey(int id, TShortCut key);
    void UnregisterHotKey(int id);
    void ShowCaptureIcons();
    void UpdatePauseIcon();
    void EnableAnnotate(bool enabled);
    bool OverlayVisible() const;

    TMainFrmSeams Seams;
    uint8_t FCaptureState = csIdle;
    TScreenCam* FRecorder = nullptr;
    uint8_t FBlinkToggle = 0;
    bool FModalFlag = false;
    // Set while the capture command runs its dialogs: a second capture key press then does nothing.
    bool CaptureBusy = false;

    QMenu* PopupMenu1;
    QSystemTrayIcon* TrayIcons[TrayIconCount] = {};
    THotKeyRegistrar* HotKeys = nullptr;
    TCaptureFileDialog SaveDialog1;
    QPointer<TDrawFrm> DrawFrm;
};
