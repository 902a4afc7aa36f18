#include "IconPainting.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QImage TransparentIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void DrawPenStroke(QPainter& p, QPointF start, QPointF control1, QPointF control2, QPointF bend, QPointF end,
                   double width) {
    QPainterPath stroke;
    stroke.moveTo(start);
    stroke.cubicTo(control1, control2, bend);
    stroke.lineTo(end);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xFF, 0xE0, 0x20), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(stroke);
}

QIcon IconInAllSizes(const std::function<QImage(int size)>& draw) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(draw(size)));
    return icon;
}
