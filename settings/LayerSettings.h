#pragma once

#include "platform/Colors.h"
#include "platform/Font.h"
#include "settings/TavelinSettings.h"

#include <QString>

class TIniFile;

// One layer's drawing settings: what the options window shows on the layer's page, what the drawing
// window draws the layer with, and (for its one layer) what Framory's options keep.
struct TLayerSettings {
    int Width = TavelinSettings::DefaultWidth;
    TColor Color = clBlack;
    TFont Font;
    // Whether the layer's text is drawn without a background.
    bool TransparentFont = true;
    // The layer's cursor file as the settings keep it; empty for the layer's built-in pointer.
    QString CursorFile;
    // The entry of the program's cursor table that shows the layer's pointer, once its cursor is
    // loaded (the drawing window's); 0 is the default arrow.
    int Cursor = 0;
};

// Layer's settings from Tavelin's [Settings]: an unreadable width or colour gives the layer's
// default, and the font text is applied to the font the settings already hold (ApplyFontText).
void ReadLayerSettings(const TIniFile& ini, int layer, TLayerSettings& settings);
// Writes the layer's keys, in the order width, colour, cursor file, text transparency, font.
void WriteLayerSettings(TIniFile& ini, int layer, const TLayerSettings& settings);
