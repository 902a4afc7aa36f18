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
        // The cover spans the screen and the whole canvas: a frame larger than the screen is covered
        // to its edges, on the view, in a saved file and in an exported picture alike.
        const QRegion area =
            QRegion(QRect(QPoint(0, 0), ScreenSize())).united(QRect(0, 0, canvas.Width(), canvas.Height()));
        const QRegion shape =
            IsRect ? RectRegion(StartX, StartY, EndX, EndY) : EllipticRegion(StartX, StartY, EndX, EndY);
        canvas.FillRegion(area.subtracted(shape));
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
