#include "settings/TavelinSettings.h"
#include "platform/IniFile.h"

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
