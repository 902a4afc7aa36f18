#include "HotKeys.h"

#include <QGuiApplication>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace {

Display* XDisplay() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

xcb_connection_t* XConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

unsigned FindNumLockMask(Display* display) {
    unsigned mask = 0;
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map) return Mod2Mask;
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    for (int mod = 0; mod < 8 && numLock; ++mod)
        for (int k = 0; k < map->max_keypermod; ++k)
            if (map->modifiermap[mod * map->max_keypermod + k] == numLock) mask = 1u << mod;
    XFreeModifiermap(map);
    return mask ? mask : Mod2Mask;
}

} // namespace

THotKeyRegistrar::THotKeyRegistrar(QObject* parent) : QObject(parent) {
    if (Display* display = XDisplay()) NumLockMask = FindNumLockMask(display);
    if (qApp) qApp->installNativeEventFilter(this);
}

THotKeyRegistrar::~THotKeyRegistrar() {
    UnregisterAll();
    if (qApp) qApp->removeNativeEventFilter(this);
}

bool THotKeyRegistrar::Register(int id, TShortCut key) {
    Unregister(id);
    Display* display = XDisplay();
    if (!display || !XConnection() || key.IsEmpty()) return false;
    const KeySym sym = ShortCutToKeysym(key);
    const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(display, sym);
    if (!code) return false;
    TGrab grab{code, 0};
    if (key.Shift) grab.Modifiers |= ShiftMask;
    if (key.Ctrl) grab.Modifiers |= ControlMask;
    if (key.Alt) grab.Modifiers |= Mod1Mask;
    for (const auto& [other, g] : Grabs)
        if (g.KeyCode == grab.KeyCode && g.Modifiers == grab.Modifiers) return false;
    if (!Grab(grab)) return false;
    Grabs[id] = grab;
    return true;
}

void THotKeyRegistrar::Unregister(int id) {
    auto it = Grabs.find(id);
    if (it == Grabs.end()) return;
    Ungrab(it->second);
    Grabs.erase(it);
}

void THotKeyRegistrar::UnregisterAll() {
    for (const auto& [id, grab] : Grabs)
        Ungrab(grab);
    Grabs.clear();
}

bool THotKeyRegistrar::Grab(const TGrab& grab) {
    xcb_connection_t* c = XConnection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // Grab every combination of the lock modifiers too, so the key works with NumLock or CapsLock on.
    const unsigned locks[] = {0, LockMask, NumLockMask, LockMask | NumLockMask};
    xcb_void_cookie_t cookies[4];
    for (int i = 0; i < 4; ++i)
        cookies[i] = xcb_grab_key_checked(c, 1, root, static_cast<uint16_t>(grab.Modifiers | locks[i]),
                                          static_cast<xcb_keycode_t>(grab.KeyCode), XCB_GRAB_MODE_ASYNC,
                                          XCB_GRAB_MODE_ASYNC);
    bool ok = true;
    for (xcb_void_cookie_t cookie : cookies)
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            // BadAccess: another client holds this key.
            ok = false;
            free(error);
        }
    if (!ok) Ungrab(grab);
    return ok;
}

void THotKeyRegistrar::Ungrab(const TGrab& grab) {
    xcb_connection_t* c = XConnection();
    if (!c) return;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const unsigned locks[] = {0, LockMask, NumLockMask, LockMask | NumLockMask};
    for (unsigned lock : locks)
        xcb_ungrab_key(c, static_cast<xcb_keycode_t>(grab.KeyCode), root,
                       static_cast<uint16_t>(grab.Modifiers | lock));
    xcb_flush(c);
}

bool THotKeyRegistrar::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS) return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    const unsigned state = key->state & (ShiftMask | ControlMask | Mod1Mask);
    for (const auto& [id, grab] : Grabs)
        if (grab.KeyCode == key->detail && grab.Modifiers == state) {
            emit HotKeyPressed(id);
            return true;
        }
    return false;
}
