#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>

// The primary monitor in device pixels: high-DPI scaling never changes the size of a snapshot, a
// recording or a drawn step. Its origin is where it lies on the root window.
QRect ScreenRect();
inline QSize ScreenSize() {
    return ScreenRect().size();
}

// Bits of one pixel as the screen's server stores it: 32 for a depth of 24, 16 for 16. The display of
// $DISPLAY when none is named; without an X server, the primary screen's depth.
int ScreenBitsPerPixel(const QByteArray& displayName = {});
