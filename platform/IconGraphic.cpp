#include "IconGraphic.h"

#include "GraphicBlend.h"

TIconGraphic::TIconGraphic(QImage colour, QImage mask)
    : Colour(colour.format() == QImage::Format_ARGB32 ? std::move(colour)
                                                      : colour.convertToFormat(QImage::Format_ARGB32)),
      Mask(std::move(mask)) {
    if (!Mask.isNull() && (Mask.size() != Colour.size() || Mask.format() != QImage::Format_Grayscale8))
        Mask = Mask.convertToFormat(QImage::Format_Grayscale8).scaled(Colour.size());
}

void TIconGraphic::Draw(Canvas& canvas, int x, int y) const {
    if (Mask.isNull()) {
        BlendPixels(canvas, x, y, Colour);
        return;
    }
    QImage& target = CanvasPixels(canvas);
    for (const QRect& r : VisibleRects(canvas, x, y, Colour.width(), Colour.height())) {
        for (int row = r.top(); row <= r.bottom(); ++row) {
            const QRgb* src = reinterpret_cast<const QRgb*>(Colour.constScanLine(row - y)) + (r.left() - x);
            const uchar* mask = Mask.constScanLine(row - y) + (r.left() - x);
            QRgb* dst = reinterpret_cast<QRgb*>(target.scanLine(row)) + r.left();
            for (int i = 0; i < r.width(); ++i) {
                const QRgb keep = mask[i] ? 0x00FFFFFFu : 0u;
                dst[i] = ((dst[i] & keep) ^ (src[i] & 0x00FFFFFFu)) | 0xFF000000u;
            }
        }
    }
}

QImage TIconGraphic::ToImage() const {
    if (Mask.isNull()) return Colour;
    QImage image = Colour;
    for (int y = 0; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const uchar* mask = Mask.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            line[x] = mask[x] ? 0u : (line[x] | 0xFF000000u);
    }
    return image;
}
