#pragma once

#include "platform/Font.h"

#include <QLabel>

// A panel that shows its sample text in a font: the options window's picture of a layer's text font.
// The font is kept as the settings store it (face, size, colour, styles), not as Qt rounds it.
class TFontPanel : public QLabel {
    Q_OBJECT
public:
    explicit TFontPanel(const QString& sample, QWidget* parent = nullptr);

    const TFont& Font() const { return FFont; }
    void SetFont(const TFont& font);

private:
    TFont FFont;
};
