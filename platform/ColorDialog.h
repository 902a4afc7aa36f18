#pragma once

#include "Colors.h"

#include <QStringList>

class QWidget;

// The colour dialog with its sixteen custom colours kept as the settings file stores them: lines
// "ColorA=XXXXXX" to "ColorP=XXXXXX", the value being the $00BBGGRR colour in hexadecimal digits
// without prefix, or FFFFFFFF for a slot that holds no colour.
class TColorDialog {
public:
    TColor Color = clBlack;
    QStringList CustomColors;

    // True on OK. The custom colours are read back whatever the answer, as the user may have changed
    // them before cancelling.
    bool Execute(QWidget* parent);

    // The two halves of Execute, apart for tests: put the lines into the dialog's sixteen slots, and
    // read the slots back into lines (a slot the user did not touch keeps its text).
    static void ApplyCustomColors(const QStringList& lines);
    static QStringList ReadCustomColors(const QStringList& before);

    // The custom colours' slots 0 to CustomColorCount - 1 are stored under "ColorA" to "ColorP".
    static constexpr int CustomColorCount = 16;
    static QString CustomColorKey(int slot);
};
