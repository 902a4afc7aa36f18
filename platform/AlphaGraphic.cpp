#include "AlphaGraphic.h"

#include "GraphicBlend.h"

TAlphaGraphic::TAlphaGraphic(QImage pixels)
    : Pixels(pixels.format() == QImage::Format_ARGB32 ? std::move(pixels)
                                                      : pixels.convertToFormat(QImage::Format_ARGB32)) {}

void TAlphaGraphic::Draw(Canvas& canvas, int x, int y) const {
    BlendPixels(canvas, x, y, Pixels);
}
