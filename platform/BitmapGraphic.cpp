#include "BitmapGraphic.h"

#include "GraphicBlend.h"

TBitmapGraphic::TBitmapGraphic(QImage pixels, bool monochrome)
    : Pixels(pixels.format() == QImage::Format_RGB32 ? std::move(pixels)
                                                     : pixels.convertToFormat(QImage::Format_RGB32)),
      IsMonochrome(monochrome) {}

QRgb TBitmapGraphic::TransparentColor() const {
    if (IsMonochrome || Pixels.isNull()) return 0xFFFFFFFFu;
    return Pixels.pixel(0, Pixels.height() - 1) | 0xFF000000u;
}

void TBitmapGraphic::Draw(Canvas& canvas, int x, int y) const {
    CopyPixels(canvas, x, y, Pixels, IsTransparent, TransparentColor());
}

QImage TBitmapGraphic::ToImage() const {
    QImage image = Pixels.convertToFormat(QImage::Format_ARGB32);
    if (!IsTransparent) return image;
    const QRgb leaveOut = TransparentColor() & 0x00FFFFFFu;
    for (int y = 0; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0x00FFFFFFu) == leaveOut) line[x] = 0;
    }
    return image;
}
