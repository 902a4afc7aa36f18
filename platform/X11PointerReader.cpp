#include "X11PointerReader.h"

#include "X11Connection.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xfixes.h>
#include <array>

namespace {

// X numbers the middle button 2 and the right one 3.
constexpr int LeftButton = 1, MiddleButton = 2, RightButton = 3;

void Count(PointerButtons& buttons, int logicalButton) {
    if (logicalButton == LeftButton) buttons.Left = true;
    if (logicalButton == MiddleButton) buttons.Middle = true;
    if (logicalButton == RightButton) buttons.Right = true;
}

PointerButtons operator|(const PointerButtons& a, const PointerButtons& b) {
    return {a.Left || b.Left, a.Right || b.Right, a.Middle || b.Middle};
}

} // namespace

struct X11PointerReader::Impl {
    X11Connection Conn;
    Window Root = 0;
    int XiOpcode = -1;
    bool Latching = false;
    bool HasFixes = false;
    // Raw events carry the device's own button numbers; the query of the pointer reports them after
    // the user's button mapping (a left-handed mouse). Both must speak of the same buttons.
    std::array<unsigned char, 256> ButtonMap{};
    int MappedButtons = 0;
    PointerButtons Latched;

    explicit Impl(const QByteArray& name) : Conn(name) {
        if (!Conn.IsOpen()) return;
        Display* dpy = Conn.Display();
        Root = DefaultRootWindow(dpy);
        ReadButtonMap();
        SelectRawPresses();
        int eventBase, errorBase;
        int major = 1, minor = 0;
        HasFixes = XFixesQueryExtension(dpy, &eventBase, &errorBase) &&
                   XFixesQueryVersion(dpy, &major, &minor) && major >= 1;
    }

    void ReadButtonMap() {
        MappedButtons =
            XGetPointerMapping(Conn.Display(), ButtonMap.data(), static_cast<int>(ButtonMap.size()));
    }

    int Logical(int deviceButton) const {
        if (deviceButton >= 1 && deviceButton <= MappedButtons) return ButtonMap[deviceButton - 1];
        return deviceButton;
    }

    void SelectRawPresses() {
        Display* dpy = Conn.Display();
        int event, error;
        if (!XQueryExtension(dpy, "XInputExtension", &XiOpcode, &event, &error)) return;
        // From 2.1 on, raw events reach the root window whoever holds a grab: a menu or a drag of
        // another program must not hide its clicks.
        int major = 2, minor = 2;
        if (XIQueryVersion(dpy, &major, &minor) != Success || major < 2 || (major == 2 && minor < 1)) return;
        std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
        XISetMask(bits.data(), XI_RawButtonPress);
        XIEventMask mask{XIAllMasterDevices, static_cast<int>(bits.size()), bits.data()};
        XISelectEvents(dpy, Root, &mask, 1);
        Latching = Conn.Check();
    }

    // Takes in every event that has arrived, so the queue never grows while nobody asks.
    void Drain() {
        Display* dpy = Conn.Display();
        while (Conn.IsOpen() && XPending(dpy) > 0) {
            XEvent event;
            XNextEvent(dpy, &event);
            if (event.type == MappingNotify) {
                if (event.xmapping.request == MappingPointer) ReadButtonMap();
                continue;
            }
            XGenericEventCookie& cookie = event.xcookie;
            if (cookie.type != GenericEvent || cookie.extension != XiOpcode || !XGetEventData(dpy, &cookie))
                continue;
            if (cookie.evtype == XI_RawButtonPress)
                Count(Latched, Logical(static_cast<const XIRawEvent*>(cookie.data)->detail));
            XFreeEventData(dpy, &cookie);
        }
    }

    struct Query {
        QPoint Position;
        PointerButtons Held;
    };

    // The reply comes after every event the server sent before it, so Drain afterwards sees each press
    // that happened before this moment.
    std::optional<Query> QueryPointer() {
        if (!Conn.IsOpen()) return std::nullopt;
        Window root, child;
        int rootX, rootY, winX, winY;
        unsigned int mask = 0;
        XQueryPointer(Conn.Display(), Root, &root, &child, &rootX, &rootY, &winX, &winY, &mask);
        if (Conn.TakeError() != 0 || !Conn.IsOpen()) return std::nullopt;
        Drain();
        Query q{QPoint(rootX, rootY), {}};
        q.Held.Left = mask & Button1Mask;
        q.Held.Middle = mask & Button2Mask;
        q.Held.Right = mask & Button3Mask;
        return q;
    }
};

X11PointerReader::X11PointerReader(const QByteArray& displayName) : D(std::make_unique<Impl>(displayName)) {}

X11PointerReader::~X11PointerReader() = default;

bool X11PointerReader::IsOpen() const {
    return D->Conn.IsOpen();
}

bool X11PointerReader::LatchesPresses() const {
    return IsOpen() && D->Latching;
}

std::optional<QPoint> X11PointerReader::Position() {
    const auto q = D->QueryPointer();
    if (!q) return std::nullopt;
    return q->Position;
}

PointerButtons X11PointerReader::HeldButtons() {
    const auto q = D->QueryPointer();
    return q ? q->Held : PointerButtons{};
}

PointerButtons X11PointerReader::ButtonsSinceLastQuery() {
    const auto q = D->QueryPointer();
    const PointerButtons result = q ? q->Held | D->Latched : PointerButtons{};
    D->Latched = {};
    return result;
}

std::optional<PointerImage> X11PointerReader::CursorImage() {
    if (!IsOpen() || !D->HasFixes) return std::nullopt;
    XFixesCursorImage* cursor = XFixesGetCursorImage(D->Conn.Display());
    D->Conn.TakeError();
    if (!cursor) return std::nullopt;
    std::optional<PointerImage> result;
    if (cursor->width > 0 && cursor->height > 0) {
        QImage image(cursor->width, cursor->height, QImage::Format_ARGB32_Premultiplied);
        // Each pixel comes in an unsigned long, 64 bits here: the picture is in the low 32.
        const unsigned long* in = cursor->pixels;
        bool visible = false;
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                row[x] = static_cast<uint32_t>(*in++);
                visible = visible || (row[x] >> 24) != 0;
            }
        }
        // A cursor made wholly transparent is how programs hide the pointer.
        if (visible) result = PointerImage{image, QPoint(cursor->xhot, cursor->yhot)};
    }
    XFree(cursor);
    return result;
}
