#pragma once

#include "DrawStep.h"
#include "platform/Colors.h"

#include <cstdint>

// A rectangle or an ellipse between the start point and the opposite corner (EndX, EndY), in any
// order: plain, filled, or with everything outside it covered.
class TEllipseRect : public TDrawStep {
public:
    void Draw(Canvas& canvas) const override;
    void SaveTo(QStringList& lines) const override;
    bool LoadFrom(const TAnnotationSection& section) override;

    int32_t EndX = 0;
    int32_t EndY = 0;
    // Pen width in pixels and pen colour.
    int32_t Width = 0;
    TColor Color = 0;
    bool IsRect = false;
    // Interior in the pen colour; a plain shape takes the canvas brush as it finds it.
    bool Filled = false;
    // Everything of the screen area but the shape covered in the pen colour; no outline, and Filled
    // plays no part.
    bool Outside = false;
};
