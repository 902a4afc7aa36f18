#include "TextStep.h"

#include "platform/Canvas.h"

void TTextStep::Draw(Canvas& canvas) const {
    TFontRecall font(canvas);
    // An opaque text needs a silver brush; left behind, it would fill every plain rectangle and
    // ellipse drawn after it, so the brush and background mode are put back too.
    TBrushRecall brush(canvas);
    TBkModeRecall background(canvas);
    canvas.Font = Font;
    if (Transparent) {
        canvas.BkMode = TBkMode::Transparent;
    } else {
        canvas.Brush.Color = clSilver;
        canvas.BkMode = TBkMode::Opaque;
    }
    canvas.TextOut(StartX, StartY, Text);
}
