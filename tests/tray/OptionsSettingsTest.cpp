#include "OptionsFixture.h"

#include "cursors/BuiltInCursors.h"
#include "cursors/CursorTable.h"
#include "model/TextForms.h"
#include "pickers/ColorBox.h"
#include "pickers/FontPanel.h"
#include "pickers/StampList.h"
#include "platform/Autostart.h"
#include "platform/UpDownEdit.h"
#include "tray/HotKeyEdit.h"
#include "tray/LayerPage.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

QImage Shown(const QLabel* label) {
    return label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
}

// The three default stamps beside the running executable, so the defaults can be seen; copied once
// and left there, since parallel tests may rely on them at any time.
void ProvideDefaultStamps() {
    for (const char* name : {"QzArrowLT.cur", "QzArrowRT.cur", "Forbidden.ico"}) {
        const QString target = ProgramFolder() + name;
        if (QFileInfo::exists(target)) continue;
        const QString temporary = target + QStringLiteral(".%1").arg(QCoreApplication::applicationPid());
        QFile::copy(QString(TAVELIN_BINARY_DIR) + "/" + name, temporary);
        if (!QFile::rename(temporary, target)) QFile::remove(temporary);
    }
}

} // namespace

TEST_F(OptionsTest, WindowCarriesTheControlsByTheirNames) {
    TOptionsPages& pages = Make();
    auto* tabs = pages.findChild<QTabWidget*>("PageControl1");
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), 5);
    for (int n = 1; n <= 5; ++n) {
        const QString d = QString::number(n);
        EXPECT_EQ(tabs->tabText(n - 1), "Layer " + d);
        EXPECT_EQ(tabs->widget(n - 1)->objectName(), "TabSheet" + d);
        EXPECT_EQ(tabs->widget(n - 1)->property("Tag").toInt(), n);
        EXPECT_NE(pages.findChild<QLineEdit*>("Edit" + d), nullptr);
        auto* upDown = pages.findChild<TUpDown*>("UpDown" + d);
        ASSERT_NE(upDown, nullptr);
        EXPECT_EQ(upDown->Min(), 1);
        EXPECT_EQ(upDown->Max(), 40);
        EXPECT_NE(pages.findChild<TColorBox*>("ColorBox" + d), nullptr);
        EXPECT_EQ(pages.findChild<QPushButton*>("BtnPointer" + d)->text(), "P&ointer");
        EXPECT_EQ(pages.findChild<QLabel*>("Image" + d)->size(), QSize(32, 32));
        EXPECT_EQ(pages.findChild<TFontPanel*>("PanelFont" + d)->text(), "ABCDEFabcdef");
        EXPECT_EQ(pages.findChild<QCheckBox*>(QStringLiteral("CheckBox%1").arg(n + 3))->text(),
                  "Transparent");
    }
    for (const char* name : {"BntFont1", "BtnFont2", "BntFont3", "BntFont4", "BtnFont5"})
        EXPECT_EQ(pages.findChild<QPushButton*>(name)->text(), "&Font") << name;
    EXPECT_EQ(pages.findChild<TStampList*>()->title(), " Images for stamping ");
    EXPECT_NE(pages.findChild<QTreeWidget*>("lvImages"), nullptr);
    EXPECT_EQ(pages.findChild<QLabel*>("PrevImage")->size(), QSize(77, 70));
    EXPECT_FALSE(pages.findChild<QPushButton*>("BtnReplace")->isEnabled());
    EXPECT_FALSE(pages.findChild<QPushButton*>("BtnRemove")->isEnabled());
    EXPECT_EQ(pages.findChild<QCheckBox*>("CheckBox2")->text(), "Show mouse clicks in captured video");
    EXPECT_EQ(pages.findChild<QCheckBox*>("CheckBox3")->text(), "Start with Windows");
    for (const char* name : {"HotKey1", "HotKey2", "HotKey3"})
        EXPECT_NE(pages.findChild<THotKeyEdit*>(name), nullptr) << name;
    EXPECT_TRUE(pages.findChild<QPushButton*>("OKBtn")->isDefault());
    EXPECT_EQ(pages.findChild<QPushButton*>("CancelBtn")->text(), "Cancel");
    EXPECT_EQ(pages.findChild<QPushButton*>("BitBtn4")->text(), "&Help");
    EXPECT_EQ(pages.findChild<QPushButton*>("BitBtn5")->text(), "&About");
    EXPECT_EQ(pages.OpenDialog1.Title, "Pointer selection");
    EXPECT_EQ(pages.OpenDialog1.Filter, "Cursor files (*.cur *.ani)");
    EXPECT_EQ(pages.Stamps->OpenPictureDialog1.Title, "Load images");
    EXPECT_TRUE(pages.Stamps->OpenPictureDialog1.Filter.contains("Cursor file (*.cur)"));
    EXPECT_TRUE(pages.Stamps->OpenPictureDialog1.Filter.startsWith("All ("));
}

TEST_F(OptionsTest, WithoutASettingsFileEveryControlShowsItsDefault) {
    ProvideDefaultStamps();
    TOptionsPages& pages = Loaded();
    EXPECT_EQ(pages.HotKey1->text(), "Shift+Ctrl+W");
    EXPECT_EQ(pages.HotKey2->text(), "Shift+Ctrl+Y");
    EXPECT_EQ(pages.HotKey3->text(), "Shift+Ctrl+P");
    EXPECT_TRUE(pages.CheckBox2->isChecked());
    EXPECT_FALSE(pages.CheckBox3->isChecked());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(pages.pos(),
              QPoint((screen.width() - pages.width()) / 2, (screen.height() - pages.height()) / 2));
    const TColor colors[] = {clBlack, clRed, clLime, clNavy, clYellow};
    for (int n = 1; n <= 5; ++n) {
        const TLayerPage* page = pages.Page(n);
        EXPECT_EQ(page->UpDown->Position(), 3);
        EXPECT_EQ(page->Edit->text(), "3");
        EXPECT_EQ(page->ColorBox->Selected(), colors[n - 1]);
        EXPECT_TRUE(page->CheckBoxTransparent->isChecked());
        EXPECT_EQ(FontToText(page->PanelFont->Font()), "\"Times New Roman\";14;clBlack;Bold");
        EXPECT_EQ(page->CurrCursor, "");
        EXPECT_EQ(Shown(page->Image), LayerPointerFrame(n).Preview()) << n;
        EXPECT_EQ(TCursorTable::Screen().Preview(n), LayerPointerFrame(n).Preview());
    }
    ASSERT_EQ(pages.Stamps->Count(), 3);
    const QString folder = ProgramFolder();
    EXPECT_EQ(pages.Stamps->Path(0), folder + "QzArrowLT.cur");
    EXPECT_EQ(pages.Stamps->Path(1), folder + "QzArrowRT.cur");
    EXPECT_EQ(pages.Stamps->Path(2), folder + "Forbidden.ico");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(pages.Stamps->Flag(i), 1);
    EXPECT_EQ(pages.Stamps->SelectedIndex(), 0);
    EXPECT_FALSE(pages.Stamps->PrevImage->pixmap().isNull());
    EXPECT_TRUE(pages.Stamps->BtnReplace->isEnabled());
    EXPECT_TRUE(Texts.isEmpty());
}

TEST_F(OptionsTest, StampValuesTakeOneFlagCharacterAndMissingFilesCloseUp) {
    const QString a = ProgramFile("a", ".png");
    const QString b = ProgramFile("b", ".png");
    const QString c = ProgramFile("c", ".png");
    const QString full = Picture("full.png", 4, 4);
    // Slot 1 names a file that does not exist: the later entries move up.
    WriteIni(("[Settings]\nImage0=" + a + ";0\nImage1=gone.png;0\nImage2=" + a + ";\nImage3=" + a +
              ";x\nImage4=" + b + ";y;0\nImage5=" + c + ";15\nImage6=" + full + "\nImage7=\nImage8=" + a +
              ";7\n")
                 .toUtf8());
    TOptionsPages& pages = Loaded();
    const QString folder = ProgramFolder();
    const std::vector<std::pair<QString, int>> expected = {
        {folder + a, 0}, {folder + a, 1}, {folder + a, 1}, {folder + b, 1},
        {folder + c, 1}, {full, 1},       {folder + a, 7},
    };
    ASSERT_EQ(pages.Stamps->Count(), int(expected.size()));
    for (int i = 0; i < int(expected.size()); ++i) {
        EXPECT_EQ(pages.Stamps->Path(i), expected[i].first) << i;
        EXPECT_EQ(pages.Stamps->Flag(i), expected[i].second) << i;
    }
    // Showing the first entry set the box from its flag 0.
    EXPECT_FALSE(pages.Stamps->CheckBox1->isChecked());

    pages.SaveSettings();
    const TIniFile ini(IniFileName);
    for (int i = 0; i < 10; ++i) {
        const QString key = QStringLiteral("Image%1").arg(i);
        ASSERT_TRUE(ini.ValueExists("Settings", key)) << i;
        const QString want = i < int(expected.size())
                                 ? expected[i].first + ";" + QString::number(expected[i].second)
                                 : QString();
        EXPECT_EQ(ini.ReadString("Settings", key, "?"), want) << i;
    }
}

TEST_F(OptionsTest, TwoExistingStampsAroundAMissingOneAreSavedToSlotsZeroAndOne) {
    const QString first = Picture("first.png", 4, 4), third = Picture("third.png", 4, 4);
    WriteIni(("[Settings]\nImage0=" + first + ";1\nImage1=" + Dir.filePath("missing.png") +
              ";1\nImage2=" + third + ";0\n")
                 .toUtf8());
    TOptionsPages& pages = Loaded();
    ASSERT_EQ(pages.Stamps->Count(), 2);
    pages.SaveSettings();
    const TIniFile ini(IniFileName);
    EXPECT_EQ(ini.ReadString("Settings", "Image0", "?"), first + ";1");
    EXPECT_EQ(ini.ReadString("Settings", "Image1", "?"), third + ";0");
    for (int i = 2; i < 10; ++i)
        EXPECT_EQ(ini.ReadString("Settings", QStringLiteral("Image%1").arg(i), "?"), "") << i;
}

TEST_F(OptionsTest, ADeletedPointerFileFallsBackToTheBuiltInPointerAndIsSavedEmpty) {
    const QString pointer = WriteFile(Dir.filePath("gone.cur"), "x");
    WriteIni(("[Settings]\nCurrCursor2=" + pointer + "\n").toUtf8());
    QFile::remove(pointer);
    TOptionsPages& pages = Loaded();
    EXPECT_EQ(pages.Page(2)->CurrCursor, "");
    EXPECT_EQ(Shown(pages.Page(2)->Image), LayerPointerFrame(2).Preview());
    pages.SaveSettings();
    const TIniFile ini(IniFileName);
    ASSERT_TRUE(ini.ValueExists("Settings", "CurrCursor2"));
    EXPECT_EQ(ini.ReadString("Settings", "CurrCursor2", "?"), "");
}

TEST_F(OptionsTest, UnreadableValuesGiveTheirDefaultsWithoutEndingTheLoad) {
    WriteIni("[Settings]\nShowClicks=True\nDrawColor2=notacolour\nDrawColor3=$00FF0000\nDrawWidth3=0x10\n"
             "DrawWidth4=99\nDrawWidth5=abc\nTransparentFont4=0\nHotKey2=Nonsense+Q\nHotKey3=Alt+F12\n"
             "Left=12\nTop=-7\n");
    TOptionsPages& pages = Loaded();
    EXPECT_TRUE(pages.CheckBox2->isChecked());
    EXPECT_EQ(pages.Page(2)->ColorBox->Selected(), clRed);
    EXPECT_EQ(pages.Page(3)->ColorBox->Selected(), clBlue);
    EXPECT_EQ(pages.Page(3)->UpDown->Position(), 16);
    EXPECT_EQ(pages.Page(4)->UpDown->Position(), 40);
    EXPECT_EQ(pages.Page(5)->UpDown->Position(), 3);
    EXPECT_FALSE(pages.Page(4)->CheckBoxTransparent->isChecked());
    EXPECT_FALSE(pages.Page(4)->TransparentFont);
    EXPECT_TRUE(pages.HotKey2->HotKey().IsEmpty());
    EXPECT_EQ(pages.HotKey2->text(), "");
    EXPECT_EQ(pages.HotKey3->text(), "Alt+F12");
    EXPECT_EQ(pages.pos(), QPoint(12, -7));

    WriteIni("[Settings]\nShowClicks=0\n");
    pages.LoadSettings();
    EXPECT_FALSE(pages.CheckBox2->isChecked());
}

TEST_F(OptionsTest, AWholeFontTextBecomesThePanelFontExactly) {
    WriteIni("[Settings]\nFont1=\"Arial\";10;clBlue\nFont2=\"Verdana\";xx;clRed;Italic\n");
    TOptionsPages& pages = Make();
    // Styles an abandoned font pick left on the panels.
    for (int n : {1, 2}) {
        TFont f = pages.Page(n)->PanelFont->Font();
        f.Style = fsItalic | fsUnderline;
        pages.Page(n)->PanelFont->SetFont(f);
    }
    pages.LoadSettings();
    const TFont& one = pages.Page(1)->PanelFont->Font();
    EXPECT_EQ(one.Name, "Arial");
    EXPECT_EQ(one.Size, 10);
    EXPECT_EQ(one.Color, clBlue);
    EXPECT_EQ(one.Style, 0);
    EXPECT_EQ(FontToText(one), "\"Arial\";10;clBlue");
    // A size that does not convert: only the face name is taken.
    const TFont& two = pages.Page(2)->PanelFont->Font();
    EXPECT_EQ(two.Name, "Verdana");
    EXPECT_EQ(two.Style, fsItalic | fsUnderline);
}

TEST_F(OptionsTest, SaveWritesEveryKeyInOrder) {
    const QString stamp = Picture("s.png", 4, 4);
    WriteIni(("[Settings]\nImage0=" + stamp + ";0\nImage1=\nImage2=\nPictureDir=/pics\n").toUtf8());
    TOptionsPages& pages = Loaded();
    QFile::remove(IniFileName);
    pages.move(100, 50);
    pages.HotKey1->SetHotKey(TextToShortCut("Shift+Alt+A"));
    pages.CheckBox2->setChecked(false);
    pages.Page(2)->UpDown->SetPosition(17);
    pages.Page(3)->ColorBox->SetSelected(0x123456);
    pages.Page(4)->CheckBoxTransparent->setChecked(false);
    TFont font = pages.Page(5)->PanelFont->Font();
    font.Style = fsItalic | fsUnderline | fsStrikeOut;
    pages.Page(5)->PanelFont->SetFont(font);
    pages.SaveSettings();

    QString expected = "[Settings]\nLeft=100\nTop=50\nHotKey=Shift+Alt+A\nHotKey2=Shift+Ctrl+Y\n"
                       "HotKey3=Shift+Ctrl+P\nShowClicks=0\n";
    const char* colors[] = {"clBlack", "clRed", "$00123456", "clNavy", "clYellow"};
    for (int n = 1; n <= 5; ++n) {
        const QString d = QString::number(n);
        expected += "DrawWidth" + d + "=" + (n == 2 ? "17" : "3") + "\n";
        expected += "DrawColor" + d + "=" + colors[n - 1] + "\n";
        expected += "CurrCursor" + d + "=\n";
        expected += "TransparentFont" + d + "=" + (n == 4 ? "0" : "1") + "\n";
        expected +=
            "Font" + d + "=\"Times New Roman\";14;clBlack;" + (n == 5 ? "Italic;Underline" : "Bold") + "\n";
    }
    expected += "Image0=" + stamp + ";0\n";
    for (int i = 1; i < 10; ++i)
        expected += QStringLiteral("Image%1=\n").arg(i);
    expected += "PictureDir=/pics\n";
    EXPECT_EQ(IniText(), expected);
}

TEST_F(OptionsTest, ASettingsFileThatCannotBeWrittenIsReportedAndTheRestGoesOn) {
    // The settings folder is a plain file: no write can succeed.
    WriteFile(Dir.filePath("blocked"), "");
    IniFileName = Dir.filePath("blocked/Tavelin.ini");
    TOptionsPages& pages = Loaded();
    pages.CheckBox3->setChecked(true);
    pages.SaveSettings();
    ASSERT_EQ(Texts.size(), 1);
    EXPECT_TRUE(Texts[0].contains("Tavelin.ini")) << Texts[0].toStdString();
    // The autostart entry, kept elsewhere, was still written.
    EXPECT_TRUE(TAutostart::IsEnabled("Tavelin3"));
    TAutostart::Disable("Tavelin3");
}

TEST_F(OptionsTest, StartWithWindowsKeepsTheAutostartEntryOfThisExecutable) {
    TAutostart::Disable("Tavelin3");
    TOptionsPages& pages = Loaded();
    EXPECT_FALSE(pages.CheckBox3->isChecked());
    pages.CheckBox3->setChecked(true);
    pages.SaveSettings();
    EXPECT_TRUE(TAutostart::IsEnabled("Tavelin3"));
    EXPECT_EQ(TAutostart::Command("Tavelin3"), QCoreApplication::applicationFilePath());

    // An entry left by an executable since moved is rewritten with the running one.
    TAutostart::Enable("Tavelin3", "/old/place/Tavelin", "Tavelin");
    pages.LoadSettings();
    EXPECT_TRUE(pages.CheckBox3->isChecked());
    pages.SaveSettings();
    EXPECT_EQ(TAutostart::Command("Tavelin3"), QCoreApplication::applicationFilePath());

    // An entry the desktop switched off (Hidden=true) does not start the program: the box is clear,
    // and ticking it again gives an entry that starts.
    {
        QFile entry(TAutostart::EntryPath("Tavelin3"));
        ASSERT_TRUE(entry.open(QIODevice::Append));
        entry.write("Hidden=true\n");
    }
    pages.LoadSettings();
    EXPECT_FALSE(pages.CheckBox3->isChecked());
    pages.CheckBox3->setChecked(true);
    pages.SaveSettings();
    EXPECT_TRUE(TAutostart::IsEnabled("Tavelin3"));

    pages.CheckBox3->setChecked(false);
    pages.SaveSettings();
    EXPECT_FALSE(TAutostart::IsEnabled("Tavelin3"));
    EXPECT_FALSE(QFileInfo::exists(TAutostart::EntryPath("Tavelin3")));
    pages.LoadSettings();
    EXPECT_FALSE(pages.CheckBox3->isChecked());
    EXPECT_TRUE(Texts.isEmpty());
}

TEST_F(OptionsTest, EachShowingStartsFromTheFileAndCancelRestoresTheHotKeysInForce) {
    WriteIni("[Settings]\nHotKey=Ctrl+F9\nDrawWidth1=5\n");
    TOptionsPages& pages = Loaded(); // as at start-up: these keys are registered now
    WriteIni("[Settings]\nHotKey=Ctrl+F9\nDrawWidth1=5\n");
    pages.ShowPages();
    pages.HotKey1->SetHotKey(TextToShortCut("Alt+X"));
    pages.HotKey3->SetHotKey(TShortCut());
    pages.Page(1)->UpDown->SetPosition(30);
    pages.RestoreHotKeys();
    EXPECT_EQ(pages.HotKey1->text(), "Ctrl+F9");
    EXPECT_EQ(pages.HotKey3->text(), "Shift+Ctrl+P");
    EXPECT_EQ(pages.Page(1)->UpDown->Position(), 30); // the next showing reloads it
    pages.ShowPages();
    EXPECT_EQ(pages.Page(1)->UpDown->Position(), 5);
    EXPECT_EQ(IniText(), "[Settings]\nHotKey=Ctrl+F9\nDrawWidth1=5\n");
}
