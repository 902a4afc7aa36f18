#include "X11KeyMap.h"

#include <QGuiApplication>

#include <X11/Xlib.h>

uint32_t X11KeycodeKeysym(uint32_t keycode, int level) {
    // X key codes lie between 8 and 255; anything else is not a key of this server.
    constexpr uint32_t firstKeycode = 8, lastKeycode = 255;
    if (keycode < firstKeycode || keycode > lastKeycode || level < 0 || !qGuiApp) return 0;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return 0;
    // Asked afresh each time: Xlib's own keymap cache never hears of a layout change, because Qt
    // reads the connection's events itself. One short round trip per key press is nothing.
    int perKeycode = 0;
    KeySym* keysyms = XGetKeyboardMapping(display, static_cast<KeyCode>(keycode), 1, &perKeycode);
    if (!keysyms) return 0;
    // The core map lists the first group's plain and shifted symbols first.
    const uint32_t result = level < perKeycode ? static_cast<uint32_t>(keysyms[level]) : 0;
    XFree(keysyms);
    return result;
}
