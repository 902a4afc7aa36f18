#pragma once

#include <QByteArray>
#include <memory>

// Moves the pointer as the mouse would, through the server's test extension, so that windows see real
// motion (a changed window cursor is shown at once). Over a connection of its own.
class X11PointerMover {
public:
    // An empty display name means $DISPLAY.
    explicit X11PointerMover(const QByteArray& displayName = {});
    ~X11PointerMover();
    X11PointerMover(const X11PointerMover&) = delete;
    X11PointerMover& operator=(const X11PointerMover&) = delete;

    // Connected, and the server offers the test extension.
    bool IsOpen() const;
    // A relative move; false when it could not be made.
    bool MoveBy(int dx, int dy);
    // One pixel to the right and back again, so the pointer ends where it was. At the right edge of the
    // screen the pixel is to the left instead: a move past the edge would be cut short, and the move
    // back would then leave the pointer one pixel off.
    bool Nudge();

    struct Impl;

private:
    std::unique_ptr<Impl> D;
};
