#pragma once

#include "Colors.h"

#include <QFont>
#include <QString>
#include <cstdint>

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;

// A font as the programs store and exchange it: face, size in points, colour, styles, character set.
struct TFont {
    QString Name = QStringLiteral("MS Sans Serif");
    int Size = 8;
    TColor Color = clWindowText;
    TFontStyles Style = 0;
    int Charset = 1; // DEFAULT_CHARSET

    bool operator==(const TFont&) const = default;

    // Height in pixels at 96 dots per inch, so text measures the same on every machine.
    int PixelSize() const;
    QFont ToQFont() const;
};
