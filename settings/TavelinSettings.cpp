#include "TavelinSettings.h"

#include "model/TextForms.h"
#include "platform/ColorDialog.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/IniFile.h"
#include "platform/NameValueList.h"

#include <QFileInfo>
#include <algorithm>

namespace TavelinSettings {

QString DefaultColorText(int layer) {
    static const char* const names[] = {"clBlack", "clRed", "clLime", "clNavy", "clYellow"};
    return layer >= 1 && layer <= LayerCount ? QString(names[layer - 1]) : QString("clBlack");
}

TColor DefaultColor(int layer) {
    return TextToColor(DefaultColorText(layer));
}

QString DefaultStampEntry(int slot) {
    switch (slot) {
    case 0:
        return "QzArrowLT.cur";
    case 1:
        return "QzArrowRT.cur";
    case 2:
        return "Forbidden.ico";
    default:
        return {};
    }
}

int ReadLayerWidth(const TIniFile& ini, int layer) {
    return Keys::DrawWidth.At(layer).Read(ini, Section);
}

TColor ReadLayerColor(const TIniFile& ini, int layer) {
    const QString text = ini.ReadString(Section, Keys::DrawColor.At(layer).Name, DefaultColorText(layer));
    try {
        return TextToColor(text);
    } catch (const EConvertError&) {
        return DefaultColor(layer);
    }
}

void ApplyFontText(const QString& text, TFont& font) {
    const QStringList fields = SplitDelimited(text, ';', '"');
    int32_t size = 0;
    bool whole = fields.size() >= 3 && TryTextToInt(fields[1], size);
    if (whole) {
        try {
            TextToColor(fields[2]);
        } catch (const EConvertError&) {
            whole = false;
        }
    }
    if (whole) {
        TFont fresh;
        fresh.Charset = font.Charset;
        fresh.Style = 0;
        TextToFont(text, fresh);
        font = fresh;
    } else {
        TextToFont(text, font);
    }
    font.Size = std::clamp(font.Size, -MaxStoredFontSize, MaxStoredFontSize);
}

void WriteCustomColors(TIniFile& ini, const QStringList& lines) {
    for (int slot = 0; slot < TColorDialog::CustomColorCount; ++slot) {
        const QString key = TColorDialog::CustomColorKey(slot);
        ini.WriteString(ColorsSection, key, NameValue(lines, key));
    }
}

std::optional<TStampEntry> ParseStampEntry(const QString& value, const QString& programFolder) {
    if (value.isEmpty()) return std::nullopt;
    TStampEntry entry;
    const qsizetype semicolon = value.indexOf(';');
    entry.Path = semicolon < 0 ? value : value.left(semicolon);
    if (semicolon >= 0) {
        const QChar flag = semicolon + 1 < value.size() ? value[semicolon + 1] : QChar();
        entry.Flag = flag.isDigit() && flag.unicode() < 128 ? flag.digitValue() : 1;
    }
    if (entry.Path.isEmpty()) return std::nullopt;
    if (!entry.Path.contains('/')) {
        QString folder = programFolder;
        if (!folder.isEmpty() && !folder.endsWith('/')) folder += '/';
        entry.Path = folder + entry.Path;
    }
    return entry;
}

} // namespace TavelinSettings
