#pragma once

#include "DrawStep.h"
#include "platform/Font.h"

#include <QString>

// One line of text with its top-left corner at the start point.
class TTextStep : public TDrawStep {
public:
    void Draw(Canvas& canvas) const override;
    void SaveTo(QStringList& lines) const override;
    // A Transparent that is no Boolean, a missing one included, throws EConvertError.
    bool LoadFrom(const TAnnotationSection& section) override;

    QString Text;
    // Owned by the step; a new step has the class library's default font, "MS Sans Serif" 8 points in
    // clWindowText.
    TFont Font;
    // True: the text alone; false: the text on silver cells.
    bool Transparent = true;
};
