#include "ToolBarIcons.h"

#include "platform/IconPainting.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace ToolBarIcons {

namespace {

constexpr int IconSize = 24;
const QColor Ink(0x20, 0x40, 0x80);

// A triangle pointing right (or left) with its base at x.
void Arrow(QPainter& p, double x, bool right) {
    const double tip = right ? x + 7 : x - 7;
    p.drawPolygon(QPolygonF({QPointF(x, 5), QPointF(tip, 12), QPointF(x, 19)}));
}

void Bar(QPainter& p, double x) {
    p.drawRect(QRectF(x, 5, 2, 14));
}

void Magnifier(QPainter& p, bool plus) {
    p.setBrush(Qt::white);
    p.setPen(QPen(Ink, 2));
    p.drawEllipse(QRectF(3, 3, 13, 13));
    p.drawLine(QPointF(14.5, 14.5), QPointF(21, 21));
    p.drawLine(QPointF(6, 9.5), QPointF(13, 9.5));
    if (plus) p.drawLine(QPointF(9.5, 6), QPointF(9.5, 13));
}

} // namespace

QIcon Icon(TIcon icon) {
    QImage image = TransparentIcon(IconSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    switch (icon) {
    case Open:
        p.setBrush(QColor(0xE8, 0xC0, 0x50));
        p.setPen(QPen(QColor(0x80, 0x60, 0x10), 1));
        p.drawPolygon(QPolygonF(
            {QPointF(2, 6), QPointF(9, 6), QPointF(11, 8), QPointF(20, 8), QPointF(20, 19), QPointF(2, 19)}));
        break;
    case FirstFrame:
        Bar(p, 5);
        Arrow(p, 17, false);
        break;
    case PrevPage:
        Arrow(p, 12, false);
        Arrow(p, 19, false);
        break;
    case PreviousFrame:
        Arrow(p, 15, false);
        break;
    case StopPlay:
        p.drawRect(QRectF(6, 6, 12, 12));
        break;
    case Play:
        p.setBrush(QColor(0x20, 0x80, 0x30));
        Arrow(p, 8, true);
        break;
    case NextFrame:
        Arrow(p, 9, true);
        break;
    case NextPage:
        Arrow(p, 5, true);
        Arrow(p, 12, true);
        break;
    case LastFrame:
        Arrow(p, 7, true);
        Bar(p, 17);
        break;
    case ZoomIn:
    case ZoomOut:
        Magnifier(p, icon == ZoomIn);
        break;
    case Thumbnails:
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column)
                p.drawRect(QRectF(3 + column * 6.5, 3 + row * 6.5, 5, 5));
        break;
    case Save:
        p.setBrush(QColor(0x30, 0x50, 0xA0));
        p.drawRect(QRectF(3, 3, 18, 18));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 4, 10, 7));
        p.drawRect(QRectF(8, 15, 8, 6));
        break;
    case InsertFrame:
    case DeleteFrame:
        p.setBrush(Qt::white);
        p.setPen(QPen(Ink, 1.5));
        p.drawRect(QRectF(3, 5, 14, 14));
        p.setPen(QPen(icon == InsertFrame ? QColor(0x18, 0x70, 0x60) : QColor(0xA0, 0x20, 0x20), 2.5));
        p.drawLine(QPointF(14, 17), QPointF(22, 17));
        if (icon == InsertFrame) p.drawLine(QPointF(18, 13), QPointF(18, 21));
        break;
    case Exit:
        p.setPen(QPen(QColor(0xA0, 0x20, 0x20), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
        break;
    }
    p.end();
    return QIcon(QPixmap::fromImage(image));
}

} // namespace ToolBarIcons
