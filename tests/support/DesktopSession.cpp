#include "DesktopSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QThread>

// Xlib comes after Qt: its macros clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

TDesktopSession::TDesktopSession(int width, int height) : Server(width, height) {}

TDesktopSession::~TDesktopSession() {
    for (auto& p : Programs) {
        if (p->state() != QProcess::NotRunning) {
            p->terminate();
            if (!p->waitForFinished(3000)) {
                p->kill();
                p->waitForFinished(2000);
            }
        }
    }
    for (auto* helper : {Tray.get(), OtherWindow.get(), WindowManager.get()}) {
        if (!helper) continue;
        helper->kill();
        helper->waitForFinished(2000);
    }
}

namespace {
std::unique_ptr<QProcess> StartOnDisplay(const QString& display, const QString& program,
                                         const QStringList& args, const QProcessEnvironment& base) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = base;
    env.insert("DISPLAY", display);
    process->setProcessEnvironment(env);
    process->start(program, args);
    if (!process->waitForStarted(5000)) return nullptr;
    return process;
}
} // namespace

bool TDesktopSession::StartWindowManager() {
    // A configuration folder of its own: the user's openbox settings must not shape the tests.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", ConfigHome() + "/wm");
    WindowManager = StartOnDisplay(Display(), "openbox", {"--sm-disable"}, env);
    if (!WindowManager) return false;
    return WaitUntil([&] {
        QByteArray out;
        return RunOnDisplay(Display(), "xprop -root _NET_SUPPORTING_WM_CHECK", &out) == 0 &&
               out.contains("window id");
    });
}

bool TDesktopSession::StartOtherWindow() {
    // Openbox announces itself before it has finished starting, and a window that asks to be mapped
    // in between can be lost by it and stay unmapped (seen, most often with several sessions started
    // at once): the window is mapped again, and failing that the program is started again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (OtherWindow) {
            OtherWindow->kill();
            OtherWindow->waitForFinished(2000);
        }
        OtherWindow = StartOnDisplay(Display(), "xclock", {"-geometry", "400x400+100+100"},
                                     QProcessEnvironment::systemEnvironment());
        if (!OtherWindow) return false;
        const bool shown = WaitUntil(
            [&] {
                if (WaitUntil([&] { return Xdotool("search --onlyvisible --class xclock") == 0; }, 5000))
                    return true;
                Xdotool("search --class xclock windowmap");
                return false;
            },
            30000);
        if (shown) return true;
    }
    return false;
}

bool TDesktopSession::StartTray() {
    Tray = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", Display());
    Tray->setProcessEnvironment(env);
    Tray->start("trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "200",
                           "--heighttype", "pixel", "--height", "32", "--SetDockType", "true"});
    if (!Tray->waitForStarted(5000)) return false;
    return WaitUntil([&] { return Xdotool("search --classname trayer") == 0; });
}

bool TDesktopSession::SetScreenSize(int width, int height) {
    QByteArray listing;
    if (RunOnDisplay(Display(), "xrandr", &listing) != 0) return false;
    // Xvfb offers only the size it started with: the new one is added to its output as a mode first.
    QString output;
    for (const QByteArray& line : listing.split('\n'))
        if (line.contains(" connected")) output = QString::fromLatin1(line.left(line.indexOf(' ')));
    if (output.isEmpty()) return false;
    const QString mode = QString("%1x%2").arg(width).arg(height);
    if (!listing.contains("   " + mode.toLatin1() + " ")) {
        // No timings matter to a virtual screen: only the visible size does.
        RunOnDisplay(Display(),
                     QString("xrandr --newmode %1 0 %2 0 0 0 %3 0 0 0").arg(mode).arg(width).arg(height));
        if (RunOnDisplay(Display(), QString("xrandr --addmode %1 %2").arg(output, mode)) != 0) return false;
    }
    if (RunOnDisplay(Display(), QString("xrandr --output %1 --mode %2").arg(output, mode)) != 0) return false;
    return WaitUntil([&] { return Screenshot().size() == QSize(width, height); }, 10000);
}

QProcess* TDesktopSession::Launch(const QString& program, const QStringList& args) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", Display());
    env.insert("XDG_CONFIG_HOME", ConfigHome());
    env.insert("XDG_RUNTIME_DIR", ConfigHome());
    env.insert("QT_QPA_PLATFORM", "xcb");
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(QString(TAVELIN_BINARY_DIR) + "/" + program, args);
    process->waitForStarted(5000);
    Programs.push_back(std::move(process));
    return Programs.back().get();
}

int TDesktopSession::Xdotool(const QString& args, QByteArray* output) const {
    return RunOnDisplay(Display(), "xdotool " + args, output);
}

unsigned long TDesktopSession::WaitForWindow(const QString& title, int timeoutMs) const {
    unsigned long id = 0;
    WaitUntil(
        [&] {
            QByteArray out;
            if (Xdotool("search --onlyvisible --name '^" + title + "$'", &out) != 0) return false;
            id = out.split('\n').first().trimmed().toULong();
            return id != 0;
        },
        timeoutMs);
    return id;
}

bool TDesktopSession::WaitForNoWindow(const QString& title, int timeoutMs) const {
    return WaitUntil([&] { return Xdotool("search --onlyvisible --name '^" + title + "$'") != 0; },
                     timeoutMs);
}

QImage TDesktopSession::Screenshot() const {
    ::Display* display = XOpenDisplay(Display().toLocal8Bit().constData());
    if (!display) return {};
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    XImage* image = XGetImage(display, root, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    QImage result;
    if (image && image->bits_per_pixel == 32) {
        result = QImage(attributes.width, attributes.height, QImage::Format_RGB32);
        for (int y = 0; y < attributes.height; ++y)
            memcpy(result.scanLine(y), image->data + y * image->bytes_per_line, attributes.width * 4);
    }
    if (image) XDestroyImage(image);
    XCloseDisplay(display);
    return result;
}

void TDesktopSession::PaintRoot(const QImage& picture) const {
    PaintRootWindow(Display(), picture);
}

bool PaintRootWindow(const QString& displayName, const QImage& picture) {
    ::Display* display =
        XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.toLocal8Bit().constData());
    if (!display) return false;
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    // A pixmap as the root's background survives every expose, unlike pixels drawn on it.
    const Pixmap pixmap =
        XCreatePixmap(display, root, rgb.width(), rgb.height(), DefaultDepth(display, screen));
    XImage* image =
        XCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen), ZPixmap, 0,
                     const_cast<char*>(reinterpret_cast<const char*>(rgb.constBits())), rgb.width(),
                     rgb.height(), 32, rgb.bytesPerLine());
    const GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, image, 0, 0, 0, 0, rgb.width(), rgb.height());
    XSetWindowBackgroundPixmap(display, root, pixmap);
    XClearWindow(display, root);
    XFreeGC(display, gc);
    image->data = nullptr; // the pixels belong to the QImage
    XDestroyImage(image);
    XFreePixmap(display, pixmap);
    XSync(display, False);
    XCloseDisplay(display);
    return true;
}
