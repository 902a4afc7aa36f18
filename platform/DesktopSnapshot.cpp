#include "DesktopSnapshot.h"

#include "Screen.h"
#include "X11ScreenGrabber.h"

#include <QPainter>

QImage GrabDesktop() {
    // A connection for each snapshot: they come seconds apart, and opening one is cheap next to
    // copying the screen.
    X11ScreenGrabber grabber;
    const QRect screen = ScreenRect();
    QImage part = grabber.Grab(screen);
    if (part.isNull() || part.size() == screen.size()) {
        part.setOffset(QPoint());
        return part;
    }
    // Only while the root window is changing size can the screen reach past it; the snapshot keeps
    // the screen's size, and what lies beyond the root window stays black.
    QImage whole(screen.size(), QImage::Format_RGB32);
    whole.fill(Qt::black);
    QPainter(&whole).drawImage(part.offset() - screen.topLeft(), part);
    return whole;
}
