#pragma once

#include <QRect>
#include <QSize>

// The primary monitor in device pixels: high-DPI scaling never changes the size of a snapshot, a
// recording or a drawn step. Its origin is where it lies on the root window.
QRect ScreenRect();
inline QSize ScreenSize() {
    return ScreenRect().size();
}
