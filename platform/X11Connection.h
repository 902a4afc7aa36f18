#pragma once

#include <QByteArray>
#include <memory>

// Xlib's display record, kept opaque here so that no caller needs the Xlib headers.
struct _XDisplay;

// A private connection to the X server, for one thread at a time (the recording thread never shares
// Qt's connection). Xlib's default error handlers end the process; every connection made here is
// served by handlers that record the failure on the connection instead, and leave the errors of other
// connections to the handlers that were there before.
class X11Connection {
public:
    // An empty name means the display of $DISPLAY.
    explicit X11Connection(const QByteArray& displayName = {});
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    // Connected, and the connection has not broken since.
    bool IsOpen() const;
    // Null when the connection could not be opened. Callers test IsOpen before each use: a broken
    // connection must not be used again.
    _XDisplay* Display() const;

    // The first error code the server answered since the previous call, 0 when none; it does not wait
    // for requests still under way (see Check).
    int TakeError();
    // Waits until the server has handled every request sent so far; true when none of them failed since
    // the previous TakeError or Check and the connection still works.
    bool Check();

    struct State;

private:
    std::unique_ptr<State> S;
};
