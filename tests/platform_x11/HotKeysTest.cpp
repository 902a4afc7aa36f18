#include "platform/HotKeys.h"
#include "support/XvfbServer.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

// Xlib's macros clash with GoogleTest's names: it comes last.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

void Xdotool(const QString& args) {
    ASSERT_EQ(RunOnDisplay(qEnvironmentVariable("DISPLAY"), "xdotool " + args), 0) << args.toStdString();
}

// Waits for the signal while the event loop runs, so the key press reaches the filter.
bool WaitFor(QSignalSpy& spy, int count, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (spy.count() < count && t.elapsed() < ms)
        spy.wait(50);
    return spy.count() >= count;
}

} // namespace

TEST(HotKeys, GrabbedKeyArrivesAlsoWithNumLockAndCapsLock) {
    THotKeyRegistrar keys;
    QSignalSpy spy(&keys, &THotKeyRegistrar::HotKeyPressed);
    ASSERT_TRUE(keys.Register(1, TextToShortCut("Shift+Ctrl+W")));
    ASSERT_TRUE(keys.Register(2, TextToShortCut("F5")));
    Xdotool("key shift+ctrl+w");
    ASSERT_TRUE(WaitFor(spy, 1));
    EXPECT_EQ(spy.at(0).at(0).toInt(), 1);

    Xdotool("key Num_Lock");
    Xdotool("key Caps_Lock");
    Xdotool("key shift+ctrl+w");
    ASSERT_TRUE(WaitFor(spy, 2));
    EXPECT_EQ(spy.at(1).at(0).toInt(), 1);
    Xdotool("key Num_Lock");
    Xdotool("key Caps_Lock");

    Xdotool("key F5");
    ASSERT_TRUE(WaitFor(spy, 3));
    EXPECT_EQ(spy.at(2).at(0).toInt(), 2);

    // Keypad keys are keys like any other, whatever NumLock says.
    ASSERT_TRUE(keys.Register(4, TextToShortCut("Ctrl+Num 1")));
    Xdotool("key ctrl+KP_1");
    ASSERT_TRUE(WaitFor(spy, 4));
    EXPECT_EQ(spy.at(3).at(0).toInt(), 4);
    keys.Unregister(4);

    // Without its modifiers the key is not ours.
    keys.Unregister(2);
    Xdotool("key ctrl+w");
    Xdotool("key F5");
    EXPECT_FALSE(WaitFor(spy, 5, 500));
}

TEST(HotKeys, KeyHeldByAnotherClientOrTwiceByUsIsRefused) {
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    const KeyCode y = XKeysymToKeycode(other, XK_y);
    XGrabKey(other, y, ShiftMask | ControlMask, DefaultRootWindow(other), True, GrabModeAsync, GrabModeAsync);
    XSync(other, False);

    THotKeyRegistrar keys;
    EXPECT_FALSE(keys.Register(1, TextToShortCut("Shift+Ctrl+Y")));
    EXPECT_FALSE(keys.IsRegistered(1));
    ASSERT_TRUE(keys.Register(2, TextToShortCut("Shift+Ctrl+P")));
    EXPECT_FALSE(keys.Register(3, TextToShortCut("Shift+Ctrl+P")));
    XCloseDisplay(other);
    // Once the other client is gone the key is free.
    EXPECT_TRUE(keys.Register(1, TextToShortCut("Shift+Ctrl+Y")));
}
