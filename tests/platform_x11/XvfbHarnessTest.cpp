#include "platform/Screen.h"
#include "support/XvfbServer.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

TEST(XvfbHarness, ApplicationRunsOnItsOwnServer) {
    EXPECT_EQ(QGuiApplication::platformName(), "xcb");
    EXPECT_EQ(ScreenSize(), QSize(1920, 1080));
    QByteArray out;
    ASSERT_EQ(RunOnDisplay(qEnvironmentVariable("DISPLAY"), "xdotool getdisplaygeometry", &out), 0);
    EXPECT_EQ(out.trimmed(), "1920 1080");
}

TEST(XvfbHarness, SecondServerPicksAnotherDisplay) {
    XvfbServer other(640, 480);
    ASSERT_TRUE(other.IsRunning());
    EXPECT_NE(other.DisplayName(), qEnvironmentVariable("DISPLAY"));
    QByteArray out;
    ASSERT_EQ(RunOnDisplay(other.DisplayName(), "xdotool getdisplaygeometry", &out), 0);
    EXPECT_EQ(out.trimmed(), "640 480");
}
