#include "platform/X11Connection.h"
#include "X11TestScreen.h"

// Xlib's macros (None, Bool) clash with names in the test framework: it comes first.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

int ForeignErrors = 0;
int CountForeignError(Display*, XErrorEvent*) {
    ++ForeignErrors;
    return 0;
}

// A request the server must refuse: there is no such window.
constexpr Window NoSuchWindow = 0x3FFFFF0;

void FailARequest(Display* dpy) {
    XImage* image = XGetImage(dpy, NoSuchWindow, 0, 0, 10, 10, AllPlanes, ZPixmap);
    if (image) XDestroyImage(image);
}

} // namespace

TEST(X11Connection, RefusedRequestsAreReportedNotFatal) {
    X11Connection conn;
    ASSERT_TRUE(conn.IsOpen());
    FailARequest(conn.Display());
    EXPECT_EQ(conn.TakeError(), BadDrawable);
    EXPECT_EQ(conn.TakeError(), 0);

    // An error without a reply arrives later; Check waits for it.
    XMapWindow(conn.Display(), NoSuchWindow);
    EXPECT_FALSE(conn.Check());
    EXPECT_TRUE(conn.Check());
    EXPECT_TRUE(conn.IsOpen());

    // Only the first error until it is taken is kept.
    XMapWindow(conn.Display(), NoSuchWindow);
    FailARequest(conn.Display());
    EXPECT_EQ(conn.TakeError(), BadWindow);
}

TEST(X11Connection, ErrorsOfOtherConnectionsGoToTheHandlerBefore) {
    const XErrorHandler before = XSetErrorHandler(CountForeignError);
    ForeignErrors = 0;
    {
        X11Connection ours;
        Display* foreign = XOpenDisplay(TestDisplay().constData());
        ASSERT_NE(foreign, nullptr);
        FailARequest(foreign);
        EXPECT_EQ(ForeignErrors, 1);
        FailARequest(ours.Display());
        EXPECT_EQ(ForeignErrors, 1);
        EXPECT_NE(ours.TakeError(), 0);
        XCloseDisplay(foreign);
    }
    XSetErrorHandler(before);
}

TEST(X11Connection, NoServerMeansNotOpen) {
    X11Connection conn(":4095");
    EXPECT_FALSE(conn.IsOpen());
    EXPECT_FALSE(conn.Check());
    EXPECT_EQ(conn.Display(), nullptr);
}
