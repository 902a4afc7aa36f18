#include "LineStep.h"

#include "platform/Canvas.h"

void TLineStep::Draw(Canvas& canvas) const {
    TPenRecall pen(canvas);
    canvas.MoveTo(StartX, StartY);
    canvas.Pen.Color = EndPoint.Color;
    canvas.Pen.Width = EndPoint.Width;
    canvas.Pen.Mode = Mode;
    canvas.LineTo(EndPoint.X, EndPoint.Y);
}
