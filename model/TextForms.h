#pragma once

#include "platform/Font.h"

#include <QChar>
#include <QString>
#include <QStringList>
#include <cstdint>

// The text forms of fonts and points that the annotation text and the settings files share.

// "Face";size;colour then "Bold", "Italic", "Underline" for the styles set, all separated by ";".
// The face is written as it is, without doubling quotes; strike-out has no word and is not kept.
QString FontToText(const TFont& font);

// Applies the fields the text has to the font: face, size, colour, then adds the style words found
// (exact case). Styles are only added. A size or colour that does not convert ends the reading
// silently, keeping what was applied before it; it never throws.
void TextToFont(const QString& text, TFont& font);

// Sets x from the text before the first ",", and y from the text after it when there is one. An empty
// text changes nothing. Throws EConvertError; when y fails, x has been set already.
void ParsePair(const QString& text, int32_t& x, int32_t& y);

// Splits a delimited list: blanks and control characters (1 to 32) around items are skipped, an item
// opening with the quote character runs to the next quote that is not doubled (a doubled quote stands
// for one), any other item ends at the delimiter or at a blank, two delimiters in a row give an empty
// item, and a delimiter as the text's last character gives a final empty item. A character 0 ends the
// text.
QStringList SplitDelimited(const QString& text, QChar delimiter, QChar quote);
