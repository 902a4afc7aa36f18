#pragma once

#include "Picture.h"

#include <QImage>

// A bitmap picture: opaque pixels. Drawn transparent, it leaves out the pixels of its transparent
// colour: the colour of its bottom-left pixel, or white for a monochrome bitmap.
class TBitmapGraphic : public TGraphic {
public:
    // Any 32-bit image; its alpha byte plays no part. A monochrome bitmap is one of 1 bit per pixel.
    TBitmapGraphic(QImage pixels, bool monochrome);

    int Width() const override { return Pixels.width(); }
    int Height() const override { return Pixels.height(); }
    bool Monochrome() const { return IsMonochrome; }
    // As an RGB value with alpha 0xFF.
    QRgb TransparentColor() const;

    void Draw(Canvas& canvas, int x, int y) const override;
    QImage ToImage() const override;

private:
    QImage Pixels;
    bool IsMonochrome;
};
