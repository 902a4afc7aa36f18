#include "cursors/CurImg.h"
#include "editor/FramoryIcon.h"
#include "editor/FrmMain.h"
#include "platform/GuardedApplication.h"
#include "platform/Help.h"
#include "platform/MainForm.h"
#include "platform/MessageDlg.h"
#include "platform/TerminationSignals.h"
#include "settings/IniFileName.h"

int main(int argc, char** argv) {
    // One logical pixel must be one device pixel: frames and their annotations are measured in the
    // file's pixels, whatever scale the desktop asks for.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");

    TGuardedApplication app(argc, argv);
    IgnoreBrokenPipes();
    InitIniFileName();
    RegisterCursorFormat();
    // Every window, the about box's picture and the window manager's task list show it.
    app.setWindowIcon(FramoryIcon());

    // The main window opens a file named on the command line while it is made.
    TFrmMain frmMain;
    THelpKey helpKey(frmMain.HelpFile);
    SetMainForm(&frmMain);
    frmMain.show();
    // Told once at start; the writes that would replace the file with the defaults are refused.
    if (const QString problem = SettingsFileProblem(); !problem.isEmpty())
        MessageDlg(problem, mtError, mbOK, &frmMain);
    return app.exec();
}
