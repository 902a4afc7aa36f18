#pragma once

#include "platform/Colors.h"
#include "platform/Font.h"

#include <QString>
#include <optional>

class TIniFile;

// The keys of Tavelin's settings file that more than one window reads, with their defaults. The key
// names and value forms are stored in users' files: never rename them.
namespace TavelinSettings {

inline const QString Section = QStringLiteral("Settings");
inline const QString ColorsSection = QStringLiteral("Colors");

inline constexpr int LayerCount = 5;
inline constexpr int StampSlots = 10;
inline constexpr int DefaultWidth = 3;
// A stored width or font size beyond these would exhaust memory or hang the drawing: it is held here.
inline constexpr int MaxStoredWidth = 1000;
inline constexpr int MaxStoredFontSize = 1000;
inline const QString DefaultFontText = QStringLiteral("\"Times New Roman\";14;clBlack;Bold");

// "DrawWidth" + n and the like.
QString LayerKey(const QString& base, int layer);
QString DefaultColorText(int layer);
TColor DefaultColor(int layer);
QString DefaultStampEntry(int slot);

// The layer's pen width, the default when unreadable, held to 0..MaxStoredWidth.
int ReadLayerWidth(const TIniFile& ini, int layer);
// The layer's colour; a value that is neither a colour name nor a number gives the layer's default, so
// that one bad key never stops a whole reload.
TColor ReadLayerColor(const TIniFile& ini, int layer);

// A font text applied to a font. When face, size and colour all convert, the font becomes exactly the
// text, its styles replaced; otherwise the fields are applied up to the first that does not convert,
// styles only added. The size is held to MaxStoredFontSize either way.
void ApplyFontText(const QString& text, TFont& font);

// A stamp entry "path;flag": the flag is the one character after the first ";" as a digit, 1 when it
// is no digit or missing; a path without a folder names a file in the program's folder. Empty values
// give nothing.
struct TStampEntry {
    QString Path;
    int Flag = 1;
};
std::optional<TStampEntry> ParseStampEntry(const QString& value, const QString& programFolder);

} // namespace TavelinSettings
