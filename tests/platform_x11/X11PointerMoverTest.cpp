#include "platform/X11PointerMover.h"
#include "X11TestScreen.h"
#include "platform/X11PointerReader.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

namespace {

// A plain X window that counts the motion the server reports to it. (Qt is no witness here: it merges
// the two motions and drops a move that ends where the pointer was.)
class MotionWitness {
public:
    explicit MotionWitness(const QRect& r) : Dpy(XOpenDisplay(TestDisplay().constData())) {
        XSetWindowAttributes a{};
        a.override_redirect = True;
        a.event_mask = PointerMotionMask;
        Win =
            XCreateWindow(Dpy, DefaultRootWindow(Dpy), r.x(), r.y(), r.width(), r.height(), 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWOverrideRedirect | CWEventMask, &a);
        XMapRaised(Dpy, Win);
        XSync(Dpy, False);
    }
    ~MotionWitness() {
        XDestroyWindow(Dpy, Win);
        XCloseDisplay(Dpy);
    }
    // The motions since the previous call, with the positions of the last one.
    int TakeMotions(QPoint* last = nullptr) {
        XSync(Dpy, False);
        int count = 0;
        XEvent e;
        while (XCheckTypedWindowEvent(Dpy, Win, MotionNotify, &e)) {
            ++count;
            if (last) *last = QPoint(e.xmotion.x_root, e.xmotion.y_root);
        }
        return count;
    }

private:
    Display* Dpy;
    Window Win;
};

} // namespace

TEST(X11PointerMover, NudgeLeavesThePointerWhereItWas) {
    X11PointerMover mover;
    X11PointerReader reader;
    ASSERT_TRUE(mover.IsOpen());
    // The right edge is where a plain move right and back would leave the pointer one pixel off.
    for (const QPoint at : {QPoint(500, 400), QPoint(0, 0), QPoint(1919, 300), QPoint(1919, 1079)}) {
        SCOPED_TRACE(testing::Message() << at.x() << "," << at.y());
        ASSERT_TRUE(RunCommand(QString("xdotool mousemove %1 %2").arg(at.x()).arg(at.y())));
        EXPECT_TRUE(mover.Nudge());
        EXPECT_EQ(reader.Position(), at);
    }
}

TEST(X11PointerMover, NudgeIsMotionThatWindowsSee) {
    MotionWitness window(QRect(100, 100, 200, 200));
    ASSERT_TRUE(RunCommand("xdotool mousemove 200 200"));
    window.TakeMotions();
    X11PointerMover mover;
    ASSERT_TRUE(mover.Nudge());
    QPoint last;
    EXPECT_EQ(window.TakeMotions(&last), 2);
    EXPECT_EQ(last, QPoint(200, 200));
}

TEST(X11PointerMover, MoveByMovesRelatively) {
    X11PointerMover mover;
    X11PointerReader reader;
    ASSERT_TRUE(RunCommand("xdotool mousemove 50 60"));
    ASSERT_TRUE(mover.MoveBy(3, -2));
    EXPECT_EQ(reader.Position(), QPoint(53, 58));
}

TEST(X11PointerMover, NoServerMeansNoMove) {
    X11PointerMover mover(":4095");
    EXPECT_FALSE(mover.IsOpen());
    EXPECT_FALSE(mover.Nudge());
    EXPECT_FALSE(mover.MoveBy(1, 0));
}
