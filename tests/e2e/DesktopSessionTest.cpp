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
