#include "DrawFrmFixture.h"

#include "platform/Screen.h"

int DrawFrmFixture::ScreenWidth() {
    return ScreenSize().width();
}

int DrawFrmFixture::ScreenHeight() {
    return ScreenSize().height();
}

TColor DrawFrmFixture::PixelAt(const QImage& image, int x, int y) {
    return FromQColor(QColor(image.pixel(x, y)));
}
