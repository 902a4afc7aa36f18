#pragma once

#include "DrawStep.h"

#include <QString>

// An image stamp: a picture file drawn at its natural size, read from disk at every draw.
class TImageStep : public TDrawStep {
public:
    void Draw(Canvas& canvas) const override;

    // A full path when the drawing window makes the step; the text's path when it is read.
    QString FileName;
    bool Transparent = false;
};
