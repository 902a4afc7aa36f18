#include "TrayIcons.h"

#include "platform/IconPainting.h"

#include <QPainter>
#include <QPixmap>

namespace {

constexpr int IconSize = 32;
const QColor CaptureRed(0xD0, 0x10, 0x10);
const QColor StopBlue(0x10, 0x30, 0xD0);

QImage CaptureIcon(const QString& name) {
    QImage image = TransparentIcon(IconSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    if (name == "IconPause") {
        p.setBrush(CaptureRed);
        p.drawRect(QRectF(7.5, 5.5, 6, 21));
        p.drawRect(QRectF(18.5, 5.5, 6, 21));
    } else if (name == "IconPlay") {
        p.setBrush(CaptureRed);
        const QPointF triangle[] = {{8.5, 5.5}, {26.5, 16}, {8.5, 26.5}};
        p.drawPolygon(triangle, 3);
    } else if (name == "IconStop" || name == "IconStopBl") {
        p.setBrush(name == "IconStop" ? CaptureRed : StopBlue);
        p.drawRect(QRectF(6.5, 6.5, 19, 19));
    }
    return image;
}

} // namespace

QImage ApplicationIconImage(int size) {
    QImage image = TransparentIcon(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // A screen with a pen stroke drawn on it.
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.5));
    p.setBrush(QColor(0x3A, 0x6E, 0xA5));
    p.drawRoundedRect(QRectF(2, 4, 28, 20), 2, 2);
    p.setBrush(QColor(0x60, 0x60, 0x60));
    p.drawRect(QRectF(12, 24, 8, 3));
    p.drawRect(QRectF(8, 27, 16, 2));
    DrawPenStroke(p, {6, 18}, {10, 8}, {14, 20}, {18, 11}, {26, 9}, 2.5);
    return image;
}

QIcon ApplicationIcon() {
    return IconInAllSizes(ApplicationIconImage);
}

QIcon TrayIconResource(const QString& name) {
    const QImage image = CaptureIcon(name);
    return QIcon(QPixmap::fromImage(image));
}
