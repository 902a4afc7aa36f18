#pragma once

#include "model/Layers.h"
#include "platform/Colors.h"
#include "platform/Font.h"
#include "settings/SettingsKey.h"

#include <QString>
#include <QStringList>
#include <optional>

class TIniFile;

// The keys of Tavelin's settings file that more than one window reads, with their defaults. The key
// names and value forms are stored in users' files: never rename them.
namespace TavelinSettings {

inline const QString Section = QStringLiteral("Settings");
inline const QString ColorsSection = QStringLiteral("Colors");

inline constexpr int StampSlots = 10;
inline constexpr int DefaultWidth = 3;
// A stored width or font size beyond these would exhaust memory or hang the drawing: it is held here.
inline constexpr int MaxStoredWidth = 1000;
inline constexpr int MaxStoredFontSize = 1000;
inline const QString DefaultFontText = QStringLiteral("\"Times New Roman\";14;clBlack;Bold");

// The key table of [Settings]. Names, value forms and defaults are stored in users' files: never
// rename a key or change its form.
namespace Keys {
// One of each per layer, 1 to LayerCount ("DrawWidth1"). Each layer has its own default colour:
// DefaultColorText.
inline const TIntKey DrawWidth{QStringLiteral("DrawWidth"), DefaultWidth, 0, MaxStoredWidth};
inline const TTextKey DrawColor{QStringLiteral("DrawColor"), QStringLiteral("clBlack")};
// A cursor file; empty for the layer's built-in pointer.
inline const TTextKey CurrCursor{QStringLiteral("CurrCursor"), {}};
inline const TBoolKey TransparentFont{QStringLiteral("TransparentFont"), true};
inline const TTextKey Font{QStringLiteral("Font"), DefaultFontText};
// One per stamp slot, 0 to StampSlots - 1 ("Image0"), each slot with its own default:
// DefaultStampEntry. Framory's section holds them too.
inline const TTextKey Image{QStringLiteral("Image"), {}};
inline const TTextKey PictureDir{QStringLiteral("PictureDir"), {}};
// The options window: the annotate, capture and pause hot keys, the click marks of a capture, and
// the window's position (centred on the screen without it).
inline const TTextKey HotKeys[3] = {{QStringLiteral("HotKey"), QStringLiteral("Shift+Ctrl+W")},
                                    {QStringLiteral("HotKey2"), QStringLiteral("Shift+Ctrl+Y")},
                                    {QStringLiteral("HotKey3"), QStringLiteral("Shift+Ctrl+P")}};
inline const TBoolKey ShowClicks{QStringLiteral("ShowClicks"), true};
inline const TIntKey Left{QStringLiteral("Left")};
inline const TIntKey Top{QStringLiteral("Top")};
// The tray: whether the first-run form is still shown.
inline const TBoolKey ShowFirst{QStringLiteral("ShowFirst"), true};
// The drawing window. Without SavePath the user's pictures folder is taken.
inline const TTextKey SavePath{QStringLiteral("SavePath"), {}};
inline const TTextKey ScriptPath{QStringLiteral("ScriptPath"), {}};
inline const TTextKey ScriptFile{QStringLiteral("ScriptFile"), {}};
inline const TBoolKey ConfExit{QStringLiteral("ConfExit"), true};
} // namespace Keys

// [Colors] holds the colour dialog's custom colours, "ColorA" to "ColorP" (TColorDialog): each is
// written from the dialog's lines, empty when the lines lack it.
void WriteCustomColors(TIniFile& ini, const QStringList& lines);

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
