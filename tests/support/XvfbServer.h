#pragma once

#include <QString>
#include <sys/types.h>

// A private X server for one test: it picks a free display itself, so tests never collide with each
// other or with a display that something else on the machine holds.
class XvfbServer {
public:
    XvfbServer(int width = 1920, int height = 1080, int depth = 24);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool IsRunning() const { return Pid > 0 && !Display.isEmpty(); }
    // Ends the server, as a display that goes away under its clients; the destructor then has nothing
    // left to do.
    void Stop();
    // ":N", ready for DISPLAY.
    const QString& DisplayName() const { return Display; }

private:
    pid_t Pid = -1;
    QString Display;
};

// Runs a command line through /bin/sh with DISPLAY set to the given display; returns its exit code and
// fills output with what it printed on standard output.
int RunOnDisplay(const QString& display, const QString& command, QByteArray* output = nullptr);
