#include "tools/ToolIcons.h"

#include "platform/Canvas.h"
#include "platform/IconPainting.h"

#include <QPainter>
#include <QPainterPath>

namespace ToolIcons {

namespace {

const QColor Ink(0, 0, 0);
const QColor Accent(0, 0, 160);
// A chosen tool sits in a pressed, lit square, as a button that is down.
const QColor ChosenFace(255, 236, 160);
const QColor ChosenFrame(128, 96, 0);

void DrawChosenFace(QPainter& p) {
    p.setPen(ChosenFrame);
    p.setBrush(ChosenFace);
    p.drawRect(0, 0, IconSize - 1, IconSize - 1);
}

void DrawFreeHand(QPainter& p) {
    QPainterPath path(QPointF(2, 12));
    path.cubicTo(QPointF(4, 2), QPointF(8, 14), QPointF(10, 6));
    path.cubicTo(QPointF(11, 3), QPointF(13, 4), QPointF(14, 3));
    p.setPen(QPen(Accent, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void DrawLine(QPainter& p) {
    p.setPen(QPen(Accent, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(2.5, 13.5), QPointF(13.5, 2.5));
}

void DrawRectangle(QPainter& p) {
    p.setPen(QPen(Accent, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(2.5, 3.5, 11, 9));
}

void DrawEllipse(QPainter& p) {
    p.setPen(QPen(Accent, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(2, 3.5, 12, 9));
}

void DrawLetter(QPainter& p, const QString& letters, bool bold, int pixelSize) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    p.setFont(font);
    p.setPen(Accent);
    p.drawText(QRect(0, 0, IconSize, IconSize), Qt::AlignCenter, letters);
}

void DrawPenWidth(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRect(2, 3, 12, 1);
    p.drawRect(2, 6, 12, 2);
    p.drawRect(2, 10, 12, 4);
}

void DrawSwatch(QPainter& p) {
    p.setPen(Ink);
    p.setBrush(Ink);
    p.drawRect(2, 2, IconSize - 5, IconSize - 5);
}

void DrawStamp(QPainter& p) {
    // A small framed picture: sky, sun and a hill.
    p.setPen(Ink);
    p.setBrush(QColor(200, 230, 255));
    p.drawRect(1, 2, 13, 11);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 200, 0));
    p.drawEllipse(QRectF(9, 4, 3.5, 3.5));
    p.setBrush(QColor(40, 150, 40));
    p.drawPolygon(QPolygonF({QPointF(2, 13), QPointF(6, 7), QPointF(10, 13)}));
}

void DrawArrow(QPainter& p, bool forward) {
    // A half circle with an arrow head: forward for redo, back for undo.
    p.save();
    if (!forward) {
        p.translate(IconSize, 0);
        p.scale(-1, 1);
    }
    p.setPen(QPen(Accent, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 4, 10, 9), 180 * 16, -180 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawPolygon(QPolygonF({QPointF(9.5, 8.5), QPointF(15.5, 8.5), QPointF(12.5, 12.5)}));
    p.restore();
}

void DrawGlyph(QPainter& p, int plainIndex) {
    switch (plainIndex) {
    case Redo:
        DrawArrow(p, true);
        break;
    case Undo:
        DrawArrow(p, false);
        break;
    case FreeHand:
        DrawFreeHand(p);
        break;
    case PenWidth:
        DrawPenWidth(p);
        break;
    case ColorSwatch:
        DrawSwatch(p);
        break;
    case Text:
        DrawLetter(p, QStringLiteral("A"), true, 13);
        break;
    case Rectangle:
        DrawRectangle(p);
        break;
    case Ellipse:
        DrawEllipse(p);
        break;
    case Font:
        DrawLetter(p, QStringLiteral("Aa"), false, 10);
        break;
    case Line:
        DrawLine(p);
        break;
    case ImageStamps:
        DrawStamp(p);
        break;
    default:
        break;
    }
}

int PlainOf(int chosenIndex) {
    switch (chosenIndex) {
    case FreeHandChosen:
        return FreeHand;
    case LineChosen:
        return Line;
    case RectangleChosen:
        return Rectangle;
    case EllipseChosen:
        return Ellipse;
    case TextChosen:
        return Text;
    default:
        return -1;
    }
}

} // namespace

QImage Image(int index) {
    QImage image = TransparentIcon(IconSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const int plain = PlainOf(index);
    if (plain >= 0) {
        p.setRenderHint(QPainter::Antialiasing, false);
        DrawChosenFace(p);
        p.setRenderHint(QPainter::Antialiasing);
        DrawGlyph(p, plain);
    } else {
        DrawGlyph(p, index);
    }
    return image;
}

QVector<QIcon> ImageList() {
    QVector<QIcon> list;
    list.reserve(Count);
    for (int i = 0; i < Count; ++i)
        list.append(QIcon(QPixmap::fromImage(Image(i))));
    return list;
}

} // namespace ToolIcons

QIcon ToolIcons::ColorSwatchIcon(TColor color) {
    constexpr int size = IconSize;
    QImage bitmap(size, size, QImage::Format_RGB32);
    bitmap.fill(Qt::white);
    {
        Canvas canvas(bitmap);
        canvas.Pen.Color = clBlack;
        canvas.Pen.Width = 1;
        canvas.Brush.Style = TBrushStyle::bsSolid;
        canvas.Brush.Color = color;
        canvas.Rectangle(2, 2, size - 2, size - 2);
    }
    // Only the swatch itself is drawn: the border around it lets the menu show through.
    QImage icon = bitmap.convertToFormat(QImage::Format_ARGB32);
    const QRect swatch(2, 2, size - 4, size - 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (!swatch.contains(x, y)) icon.setPixel(x, y, qRgba(0, 0, 0, 0));
    return QIcon(QPixmap::fromImage(icon));
}
