#include "EllipseRect.h"

#include "platform/Canvas.h"
#include "platform/Screen.h"

#include <QRegion>

void TEllipseRect::Draw(Canvas& canvas) const {
    TPenRecall pen(canvas);
    TBrushRecall brush(canvas);
    canvas.Pen.Color = Color;
    canvas.Pen.Width = Width;
    canvas.Pen.Mode = Mode;
    if (Outside) {
        canvas.Brush.Style = TBrushStyle::bsSolid;
        canvas.Brush.Color = Color;
        // The cover spans the screen, not the canvas: a step keeps its meaning on a smaller bitmap.
        const QRegion screen(QRect(QPoint(0, 0), ScreenSize()));
        const QRegion shape =
            IsRect ? RectRegion(StartX, StartY, EndX, EndY) : EllipticRegion(StartX, StartY, EndX, EndY);
        canvas.FillRegion(screen.subtracted(shape));
        return;
    }
    if (Filled) {
        canvas.Brush.Style = TBrushStyle::bsSolid;
        canvas.Brush.Color = Color;
    }
    if (IsRect)
        canvas.Rectangle(StartX, StartY, EndX, EndY);
    else
        canvas.Ellipse(StartX, StartY, EndX, EndY);
}
