#include "FontPanel.h"

#include <QPalette>

TFontPanel::TFontPanel(const QString& sample, QWidget* parent) : QLabel(sample, parent) {
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    // The panel keeps the size its page gives it whatever the font: a huge font from the settings file
    // shows a part of the sample, clipped to the panel, rather than pushing the window off the screen.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    SetFont(FFont);
}

void TFontPanel::SetFont(const TFont& font) {
    FFont = font;
    setFont(font.ToQFont());
    QPalette p = palette();
    p.setColor(QPalette::WindowText, ToQColor(font.Color));
    setPalette(p);
}
