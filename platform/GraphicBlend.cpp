#include "GraphicBlend.h"

#include "Canvas.h"

namespace {

constexpr QRgb kOpaque = 0xFF000000u;
constexpr QRgb kColourBits = 0x00FFFFFFu;

inline uint32_t BlendChannel(uint32_t source, uint32_t dest, uint32_t alpha) {
    // Rounded division by 255, exact for every input.
    const uint32_t v = source * alpha + dest * (255 - alpha) + 128;
    return (v + (v >> 8)) >> 8;
}

} // namespace

QImage& CanvasPixels(Canvas& canvas) {
    QImage& image = canvas.Image();
    const QImage::Format f = image.format();
    if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32 && f != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_RGB32);
    return image;
}

QVector<QRect> VisibleRects(Canvas& canvas, int x, int y, int width, int height) {
    QVector<QRect> result;
    const QRect dest = QRect(x, y, width, height) & canvas.Image().rect();
    if (dest.isEmpty()) return result;
    if (canvas.ClipRegion.isEmpty()) {
        result.append(dest);
        return result;
    }
    for (const QRect& r : canvas.ClipRegion) {
        const QRect part = r & dest;
        if (!part.isEmpty()) result.append(part);
    }
    return result;
}

void BlendPixels(Canvas& canvas, int x, int y, const QImage& argb) {
    QImage& target = CanvasPixels(canvas);
    for (const QRect& r : VisibleRects(canvas, x, y, argb.width(), argb.height())) {
        for (int row = r.top(); row <= r.bottom(); ++row) {
            const QRgb* src = reinterpret_cast<const QRgb*>(argb.constScanLine(row - y)) + (r.left() - x);
            QRgb* dst = reinterpret_cast<QRgb*>(target.scanLine(row)) + r.left();
            for (int i = 0; i < r.width(); ++i) {
                const QRgb s = src[i];
                const uint32_t a = qAlpha(s);
                if (a == 255) {
                    dst[i] = s | kOpaque;
                } else if (a == 0) {
                    dst[i] |= kOpaque;
                } else {
                    const QRgb d = dst[i];
                    dst[i] = qRgb(int(BlendChannel(qRed(s), qRed(d), a)),
                                  int(BlendChannel(qGreen(s), qGreen(d), a)),
                                  int(BlendChannel(qBlue(s), qBlue(d), a)));
                }
            }
        }
    }
}

void CopyPixels(Canvas& canvas, int x, int y, const QImage& rgb, bool useLeaveOut, QRgb leaveOut) {
    QImage& target = CanvasPixels(canvas);
    const QRgb skip = leaveOut & kColourBits;
    for (const QRect& r : VisibleRects(canvas, x, y, rgb.width(), rgb.height())) {
        for (int row = r.top(); row <= r.bottom(); ++row) {
            const QRgb* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(row - y)) + (r.left() - x);
            QRgb* dst = reinterpret_cast<QRgb*>(target.scanLine(row)) + r.left();
            for (int i = 0; i < r.width(); ++i) {
                const QRgb s = src[i] & kColourBits;
                if (!useLeaveOut || s != skip) dst[i] = s | kOpaque;
            }
        }
    }
}
