#pragma once

#include "DrawStep.h"

#include <QString>

// An image stamp: a picture file drawn at its natural size, as the file is at the time of the draw.
class TImageStep : public TDrawStep {
public:
    void Draw(Canvas& canvas) const override;
    void SaveTo(QStringList& lines) const override;
    // True when the named file exists. A flag after the path that is no Boolean throws EConvertError.
    bool LoadFrom(const TAnnotationSection& section) override;

    // A full path when the drawing window makes the step; the text's path when it is read.
    QString FileName;
    bool Transparent = false;
};
