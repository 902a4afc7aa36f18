// The drawing window on a real X server: the snapshot it shows, the keys that reach it, the close
// question.
#include "DrawFrmX11Fixture.h"

#include "platform/Screen.h"
#include "platform/X11Connection.h"

#include <QStringList>
#include <QWindow>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using DrawFrmShow = DrawFrmX11Fixture;

// The names in the window's _NET_WM_STATE as another client (a panel) reads them from the server.
QStringList NetWmStates(WId window) {
    X11Connection x;
    QStringList names;
    if (!x.IsOpen()) return names;
    Display* display = x.Display();
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, static_cast<Window>(window), XInternAtom(display, "_NET_WM_STATE", False),
                           0, 1024, False, XA_ATOM, &type, &format, &count, &after, &data) != Success)
        return names;
    if (type == XA_ATOM && format == 32)
        for (unsigned long i = 0; i < count; ++i)
            if (char* name = XGetAtomName(display, reinterpret_cast<const Atom*>(data)[i])) {
                names << QString::fromLatin1(name);
                XFree(name);
            }
    if (data) XFree(data);
    return names;
}

} // namespace

TEST_F(DrawFrmShow, TheWindowCoversTheScreenWithACopyOfTheDesktop) {
    const QImage desktop = Pattern(1920, 1080);
    PaintRoot(desktop);
    ShowForm();
    EXPECT_EQ(Form->frameGeometry(), ScreenRect());
    EXPECT_EQ(Mismatches(Form->GetBackground(), desktop), 0);
    // The desktop changes below the window; the window keeps showing the copy over all of it.
    QImage other(1920, 1080, QImage::Format_RGB32);
    other.fill(QColor(10, 200, 30));
    PaintRoot(other);
    Settle();
    EXPECT_EQ(Mismatches(ScreenShot(), desktop), 0);
    // No taskbar entry: a tool window.
    EXPECT_EQ(Form->windowType(), Qt::Tool);
    EXPECT_TRUE(Form->windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(DrawFrmShow, PanelsReadTheWindowAsFullScreenAndOutOfTheTaskbarAndPager) {
    PaintRoot(Pattern(1920, 1080));
    // The second showing too: a window manager may drop the states of a hidden window.
    for (int showing = 1; showing <= 2; ++showing) {
        ShowForm();
        const QStringList states = NetWmStates(Form->winId());
        for (const char* state : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER",
                                  "_NET_WM_STATE_FULLSCREEN", "_NET_WM_STATE_ABOVE"})
            EXPECT_TRUE(states.contains(QLatin1String(state)))
                << state << " showing " << showing << ": " << states.join(' ').toStdString();
        Form->close();
        ASSERT_TRUE(WaitFor([this] { return !Form->isVisible(); }));
    }
}

TEST_F(DrawFrmShow, LayerKeysFromTheKeyboardToggleAndChoose) {
    PaintRoot(Pattern(1920, 1080));
    ShowForm();
    ASSERT_TRUE(Xdotool("key alt+2"));
    EXPECT_TRUE(WaitFor([this] { return !Form->GetLayerVisible(2); }));
    ASSERT_TRUE(Xdotool("key ctrl+3"));
    EXPECT_TRUE(WaitFor([this] { return Form->GetCurrLayer() == 3; }));
    ASSERT_TRUE(Xdotool("key 4"));
    EXPECT_TRUE(WaitFor([this] { return Form->GetCurrLayer() == 4; }));
    // Plain keys ignore the modifiers: Shift makes "$" of the 4 key, which still chooses layer 4.
    ASSERT_TRUE(Xdotool("key ctrl+2"));
    EXPECT_TRUE(WaitFor([this] { return Form->GetCurrLayer() == 2; }));
    EXPECT_TRUE(Form->GetLayerVisible(2)) << "choosing a hidden layer shows it";
    ASSERT_TRUE(Xdotool("key shift+4"));
    EXPECT_TRUE(WaitFor([this] { return Form->GetCurrLayer() == 4; }));
    ASSERT_TRUE(Xdotool("key alt+4"));
    EXPECT_TRUE(WaitFor([this] { return !Form->GetLayerVisible(4); }));
    EXPECT_EQ(Form->GetCurrLayer(), 1) << "the lowest visible layer became current";
    ASSERT_TRUE(Xdotool("key alt+4"));
    EXPECT_TRUE(WaitFor([this] { return Form->GetLayerVisible(4); }));
}

TEST_F(DrawFrmShow, TheCloseQuestionComesOnlyWithChangesAndAskingOn) {
    PaintRoot(Pattern(1920, 1080));
    ShowForm();
    // Nothing drawn: Esc closes at once.
    ASSERT_TRUE(Xdotool("key Escape"));
    EXPECT_TRUE(WaitFor([this] { return !Form->isVisible(); }));
    EXPECT_TRUE(Messages.empty());

    ShowForm();
    ASSERT_TRUE(Xdotool("mousemove 300 300 mousedown 1 mousemove 320 330 mousemove 340 350 mouseup 1"));
    ASSERT_TRUE(WaitFor([this] { return Form->GetModified(); }));
    Answer = mrNo;
    ASSERT_TRUE(Xdotool("key Escape"));
    ASSERT_TRUE(WaitFor([this] { return !Messages.empty(); }));
    Settle();
    EXPECT_TRUE(Form->isVisible());
    EXPECT_EQ(Messages[0].Caption, QStringLiteral("Confirm exit"));
    EXPECT_EQ(Messages[0].Parent, Form.get());
    Answer = mrYes;
    ASSERT_TRUE(Xdotool("key Escape"));
    EXPECT_TRUE(WaitFor([this] { return !Form->isVisible(); }));
    EXPECT_EQ(Messages.size(), 2u);

    // Asking switched off: a changed screen closes without a question.
    WriteIni("[Settings]\nConfExit=0\n");
    Form->LoadSettings();
    ShowForm();
    ASSERT_TRUE(Xdotool("mousemove 300 300 mousedown 1 mousemove 340 350 mouseup 1"));
    ASSERT_TRUE(WaitFor([this] { return Form->GetModified(); }));
    ASSERT_TRUE(Xdotool("key Escape"));
    EXPECT_TRUE(WaitFor([this] { return !Form->isVisible(); }));
    EXPECT_EQ(Messages.size(), 2u);
}
