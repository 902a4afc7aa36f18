#pragma once

#include <QImage>
#include <QRect>
#include <QVector>

class Canvas;

// Helpers the picture kinds share to put their pixels on a canvas at natural size.

// The canvas pixels as 32-bit values; a canvas image in another format is converted once.
QImage& CanvasPixels(Canvas& canvas);

// The parts, in canvas coordinates, of a picture of the given size drawn with its top-left corner at
// (x, y) that land on the canvas: inside its image, and inside its clip region when it has one.
QVector<QRect> VisibleRects(Canvas& canvas, int x, int y, int width, int height);

// Straight (not premultiplied) ARGB32 pixels blended over the canvas; the canvas keeps alpha 0xFF.
void BlendPixels(Canvas& canvas, int x, int y, const QImage& argb);

// 32-bit pixels copied as they are; with leaveOut set, pixels of that colour (alpha ignored) are left
// out.
void CopyPixels(Canvas& canvas, int x, int y, const QImage& rgb, bool useLeaveOut, QRgb leaveOut);
