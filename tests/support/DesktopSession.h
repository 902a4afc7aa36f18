#pragma once

#include "XvfbServer.h"

#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

// A desktop of its own for end-to-end tests: a private X server, optionally a tray host, and the
// programs under test started on it with their own settings folder, driven with xdotool as a user
// would.
class TDesktopSession {
public:
    explicit TDesktopSession(int width = 1920, int height = 1080);
    ~TDesktopSession();

    bool IsRunning() const { return Server.IsRunning(); }
    const QString& Display() const { return Server.DisplayName(); }
    // The XDG_CONFIG_HOME of every program started here.
    QString ConfigHome() const { return Config.path(); }
    QString SettingsFile(const QString& program) const {
        return ConfigHome() + "/Quorvex/" + program + ".ini";
    }

    // The X server goes away under every program on it.
    void StopServer() { Server.Stop(); }

    // Starts trayer as the notification area; true once it shows a window.
    bool StartTray();
    // Starts openbox, with its default settings, as the window manager; true once it manages the
    // screen (it has set _NET_SUPPORTING_WM_CHECK on the root window).
    bool StartWindowManager();
    // Starts another program's window (xclock), as a user's desktop has; true once it is mapped.
    bool StartOtherWindow();

    // Switches the screen to another size through RandR, as a user changes the resolution; the server
    // was started at its largest size, so the size must not exceed it. True once the root window has
    // the new size.
    bool SetScreenSize(int width, int height);

    // Starts a program built beside the tests (Tavelin, Framory) on this display.
    QProcess* Launch(const QString& program, const QStringList& args = {});

    // Runs xdotool with the arguments; returns its exit code.
    int Xdotool(const QString& args, QByteArray* output = nullptr) const;
    // Waits until a window with this exact title is mapped; returns its id or 0.
    unsigned long WaitForWindow(const QString& title, int timeoutMs = 10000) const;
    bool WaitForNoWindow(const QString& title, int timeoutMs = 10000) const;

    // The whole screen as it is now.
    QImage Screenshot() const;
    // Paints the picture onto the root window, as a desktop background.
    void PaintRoot(const QImage& picture) const;

private:
    XvfbServer Server;
    QTemporaryDir Config;
    std::unique_ptr<QProcess> Tray;
    std::unique_ptr<QProcess> WindowManager;
    std::unique_ptr<QProcess> OtherWindow;
    std::vector<std::unique_ptr<QProcess>> Programs;
};

// Paints the picture onto the root window of a display (empty: $DISPLAY) as its background, which
// survives every expose; false when the display cannot be opened.
bool PaintRootWindow(const QString& displayName, const QImage& picture);

// Polls a condition while the event loop runs. The default deadline, two minutes, is generous: a loaded
// machine or a sanitizer slows the programs under test far more than the test (a wait of under a
// second on a quiet machine took tens of seconds in the sanitizer build beside other builds), and only
// a failure waits it out.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 120000);
