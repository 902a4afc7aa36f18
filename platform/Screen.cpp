#include "Screen.h"

#include "X11Connection.h"

#include <QGuiApplication>
#include <QScreen>
#include <X11/Xlib.h>

QRect ScreenRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return QRect(0, 0, 1920, 1080);
    const qreal ratio = screen->devicePixelRatio();
    const QRect g = screen->geometry();
    return QRect(qRound(g.x() * ratio), qRound(g.y() * ratio), qRound(g.width() * ratio),
                 qRound(g.height() * ratio));
}

int ScreenBitsPerPixel(const QByteArray& displayName) {
    X11Connection x(displayName);
    if (x.IsOpen()) {
        Display* display = x.Display();
        const int depth = DefaultDepth(display, DefaultScreen(display));
        int count = 0;
        int bits = depth;
        if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count)) {
            for (int i = 0; i < count; ++i)
                if (formats[i].depth == depth) bits = formats[i].bits_per_pixel;
            XFree(formats);
        }
        return bits;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 32;
}
