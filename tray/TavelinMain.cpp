#include "cursors/CurImg.h"
#include "dialogs/PenWidth.h"
#include "overlay/Draw.h"
#include "platform/GuardedApplication.h"
#include "platform/Help.h"
#include "platform/InstanceLock.h"
#include "platform/MainForm.h"
#include "platform/MessageDlg.h"
#include "platform/TerminationSignals.h"
#include "settings/IniFileName.h"
#include "tray/Main.h"
#include "tray/TrayIcons.h"

#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

// The name under which one copy per user runs.
static const char* const InstanceName = "QuorvexTavelin";
// How long after the start a missing tray is taken for none.
static constexpr int NoTrayGraceMs = 2000;

int main(int argc, char** argv) {
    // One logical pixel must be one device pixel: snapshots, recordings and drawn steps are measured in
    // screen pixels, whatever scale the desktop asks for.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");

    TGuardedApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    InitIniFileName();
    RegisterCursorFormat();

    // A second copy ends at once, showing nothing and leaving the running one undisturbed. The lock
    // is held until the process ends, however the event loop ends.
    TInstanceLock instance(InstanceName);
    switch (instance.TryLock()) {
    case TInstanceLock::TResult::Locked:
        break;
    case TInstanceLock::TResult::HeldByOther:
        return 0;
    case TInstanceLock::TResult::Unsafe:
        // Ending without a word here would look like a copy already running, and there is none.
        ApplicationMessageBox(QStringLiteral("Tavelin cannot start: it cannot make sure that only one copy "
                                             "of it runs.\r%1\rTavelin ends.")
                                  .arg(instance.ErrorText()),
                              QStringLiteral("Tavelin"), mtError, mbOK);
        return 1;
    }

    // The end of the session ends the program as its exit command does, completing a capture.
    QuitOnTerminationSignals();
    app.setWindowIcon(ApplicationIcon());
    THelpKey helpKey(ApplicationHelpFile());
    TMainFrm mainFrm;
    SetMainForm(&mainFrm);
    std::unique_ptr<QMessageBox> noTrayNotice;
    // Told once at start, with the tray icon already there; the writes that would replace the file
    // with the defaults are refused one by one later.
    if (const QString problem = SettingsFileProblem(); !problem.isEmpty()) MessageDlg(problem, mtError, mbOK);
    // Without a tray the program would run unseen and without a way out: said once, in a box that
    // leaves the hot keys working while it shows. A tray started with the session may come a moment
    // after the program; its icon then comes by itself, and so it does for a tray started later.
    QTimer::singleShot(NoTrayGraceMs, &mainFrm, [&] {
        if (QSystemTrayIcon::isSystemTrayAvailable()) return;
        noTrayNotice = std::make_unique<QMessageBox>(QMessageBox::Information, QStringLiteral("Tavelin"),
                                                     mainFrm.NoTrayNotice(), QMessageBox::Ok);
        noTrayNotice->setModal(false);
        noTrayNotice->show();
    });
    mainFrm.ShowFirstForm();
    TDrawFrm drawFrm;
    mainFrm.SetDrawFrm(&drawFrm);
    TWidthDlg widthDlg;
    drawFrm.SetWidthDialog(&widthDlg);
    return app.exec();
}
