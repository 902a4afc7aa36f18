#pragma once

#include "Picture.h"

#include <QImage>

// A picture that carries its own transparency: an alpha channel (PNG), a transparent colour index
// (GIF), or none at all (JPEG). Switching its transparency changes nothing: it keeps its own.
class TAlphaGraphic : public TGraphic {
public:
    // Straight (not premultiplied) alpha; converted to Format_ARGB32 when given in another format.
    explicit TAlphaGraphic(QImage pixels);

    int Width() const override { return Pixels.width(); }
    int Height() const override { return Pixels.height(); }
    bool HasAlpha() const { return Pixels.hasAlphaChannel(); }

    void Draw(Canvas& canvas, int x, int y) const override;
    QImage ToImage() const override { return Pixels; }

private:
    QImage Pixels;
};
