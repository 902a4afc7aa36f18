#include "MoveList.h"

#include "platform/Canvas.h"

void TMoveList::Draw(Canvas& canvas) const {
    TPenRecall pen(canvas);
    canvas.MoveTo(StartX, StartY);
    for (const TMove& point : Points) {
        canvas.Pen.Color = point.Color;
        canvas.Pen.Width = point.Width;
        canvas.Pen.Mode = Mode;
        canvas.LineTo(point.X, point.Y);
    }
}
