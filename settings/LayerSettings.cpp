#include "LayerSettings.h"

#include "TavelinSettings.h"
#include "model/TextForms.h"
#include "platform/Convert.h"
#include "platform/IniFile.h"

using namespace TavelinSettings;

void ReadLayerSettings(const TIniFile& ini, int layer, TLayerSettings& settings) {
    settings.Width = ReadLayerWidth(ini, layer);
    settings.Color = ReadLayerColor(ini, layer);
    settings.CursorFile = Keys::CurrCursor.At(layer).Read(ini, Section);
    settings.TransparentFont = Keys::TransparentFont.At(layer).Read(ini, Section);
    ApplyFontText(Keys::Font.At(layer).Read(ini, Section), settings.Font);
}

void WriteLayerSettings(TIniFile& ini, int layer, const TLayerSettings& settings) {
    Keys::DrawWidth.At(layer).Write(ini, Section, settings.Width);
    Keys::DrawColor.At(layer).Write(ini, Section, ColorToText(settings.Color));
    Keys::CurrCursor.At(layer).Write(ini, Section, settings.CursorFile);
    Keys::TransparentFont.At(layer).Write(ini, Section, settings.TransparentFont);
    Keys::Font.At(layer).Write(ini, Section, FontToText(settings.Font));
}
