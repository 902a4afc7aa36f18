#include "FramoryIcon.h"

#include "platform/IconPainting.h"

#include <QPainter>

namespace {

// The picture is designed on the 32-unit grid of Tavelin's icon and scaled to each size.
constexpr double DesignGrid = 32.0;

} // namespace

QImage FramoryIconImage(int size) {
    QImage image = TransparentIcon(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / DesignGrid, size / DesignGrid);
    // A slight tilt reads as film rather than as a window.
    p.translate(16, 16);
    p.rotate(-12);
    p.translate(-16, -16);

    const QColor film(0x2A, 0x2A, 0x2E);
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 0.8));
    p.setBrush(film);
    p.drawRoundedRect(QRectF(0.5, 7, 31, 18), 1.5, 1.5);

    // Sprocket holes along both edges.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF2, 0xF2, 0xF2));
    for (int i = 0; i < 8; ++i) {
        const double x = 1.8 + i * 3.75;
        p.drawRoundedRect(QRectF(x, 8.3, 2.1, 1.9), 0.5, 0.5);
        p.drawRoundedRect(QRectF(x, 21.8, 2.1, 1.9), 0.5, 0.5);
    }

    // Three frames; the middle one carries the pen stroke of Tavelin's icon, an annotated frame.
    const QColor sky(0x3A, 0x6E, 0xA5);
    for (int i = 0; i < 3; ++i) {
        const QRectF frame(1.8 + i * 10, 11.3, 8.6, 9.4);
        p.setBrush(i == 1 ? sky : sky.lighter(125));
        p.drawRect(frame);
    }
    DrawPenStroke(p, {12.6, 18.6}, {14.2, 13.5}, {16.2, 19.5}, {17.6, 14.6}, {19.6, 13.8}, 1.6);
    return image;
}

QIcon FramoryIcon() {
    return IconInAllSizes(FramoryIconImage);
}
