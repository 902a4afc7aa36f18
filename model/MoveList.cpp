#include "MoveList.h"

#include "platform/Canvas.h"

#include <algorithm>
#include <vector>

void TMoveList::Draw(Canvas& canvas) const {
    TPenRecall pen(canvas);
    canvas.MoveTo(StartX, StartY);
    // A stroke in one colour, as the mouse draws it, goes to the canvas whole: it can then write
    // each pixel once where the segments overlap.
    const bool oneColour = std::all_of(Points.begin(), Points.end(),
                                       [&](const TMove& p) { return p.Color == Points.front().Color; });
    if (oneColour && Points.size() > 1) {
        canvas.Pen.Color = Points.front().Color;
        canvas.Pen.Mode = Mode;
        std::vector<Canvas::TWidePoint> points;
        points.reserve(Points.size());
        for (const TMove& point : Points)
            points.push_back({point.X, point.Y, point.Width});
        canvas.LinesTo(points.data(), static_cast<int>(points.size()));
        return;
    }
    for (const TMove& point : Points) {
        canvas.Pen.Color = point.Color;
        canvas.Pen.Width = point.Width;
        canvas.Pen.Mode = Mode;
        canvas.LineTo(point.X, point.Y);
    }
}
