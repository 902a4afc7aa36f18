#include "Font.h"

#include "WinMath.h"

int TFont::PixelSize() const {
    // A negative size is a pixel height already.
    const int px = Size < 0 ? -Size : MulDiv(Size, 96, 72);
    return px < 1 ? 1 : px;
}

QFont TFont::ToQFont() const {
    QFont font(Name);
    font.setPixelSize(PixelSize());
    font.setBold(Style & fsBold);
    font.setItalic(Style & fsItalic);
    font.setUnderline(Style & fsUnderline);
    font.setStrikeOut(Style & fsStrikeOut);
    font.setKerning(false);
    return font;
}
