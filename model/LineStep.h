#pragma once

#include "DrawStep.h"
#include "Move.h"

// A straight line from the start point to the end point.
class TLineStep : public TDrawStep {
public:
    void Draw(Canvas& canvas) const override;
    void SaveTo(QStringList& lines) const override;
    // The end point from the first Move line.
    bool LoadFrom(const TAnnotationSection& section) override;

    // The end of the line, with the line's pen width and colour; owned by the step.
    TMove EndPoint;
};
