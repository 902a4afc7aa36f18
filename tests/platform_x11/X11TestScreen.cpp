#include "X11TestScreen.h"

#include "support/XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

uint32_t PatternPixel(int x, int y) {
    return 0xFF000000u | static_cast<uint32_t>((x * 7 + y * 13) & 0xFF) << 16 |
           static_cast<uint32_t>((x + 3 * y) & 0xFF) << 8 | static_cast<uint32_t>((y * 5 + (x >> 8)) & 0xFF);
}

void PaintRootPattern(const QByteArray& display) {
    Display* dpy = XOpenDisplay(display.constData());
    if (!dpy) return;
    const int screen = DefaultScreen(dpy);
    const int w = DisplayWidth(dpy, screen), h = DisplayHeight(dpy, screen);
    QImage pattern(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(pattern.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = PatternPixel(x, y) & 0xFFFFFF;
    }
    XImage* image = XCreateImage(dpy, DefaultVisual(dpy, screen), 24, ZPixmap, 0,
                                 reinterpret_cast<char*>(pattern.bits()), w, h, 32, pattern.bytesPerLine());
    GC gc = XCreateGC(dpy, RootWindow(dpy, screen), 0, nullptr);
    XPutImage(dpy, RootWindow(dpy, screen), gc, image, 0, 0, 0, 0, w, h);
    XSync(dpy, False);
    image->data = nullptr;
    XDestroyImage(image);
    XFreeGC(dpy, gc);
    XCloseDisplay(dpy);
}

void FillRoot(const QByteArray& display, const QRect& rect, unsigned long pixel) {
    Display* dpy = XOpenDisplay(display.constData());
    if (!dpy) return;
    const Window root = DefaultRootWindow(dpy);
    GC gc = XCreateGC(dpy, root, 0, nullptr);
    XSetForeground(dpy, gc, pixel);
    XFillRectangle(dpy, root, gc, rect.x(), rect.y(), rect.width(), rect.height());
    XSync(dpy, False);
    XFreeGC(dpy, gc);
    XCloseDisplay(dpy);
}

DepthXvfb::DepthXvfb(int width, int height, int depth) {
    const QString screen = QString("%1x%2x%3").arg(width).arg(height).arg(depth);
    // The server writes the display number it found free to standard output.
    Server.start("Xvfb", {"-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0", screen});
    QByteArray number;
    while (!number.endsWith('\n') && Server.waitForReadyRead(15000))
        number += Server.readAllStandardOutput();
    if (number.trimmed().isEmpty()) return;
    Display = ":" + number.trimmed();
}

DepthXvfb::~DepthXvfb() {
    Server.terminate();
    if (!Server.waitForFinished(3000)) Server.kill();
    Server.waitForFinished();
}

QByteArray TestDisplay() {
    return qgetenv("DISPLAY");
}

bool RunCommand(const QString& command, QByteArray* output) {
    return RunOnDisplay(QString::fromLocal8Bit(TestDisplay()), command, output) == 0;
}
