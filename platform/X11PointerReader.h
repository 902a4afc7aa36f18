#pragma once

#include "PointerState.h"

#include <QByteArray>
#include <QPoint>
#include <memory>
#include <optional>

// The pointer's position, buttons and picture, read over a connection of its own so that it may live on
// the recording thread. One reader serves one thread at a time.
class X11PointerReader {
public:
    // An empty display name means $DISPLAY.
    explicit X11PointerReader(const QByteArray& displayName = {});
    ~X11PointerReader();
    X11PointerReader(const X11PointerReader&) = delete;
    X11PointerReader& operator=(const X11PointerReader&) = delete;

    bool IsOpen() const;
    // False when the server lacks the input extension that reports presses between two queries;
    // ButtonsSinceLastQuery then sees only the buttons held at the moment it asks.
    bool LatchesPresses() const;

    // On the root window; none when the connection is closed or broken.
    std::optional<QPoint> Position();
    // The buttons held at this moment.
    PointerButtons HeldButtons();
    // The buttons held now or pressed at any time since the previous call (the first call counts from
    // the reader's creation), so that a click that begins and ends between two frames still shows.
    PointerButtons ButtonsSinceLastQuery();
    // The pointer's current picture; none when there is no pointer to show (a blank or missing cursor,
    // a server without the fixes extension).
    std::optional<PointerImage> CursorImage();

    struct Impl;

private:
    std::unique_ptr<Impl> D;
};
