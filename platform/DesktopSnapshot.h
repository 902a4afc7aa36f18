#pragma once

#include <QImage>

// The whole primary screen as it looks now, in device pixels (ScreenRect's size), Format_RGB32; a null
// image when the screen cannot be read. For the GUI thread: it takes a few milliseconds.
QImage GrabDesktop();
