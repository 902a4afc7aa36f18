#include "XWindows.h"

#include "support/DesktopSession.h"

#include <QThread>

// Xlib comes after Qt: its macros clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

namespace {

struct TConnection {
    explicit TConnection(const QString& display) : D(XOpenDisplay(display.toLocal8Bit().constData())) {}
    ~TConnection() {
        if (D) XCloseDisplay(D);
    }
    Display* D;
};

// Windows can vanish between the query and the look at them: ignore what that makes fail.
int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

void Collect(Display* d, Window parent, Window root, bool underRoot, std::vector<TXWindow>& out) {
    Window rootReturn = 0, parentReturn = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, parent, &rootReturn, &parentReturn, &children, &count)) return;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable) continue;
        TXWindow w;
        w.Id = children[i];
        w.TopLevel = underRoot;
        w.OverrideRedirect = a.override_redirect;
        char* name = nullptr;
        if (XFetchName(d, children[i], &name) && name) {
            w.Name = QString::fromLocal8Bit(name);
            XFree(name);
        }
        XClassHint hint{};
        if (XGetClassHint(d, children[i], &hint)) {
            if (hint.res_class) w.Class = QString::fromLocal8Bit(hint.res_class);
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
        }
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(d, children[i], root, 0, 0, &x, &y, &child);
        w.Geometry = QRect(x, y, a.width, a.height);
        out.push_back(w);
        Collect(d, children[i], root, false, out);
    }
    if (children) XFree(children);
}

} // namespace

std::vector<TXWindow> ViewableWindows(const QString& display) {
    std::vector<TXWindow> out;
    TConnection c(display);
    if (!c.D) return out;
    auto previous = XSetErrorHandler(IgnoreErrors);
    const Window root = DefaultRootWindow(c.D);
    Collect(c.D, root, root, true, out);
    XSync(c.D, False);
    XSetErrorHandler(previous);
    return out;
}

std::vector<TXWindow> TopLevelsNamed(const QString& display, const QString& name) {
    std::vector<TXWindow> out;
    for (const TXWindow& w : ViewableWindows(display))
        if (w.TopLevel && w.Name == name) out.push_back(w);
    return out;
}

std::vector<TXWindow> ClientWindowsNamed(const QString& display, const QString& name) {
    std::vector<TXWindow> out;
    for (const TXWindow& w : ViewableWindows(display))
        if (!w.OverrideRedirect && w.Name == name) out.push_back(w);
    return out;
}

unsigned long ActiveWindow(const QString& display) {
    TConnection c(display);
    if (!c.D) return 0;
    const Atom property = XInternAtom(c.D, "_NET_ACTIVE_WINDOW", True);
    if (property == None) return 0;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    unsigned long id = 0;
    if (XGetWindowProperty(c.D, DefaultRootWindow(c.D), property, 0, 1, False, XA_WINDOW, &type, &format,
                           &count, &after, &data) == Success &&
        data && count == 1 && format == 32)
        id = *reinterpret_cast<unsigned long*>(data);
    if (data) XFree(data);
    return id;
}

std::vector<TXWindow> TrayIconsOf(const QString& display, const QString& programClass) {
    std::vector<TXWindow> out;
    for (const TXWindow& w : ViewableWindows(display))
        if (!w.TopLevel && w.Class.compare(programClass, Qt::CaseInsensitive) == 0) out.push_back(w);
    return out;
}

QImage PointerImage(const QString& display) {
    TConnection c(display);
    if (!c.D) return {};
    XFixesCursorImage* cursor = XFixesGetCursorImage(c.D);
    if (!cursor) return {};
    QImage picture(cursor->width, cursor->height, QImage::Format_ARGB32);
    // Xlib hands each ARGB pixel in a long of its own.
    for (int y = 0; y < cursor->height; ++y)
        for (int x = 0; x < cursor->width; ++x)
            picture.setPixel(x, y, QRgb(cursor->pixels[y * cursor->width + x] & 0xFFFFFFFFu));
    XFree(cursor);
    return picture;
}

QImage WindowIcon(const QString& display, unsigned long window) {
    TConnection c(display);
    if (!c.D) return {};
    const Atom property = XInternAtom(c.D, "_NET_WM_ICON", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    auto previous = XSetErrorHandler(IgnoreErrors);
    const int status = XGetWindowProperty(c.D, Window(window), property, 0, 1 << 20, False, XA_CARDINAL,
                                          &type, &format, &count, &after, &data);
    XSync(c.D, False);
    XSetErrorHandler(previous);
    QImage largest;
    if (status == Success && data && format == 32) {
        // Width, height, then width x height ARGB pixels, for each size; Xlib hands each value in a
        // long of its own.
        const auto* values = reinterpret_cast<const unsigned long*>(data);
        unsigned long at = 0;
        while (at + 2 <= count) {
            const unsigned long width = values[at], height = values[at + 1];
            at += 2;
            if (width == 0 || height == 0 || width * height > count - at) break;
            if (int(width) > largest.width()) {
                largest = QImage(int(width), int(height), QImage::Format_ARGB32);
                for (unsigned long y = 0; y < height; ++y)
                    for (unsigned long x = 0; x < width; ++x)
                        largest.setPixel(int(x), int(y), QRgb(values[at + y * width + x] & 0xFFFFFFFFu));
            }
            at += width * height;
        }
    }
    if (data) XFree(data);
    return largest;
}

QString ClipboardText(const QString& display) {
    QByteArray text;
    if (RunOnDisplay(display, "xclip -selection clipboard -t UTF8_STRING -o", &text) != 0) return {};
    return QString::fromUtf8(text);
}

namespace {

// Set when the X server refuses a grab because another client holds the key. Xlib's own handler
// would end the test process instead.
bool GrabRefused = false;

int NoteRefusal(Display*, XErrorEvent* error) {
    if (error->error_code == BadAccess) GrabRefused = true;
    return 0;
}

} // namespace

TForeignKeyGrab::TForeignKeyGrab(const QString& display, const char* keysymName, unsigned modifiers) {
    Display* d = XOpenDisplay(display.toLocal8Bit().constData());
    Connection = d;
    if (!d) return;
    const KeyCode code = XKeysymToKeycode(d, XStringToKeysym(keysymName));
    if (!code) return;
    GrabRefused = false;
    XSync(d, False);
    const auto previous = XSetErrorHandler(NoteRefusal);
    XGrabKey(d, code, modifiers, DefaultRootWindow(d), True, GrabModeAsync, GrabModeAsync);
    XSync(d, False);
    XSetErrorHandler(previous);
    Ok = !GrabRefused;
}

TForeignKeyGrab::~TForeignKeyGrab() {
    if (Connection) XCloseDisplay(static_cast<Display*>(Connection));
}

TColourWindow::TColourWindow(const QString& display, const QRect& geometry) {
    Display* d = XOpenDisplay(display.toLocal8Bit().constData());
    Connection = d;
    if (!d) return;
    XSetWindowAttributes attributes{};
    // No window manager decorates or places it: it stands where it is put.
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(d, DefaultScreen(d));
    Id = XCreateWindow(d, DefaultRootWindow(d), geometry.x(), geometry.y(), geometry.width(),
                       geometry.height(), 0, CopyFromParent, InputOutput, CopyFromParent,
                       CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(d, Id);
    XSync(d, False);
}

TColourWindow::~TColourWindow() {
    auto* d = static_cast<Display*>(Connection);
    if (!d) return;
    if (Id) XDestroyWindow(d, Id);
    XCloseDisplay(d);
}

void TColourWindow::Fill(QRgb colour) {
    auto* d = static_cast<Display*>(Connection);
    if (!d || !Id) return;
    // A 24-bit true-colour screen: the pixel value is the colour itself.
    XSetWindowBackground(d, Id, colour & 0xFFFFFF);
    XClearWindow(d, Id);
    XSync(d, False);
}

bool OpenThroughDialog(const TDesktopSession& desktop, const QString& window, const QString& file) {
    auto keyIn = [&](const QString& name, const QString& keys) {
        const auto windows = TopLevelsNamed(desktop.Display(), name);
        if (windows.empty()) return false;
        desktop.Xdotool(QString("windowfocus --sync %1").arg(windows.front().Id));
        desktop.Xdotool("key " + keys);
        return true;
    };
    if (!keyIn(window, "ctrl+o")) return false;
    if (!WaitUntil([&] { return !TopLevelsNamed(desktop.Display(), "Open").empty(); })) return false;
    // On a loaded machine the dialog's name completer can take keys typed while it comes up, and the
    // dialog then stays, or says that no such file exists in a box of the same caption, which Return
    // answers: the name is typed again while a window of that caption stays. The dialog goes within a
    // second of the Return even in the sanitizer build on a loaded machine.
    constexpr int DialogGoneMs = 20000;
    for (int attempt = 0; attempt < 3; ++attempt) {
        QThread::msleep(300);
        if (!keyIn("Open", "ctrl+a")) return attempt > 0;
        desktop.Xdotool("type --delay 20 '" + file + "'");
        desktop.Xdotool("key Return");
        if (WaitUntil([&] { return TopLevelsNamed(desktop.Display(), "Open").empty(); }, DialogGoneMs))
            return true;
    }
    return false;
}

bool ClickMenuWord(const TDesktopSession& desktop, const QRect& window, int word) {
    const QImage strip = desktop.Screenshot().copy(window.x(), window.y(), window.width(), 22);
    std::vector<std::pair<int, int>> words;
    int start = -1, last = -100;
    for (int x = 0; x < strip.width(); ++x) {
        bool ink = false;
        for (int y = 0; y < strip.height() && !ink; ++y)
            ink = qGray(strip.pixel(x, y)) < 100;
        if (!ink) continue;
        if (x - last > 6) {
            if (start >= 0) words.push_back({start, last});
            start = x;
        }
        last = x;
    }
    if (start >= 0) words.push_back({start, last});
    if (int(words.size()) <= word) return false;
    const int x = window.x() + (words[word].first + words[word].second) / 2;
    desktop.Xdotool(QString("mousemove %1 %2 click 1").arg(x).arg(window.y() + 11));
    return true;
}
