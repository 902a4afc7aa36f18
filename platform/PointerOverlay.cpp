#include "PointerOverlay.h"

#include <QPainter>
#include <algorithm>

std::optional<TColor> ClickCircleColor(const PointerButtons& counted) {
    std::optional<TColor> color;
    if (counted.Left) color = clRed;
    if (counted.Right) color = clGreen;
    if (counted.Middle) color = clNavy;
    return color;
}

void DrawClickCircle(QImage& frame, QPoint pos, TColor color) {
    QPainter p(&frame);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(ToQColor(color), ClickCirclePenWidth);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    // A stroke centred on a path that runs along pixel borders covers whole pixels on both sides; the
    // path lies half a pen inside the box, so the stroke fills the box's pixels exactly.
    const qreal half = ClickCirclePenWidth / 2.0;
    const qreal diameter = 2 * ClickCircleRadius;
    p.drawEllipse(QRectF(pos.x() - ClickCircleRadius + half, pos.y() - ClickCircleRadius + half,
                         diameter - ClickCirclePenWidth, diameter - ClickCirclePenWidth));
}

void DrawPointer(QImage& frame, QPoint pos, const PointerImage& pointer) {
    const QImage& image = pointer.Image;
    if (image.isNull()) return;
    QPainter p(&frame);
    if (image.width() <= PointerBoxSize && image.height() <= PointerBoxSize) {
        p.drawImage(pos - pointer.HotSpot, image);
        return;
    }
    const qreal scale =
        std::min(qreal(PointerBoxSize) / image.width(), qreal(PointerBoxSize) / image.height());
    const QSize size(std::max(1, qRound(image.width() * scale)), std::max(1, qRound(image.height() * scale)));
    const QPoint hot(qRound(pointer.HotSpot.x() * scale), qRound(pointer.HotSpot.y() * scale));
    p.drawImage(pos - hot, image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}
