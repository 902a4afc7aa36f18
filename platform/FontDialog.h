#pragma once

#include "Font.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;

// The font dialog of the layer commands: face, size, bold and italic, and the effects underline,
// strike-out and colour. The size list runs from MinFontSize to MaxFontSize; a size typed outside it is
// handed back as typed, for the caller to correct with its own messages.
class TFontDialog {
public:
    TFont Font;
    int MinFontSize = 4;
    int MaxFontSize = 100;

    bool Execute(QWidget* parent);
};

// The dialog's window, apart so that tests can fill and read it without running it.
class TFontDialogForm : public QDialog {
    Q_OBJECT
public:
    TFontDialogForm(const TFont& font, int minSize, int maxSize, QWidget* parent = nullptr);
    // The font as the controls show it now; a size that is not a number keeps the initial size.
    TFont ChosenFont() const;

private:
    void UpdateSample();
    void PickColor(int index);

    TFont Initial;
    TColor Chosen;
    QFontComboBox* Face;
    QComboBox* Size;
    QCheckBox* Bold;
    QCheckBox* Italic;
    QCheckBox* Underline;
    QCheckBox* StrikeOut;
    QComboBox* Colors;
    QLabel* Sample;
};
