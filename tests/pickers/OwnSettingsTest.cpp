#include "pickers/ColorBox.h"
#include "pickers/StampList.h"
#include "platform/ColorDialog.h"
#include "platform/IniFile.h"
#include "settings/IniFileName.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Both programs build these pickers over their own settings file and program folder: nothing of one
// program's may leak into the other's.

TEST(OwnSettings, TheColourBoxReadsAndWritesTheCustomColoursOfTheFileItWasGiven) {
    QTemporaryDir dir;
    const QString own = dir.filePath("Framory.ini");
    const QString other = dir.filePath("Tavelin.ini");
    {
        TIniFile ini(own);
        ini.WriteString("Colors", "ColorB", "00FF00");
        TIniFile(other).WriteString("Colors", "ColorB", "0000FF");
    }
    const QString saved = IniFileName;
    IniFileName = other;
    TColorBox box(own);
    QStringList given;
    box.RunColorDialog = [&](TColorDialog& d) {
        given = d.CustomColors;
        d.CustomColors = {"ColorC=123456"};
        d.Color = 0x654321;
        return true;
    };
    EXPECT_TRUE(box.PickCustomColor());
    IniFileName = saved;
    EXPECT_EQ(given, QStringList({"ColorB=00FF00"}));
    EXPECT_EQ(TIniFile(own).ReadString("Colors", "ColorC", "?"), "123456");
    EXPECT_EQ(TIniFile(own).ReadString("Colors", "ColorB", "?"), "");
    EXPECT_EQ(TIniFile(other).ReadSectionValues("Colors"), QStringList({"ColorB=0000FF"}));
}

TEST(OwnSettings, TheStampListFindsAPathWithoutFolderInTheProgramFolderItWasGiven) {
    QTemporaryDir dir;
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(dir.filePath("stamp.png"), "PNG"));
    const QString ini = dir.filePath("Framory.ini");
    TIniFile(ini).WriteString("AviSettings", "Image0", "stamp.png;0");
    TStampList list(dir.path());
    list.LoadFromSettings(TIniFile(ini), "AviSettings", [](int) { return QString(); });
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Path(0), dir.filePath("stamp.png"));
    EXPECT_EQ(list.Flag(0), 0);
}
