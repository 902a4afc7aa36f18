#include "X11PointerMover.h"

#include "X11Connection.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

struct X11PointerMover::Impl {
    X11Connection Conn;
    bool HasTest = false;

    explicit Impl(const QByteArray& name) : Conn(name) {
        if (!Conn.IsOpen()) return;
        int event, error, major, minor;
        HasTest = XTestQueryExtension(Conn.Display(), &event, &error, &major, &minor);
    }

    bool Move(int dx, int dy) {
        XTestFakeRelativeMotionEvent(Conn.Display(), dx, dy, CurrentTime);
        return Conn.Check();
    }
};

X11PointerMover::X11PointerMover(const QByteArray& displayName) : D(std::make_unique<Impl>(displayName)) {}

X11PointerMover::~X11PointerMover() = default;

bool X11PointerMover::IsOpen() const {
    return D->Conn.IsOpen() && D->HasTest;
}

bool X11PointerMover::MoveBy(int dx, int dy) {
    return IsOpen() && D->Move(dx, dy);
}

bool X11PointerMover::Nudge() {
    if (!IsOpen()) return false;
    Display* dpy = D->Conn.Display();
    Window root = DefaultRootWindow(dpy), rootReturn, child;
    int x, y, winX, winY;
    unsigned int mask;
    XQueryPointer(dpy, root, &rootReturn, &child, &x, &y, &winX, &winY, &mask);
    // The root window's size as it is now: the display record keeps the size of the connection's start.
    int rootX, rootY;
    unsigned int width = 0, height, border, depth;
    XGetGeometry(dpy, root, &rootReturn, &rootX, &rootY, &width, &height, &border, &depth);
    if (D->Conn.TakeError() != 0 || !D->Conn.IsOpen()) return false;
    const int dx = x < static_cast<int>(width) - 1 ? 1 : -1;
    return D->Move(dx, 0) && D->Move(-dx, 0);
}
