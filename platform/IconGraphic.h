#pragma once

#include "Picture.h"

#include <QImage>

// An icon picture, drawn the way the platform draws icons: an icon with an alpha channel is blended;
// any other has an AND mask, where the screen below is kept (and inverted where the colour is not
// black) under set mask bits and replaced by the colour elsewhere. Its transparency is its own.
class TIconGraphic : public TGraphic {
public:
    // Colour with straight alpha when mask is null; else colour (alpha ignored) and a mask of the same
    // size in Format_Grayscale8, non-zero where the screen shows through.
    TIconGraphic(QImage colour, QImage mask);

    int Width() const override { return Colour.width(); }
    int Height() const override { return Colour.height(); }
    bool HasMask() const { return !Mask.isNull(); }

    void Draw(Canvas& canvas, int x, int y) const override;
    // Pixels under set mask bits are left fully transparent: inverting the background cannot be shown
    // without one.
    QImage ToImage() const override;

private:
    QImage Colour;
    QImage Mask;
};
