#pragma once

#include "Colors.h"

#include <QString>
#include <cstdint>

// Text forms of integers, Booleans and colours shared by the settings files and the annotation text.
// The throwing forms raise EConvertError with the message that names the offending text.

// Decimal, or hexadecimal after "$", "x", "X" or "0x", with an optional sign after leading spaces and
// nothing after the digits. Hexadecimal takes at most 8 significant digits and wraps into the signed
// range ($FFFFFFFF is -1), so every colour value reads back.
int32_t TextToInt(const QString& text);
bool TryTextToInt(const QString& text, int32_t& value);
int32_t TextToIntDef(const QString& text, int32_t defaultValue);

// A number (spaces around it allowed, "." as decimal separator, optional exponent) is true unless it
// is zero; otherwise "True" or "False" in any letter case.
bool TextToBool(const QString& text);
// "-1" or "0".
QString BoolToText(bool value);

// The first colour name whose value matches, else "$" and 8 upper-case hexadecimal digits.
QString ColorToText(TColor color);
// A colour name in any ASCII letter case, else an integer as TextToInt reads it.
TColor TextToColor(const QString& text);
