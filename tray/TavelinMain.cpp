#include "cursors/CurImg.h"
#include "dialogs/PenWidth.h"
#include "overlay/Draw.h"
#include "platform/GuardedApplication.h"
#include "platform/Help.h"
#include "platform/InstanceLock.h"
#include "platform/MainForm.h"
#include "platform/TerminationSignals.h"
#include "settings/IniFileName.h"
#include "tray/Main.h"
#include "tray/TrayIcons.h"

// The name under which one copy per user runs.
static const char* const InstanceName = "QuorvexTavelin";

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
    if (!instance.TryLock()) return 0;

    // The end of the session ends the program as its exit command does, completing a capture.
    QuitOnTerminationSignals();
    app.setWindowIcon(ApplicationIcon());
    THelpKey helpKey(ApplicationHelpFile());
    TMainFrm mainFrm;
    SetMainForm(&mainFrm);
    mainFrm.ShowFirstForm();
    TDrawFrm drawFrm;
    mainFrm.SetDrawFrm(&drawFrm);
    TWidthDlg widthDlg;
    drawFrm.SetWidthDialog(&widthDlg);
    return app.exec();
}
