#include "support/DesktopSession.h"

#include <gtest/gtest.h>

TEST(DesktopSession, RootPictureShowsInScreenshots) {
    TDesktopSession desktop(320, 200);
    ASSERT_TRUE(desktop.IsRunning());
    QImage picture(320, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            picture.setPixel(x, y, qRgb(x % 256, y, (x * y) % 256));
    desktop.PaintRoot(picture);
    const QImage shot = desktop.Screenshot();
    ASSERT_EQ(shot.size(), QSize(320, 200));
    EXPECT_EQ(shot, picture);
}

TEST(DesktopSession, AWindowManagerManagesAnotherProgramsWindow) {
    TDesktopSession desktop(640, 480);
    ASSERT_TRUE(desktop.IsRunning());
    ASSERT_TRUE(desktop.StartWindowManager());
    ASSERT_TRUE(desktop.StartOtherWindow());
    QByteArray id;
    ASSERT_EQ(desktop.Xdotool("search --onlyvisible --class xclock", &id), 0);
    // A managed window is told the size of the frame the window manager put around it.
    QByteArray extents;
    EXPECT_TRUE(WaitUntil([&] {
        RunOnDisplay(desktop.Display(),
                     "xprop -id " + QString::fromLatin1(id.split('\n').first()) + " _NET_FRAME_EXTENTS",
                     &extents);
        return extents.contains("=");
    })) << extents.constData();
}
