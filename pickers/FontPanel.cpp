#include "FontPanel.h"

#include <QPalette>

TFontPanel::TFontPanel(const QString& sample, QWidget* parent) : QLabel(sample, parent) {
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    SetFont(FFont);
}

void TFontPanel::SetFont(const TFont& font) {
    FFont = font;
    setFont(font.ToQFont());
    QPalette p = palette();
    p.setColor(QPalette::WindowText, ToQColor(font.Color));
    setPalette(p);
}
