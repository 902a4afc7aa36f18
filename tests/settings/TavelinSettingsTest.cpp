#include "settings/TavelinSettings.h"
#include "platform/IniFile.h"
#include "settings/LayerSettings.h"
#include "settings/SettingsKey.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace TavelinSettings;

namespace {

QString WriteIni(const QTemporaryDir& dir, const QByteArray& text) {
    const QString path = dir.path() + "/Tavelin.ini";
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

} // namespace

TEST(TavelinSettings, StampEntriesTakeOneFlagCharacter) {
    struct Case {
        const char* value;
        const char* path;
        int flag;
    } cases[] = {
        {"pic.bmp;0", "/prog/pic.bmp", 0},
        {"a.png;", "/prog/a.png", 1},
        {"a.png;x", "/prog/a.png", 1},
        {"a.png;07", "/prog/a.png", 0},
        {"a.png;15", "/prog/a.png", 1},
        {"a.png", "/prog/a.png", 1},
        {"x;y;0", "/prog/x", 1},
        {"/pics/s.gif", "/pics/s.gif", 1},
        {"/pics/s.gif;3", "/pics/s.gif", 3},
    };
    for (const Case& c : cases) {
        const auto entry = ParseStampEntry(c.value, "/prog");
        ASSERT_TRUE(entry.has_value()) << c.value;
        EXPECT_EQ(entry->Path, c.path) << c.value;
        EXPECT_EQ(entry->Flag, c.flag) << c.value;
    }
    EXPECT_FALSE(ParseStampEntry("", "/prog").has_value());
    EXPECT_FALSE(ParseStampEntry(";1", "/prog").has_value());
}

TEST(TavelinSettings, UnreadableWidthsAndColoursGiveTheDefaultsAndHugeOnesAreHeld) {
    QTemporaryDir dir;
    const TIniFile ini(WriteIni(dir,
                                "[Settings]\r\nDrawWidth1=abc\r\nDrawWidth2=0x10\r\nDrawWidth3=1000000\r\n"
                                "DrawColor1=$0000FF\r\nDrawColor2=notacolour\r\nDrawColor3=clTeal\r\n"));
    EXPECT_EQ(ReadLayerWidth(ini, 1), 3);
    EXPECT_EQ(ReadLayerWidth(ini, 2), 16);
    EXPECT_EQ(ReadLayerWidth(ini, 3), MaxStoredWidth);
    EXPECT_EQ(ReadLayerWidth(ini, 4), 3);
    EXPECT_EQ(ReadLayerColor(ini, 1), clRed);
    EXPECT_EQ(ReadLayerColor(ini, 2), clRed); // layer 2's default
    EXPECT_EQ(ReadLayerColor(ini, 3), clTeal);
    EXPECT_EQ(ReadLayerColor(ini, 5), clYellow);
}

TEST(TavelinSettings, AWholeFontTextReplacesTheStylesAndABrokenOneOnlyAdds) {
    TFont font;
    font.Style = fsBold | fsItalic;
    ApplyFontText("\"Arial\";10;clBlue", font);
    EXPECT_EQ(font.Name, "Arial");
    EXPECT_EQ(font.Size, 10);
    EXPECT_EQ(font.Color, clBlue);
    EXPECT_EQ(font.Style, 0);

    font.Style = fsItalic;
    font.Size = 20;
    ApplyFontText("\"Verdana\";xx;clRed;Bold", font);
    EXPECT_EQ(font.Name, "Verdana");
    EXPECT_EQ(font.Size, 20);
    EXPECT_EQ(font.Color, clBlue);
    EXPECT_EQ(font.Style, fsItalic);

    ApplyFontText("\"Big\";1000000;clRed;Underline", font);
    EXPECT_EQ(font.Size, MaxStoredFontSize);
    EXPECT_EQ(font.Style, fsUnderline);
}

TEST(SettingsKeys, UnreadableValuesGiveTheDefaultAndIntegersAreHeldToTheirBounds) {
    QTemporaryDir dir;
    const TIniFile ini(WriteIni(dir,
                                "[S]\r\nI1=abc\r\nI2=$10\r\nI3=-5\r\nI4=99\r\nB1=0\r\nB2=yes\r\nB3=-1\r\n"
                                "T1=\r\n"));
    const TIntKey i{"I", 7, 0, 50};
    const struct {
        int number;
        int expected;
    } ints[] = {{1, 7}, {2, 16}, {3, 0}, {4, 50}, {5, 7}};
    for (const auto& c : ints)
        EXPECT_EQ(i.At(c.number).Read(ini, "S"), c.expected) << c.number;
    const TBoolKey b{"B", true};
    EXPECT_FALSE(b.At(1).Read(ini, "S"));
    EXPECT_TRUE(b.At(2).Read(ini, "S"));
    EXPECT_TRUE(b.At(3).Read(ini, "S"));
    EXPECT_TRUE(b.At(4).Read(ini, "S"));
    const TTextKey t{"T", "default"};
    EXPECT_EQ(t.At(1).Read(ini, "S"), "");
    EXPECT_EQ(t.At(2).Read(ini, "S"), "default");
    EXPECT_EQ(t.At(1).Read(ini, "Other"), "default");
}

TEST(LayerSettings, WhatIsWrittenReadsBackAndTheCustomColoursKeepTheirSixteenKeys) {
    QTemporaryDir dir;
    const QString path = WriteIni(dir, "");
    TLayerSettings written;
    written.Width = 17;
    written.Color = clTeal;
    written.CursorFile = "/cursors/pen.cur";
    written.TransparentFont = false;
    written.Font.Name = "Arial";
    written.Font.Size = 20;
    written.Font.Color = clRed;
    written.Font.Style = fsItalic;
    {
        TIniFile ini(path);
        WriteLayerSettings(ini, 4, written);
        WriteCustomColors(ini, {"colorb=123456", "ColorZ=1"});
    }
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadSection(Section),
              QStringList({"DrawWidth4", "DrawColor4", "CurrCursor4", "TransparentFont4", "Font4"}));
    TLayerSettings read;
    ReadLayerSettings(ini, 4, read);
    EXPECT_EQ(read.Width, 17);
    EXPECT_EQ(read.Color, clTeal);
    EXPECT_EQ(read.CursorFile, "/cursors/pen.cur");
    EXPECT_FALSE(read.TransparentFont);
    EXPECT_EQ(read.Font, written.Font);

    TLayerSettings defaults;
    ReadLayerSettings(ini, 2, defaults);
    EXPECT_EQ(defaults.Width, DefaultWidth);
    EXPECT_EQ(defaults.Color, clRed);
    EXPECT_TRUE(defaults.CursorFile.isEmpty());
    EXPECT_TRUE(defaults.TransparentFont);
    EXPECT_EQ(defaults.Font.Name, "Times New Roman");

    const QStringList colors = ini.ReadSectionValues(ColorsSection);
    ASSERT_EQ(colors.size(), 16);
    EXPECT_EQ(colors[0], "ColorA=");
    EXPECT_EQ(colors[1], "ColorB=123456");
    EXPECT_EQ(colors[15], "ColorP=");
}
