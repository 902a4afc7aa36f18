#include "OptionsFixture.h"

#include "cursors/AniCur.h"
#include "cursors/BuiltInCursors.h"
#include "cursors/CursorTable.h"
#include "model/Layers.h"
#include "pickers/ColorBox.h"
#include "pickers/FontPanel.h"
#include "pickers/StampList.h"
#include "platform/ColorDialog.h"
#include "platform/UpDownEdit.h"
#include "tray/HotKeyEdit.h"
#include "tray/LayerPage.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

QByteArray Le32(int64_t v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((uint64_t(v) >> (8 * i)) & 0xFF);
    return b;
}

QByteArray Chunk(const char* id, const QByteArray& data) {
    return QByteArray(id, 4) + Le32(data.size()) + data;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An animated cursor of two steps, both the shipped left arrow, 10 jiffies each.
QByteArray TwoStepAni() {
    const QByteArray icon = ReadAll(QString(TAVELIN_BINARY_DIR) + "/QzArrowLT.cur");
    QByteArray header;
    for (int64_t v : {36, 2, 2, 32, 32, 0, 0, 10, 1})
        header += Le32(v);
    const QByteArray frames = "fram" + Chunk("icon", icon) + Chunk("icon", icon);
    const QByteArray body = Chunk("anih", header) + Chunk("LIST", frames);
    return "RIFF" + Le32(4 + body.size()) + "ACON" + body;
}

QImage Shown(const QLabel* label) {
    return label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
}

void Leave(QLineEdit* edit) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(edit, &out);
}

} // namespace

// ---- Widths ----

TEST_F(OptionsTest, LeavingAWidthEditKeepsTheLastValidWidth) {
    TOptionsPages& pages = Loaded();
    TLayerPage* page = pages.Page(2);
    page->UpDown->SetPosition(12);
    for (const char* typed : {"0", "41", "abc", "", "-3"}) {
        page->Edit->setText(typed);
        Leave(page->Edit);
        EXPECT_EQ(page->Edit->text(), "12") << typed;
        EXPECT_EQ(page->UpDown->Position(), 12) << typed;
    }
    page->Edit->setText("25");
    Leave(page->Edit);
    EXPECT_EQ(page->UpDown->Position(), 25);
    // The up-down follows a valid text before the edit is left, so OK saves what is shown.
    page->Edit->setText("40");
    pages.SaveSettings();
    EXPECT_EQ(TIniFile(IniFileName).ReadInteger("Settings", "DrawWidth2", 0), 40);
    // The window losing the focus is not leaving the edit.
    page->Edit->setText("abc");
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(page->Edit, &away);
    EXPECT_EQ(page->Edit->text(), "abc");
}

// ---- Colour box ----

TEST_F(OptionsTest, ACancelledCustomPickRewritesTheCustomColoursAsReadAndKeepsTheColour) {
    WriteIni("[Colors]\nColorA=FF0000\nColorC=00FF00\n[Settings]\nDrawColor1=clTeal\n");
    TOptionsPages& pages = Loaded();
    TColorBox* box = pages.Page(1)->ColorBox;
    QStringList given;
    box->RunColorDialog = [&](TColorDialog& d) {
        given = d.CustomColors;
        EXPECT_EQ(d.Color, clBlack); // the custom entry's colour
        d.Color = clAqua;
        d.CustomColors = {"ColorA=111111"};
        return false;
    };
    box->setCurrentIndex(TColorBox::CustomIndex);
    emit box->activated(TColorBox::CustomIndex);
    EXPECT_EQ(given, QStringList({"ColorA=FF0000", "ColorC=00FF00"}));
    EXPECT_EQ(box->Selected(), clTeal);
    const TIniFile ini(IniFileName);
    for (char c = 'A'; c <= 'P'; ++c) {
        const QString key = QStringLiteral("Color") + QChar(c);
        ASSERT_TRUE(ini.ValueExists("Colors", key)) << c;
        EXPECT_EQ(ini.ReadString("Colors", key, "?"), c == 'A' ? "FF0000" : c == 'C' ? "00FF00" : "") << c;
    }
}

TEST_F(OptionsTest, ACustomPickTakesTheColourAndStoresTheDialogsCustomColours) {
    TOptionsPages& pages = Loaded();
    TColorBox* box = pages.Page(3)->ColorBox;
    box->RunColorDialog = [](TColorDialog& d) {
        d.Color = 0x123456;
        d.CustomColors.clear();
        for (char c = 'A'; c <= 'P'; ++c)
            d.CustomColors
                << QStringLiteral("Color%1=%2").arg(QChar(c)).arg(c == 'B' ? "563412" : "FFFFFFFF");
        return true;
    };
    box->setCurrentIndex(TColorBox::CustomIndex);
    emit box->activated(TColorBox::CustomIndex);
    EXPECT_EQ(box->Selected(), 0x123456u);
    EXPECT_EQ(box->ItemColor(TColorBox::CustomIndex), 0x123456u);
    const TIniFile ini(IniFileName);
    EXPECT_EQ(ini.ReadString("Colors", "ColorB", "?"), "563412");
    EXPECT_EQ(ini.ReadString("Colors", "ColorP", "?"), "FFFFFFFF");
    pages.SaveSettings();
    EXPECT_EQ(TIniFile(IniFileName).ReadString("Settings", "DrawColor3", "?"), "$00123456");
    // A listed colour is its entry; another colour is the custom entry's.
    box->SetSelected(clMoneyGreen);
    EXPECT_EQ(box->currentText(), "MoneyGreen");
    box->SetSelected(0x010203);
    EXPECT_EQ(box->currentIndex(), TColorBox::CustomIndex);
    EXPECT_EQ(box->currentText(), "Custom...");
}

// ---- Fonts ----

TEST_F(OptionsTest, FontSizesAreHeldToFourAndOneHundred) {
    TOptionsPages& pages = Loaded();
    struct Case {
        int chosen, kept;
        const char* message;
    } cases[] = {
        {2, 4, "Font size less than minimum.\r\nUsing 4 as font size"},
        {200, 100, "Font size greater than maximum.\r\nUsing 100 as font size"},
        {4, 4, nullptr},
        {100, 100, nullptr},
    };
    for (const Case& c : cases) {
        Texts.clear();
        pages.RunFontDialog = [&](TFontDialog& d) {
            EXPECT_EQ(d.MinFontSize, 4);
            EXPECT_EQ(d.MaxFontSize, 100);
            d.Font.Size = c.chosen;
            d.Font.Name = "Arial";
            return true;
        };
        pages.BtnFontClick(4);
        EXPECT_EQ(pages.Page(4)->PanelFont->Font().Size, c.kept) << c.chosen;
        EXPECT_EQ(pages.Page(4)->PanelFont->Font().Name, "Arial");
        EXPECT_EQ(Texts, c.message ? QStringList{c.message} : QStringList{}) << c.chosen;
    }
    pages.RunFontDialog = [](TFontDialog& d) {
        d.Font.Size = 50;
        return false;
    };
    pages.BtnFontClick(4);
    EXPECT_EQ(pages.Page(4)->PanelFont->Font().Size, 100);
}

TEST_F(OptionsTest, AHugeLayerFontKeepsTheWindowsSizeAndItsSampleInsideThePanel) {
    // The window as shown, every page once on top, each with its layout in force.
    const auto shownSize = [](TOptionsPages& pages) {
        pages.show();
        for (int layer = 1; layer <= LayerCount; ++layer) {
            pages.PageControl1->setCurrentIndex(layer - 1);
            QCoreApplication::processEvents();
            TLayerPage* page = pages.Page(layer);
            EXPECT_TRUE(page->rect().contains(page->PanelFont->geometry())) << layer;
        }
        return pages.size().expandedTo(pages.sizeHint());
    };
    const QSize usual = shownSize(Loaded());
    // A font far above what the font button lets through, as a hand-edited settings file gives it.
    WriteIni("[Settings]\nFont1=\"Times New Roman\";200;clBlack;Bold\nFont2=Arial;1000;clRed\n");
    TOptionsPages& pages = Loaded();
    ASSERT_EQ(pages.Page(2)->PanelFont->Font().Size, 1000);
    EXPECT_EQ(shownSize(pages), usual);
}

// ---- Pointers ----

TEST_F(OptionsTest, PointerPicksLoadTheCursorTableAndThePreview) {
    TOptionsPages& pages = Loaded();
    const QString upper = Dir.filePath("ARROW.CUR");
    QFile::copy(QString(TAVELIN_BINARY_DIR) + "/QzArrowRT.cur", upper);
    QString initialDir;
    pages.OpenDialog1.Runner = [&](TFileOpenDialog& d) {
        initialDir = d.InitialDir;
        d.FileName = upper;
        return true;
    };
    pages.BtnPointerClick(1);
    EXPECT_EQ(initialDir, ProgramFolder());
    EXPECT_EQ(pages.Page(1)->CurrCursor, upper);
    const QImage arrow = TCursorEntry::FromFile(upper)->Preview();
    EXPECT_EQ(TCursorTable::Screen().Preview(1), arrow);
    EXPECT_EQ(Shown(pages.Page(1)->Image), arrow);
    EXPECT_EQ(pages.Page(1)->AniPreview, nullptr);

    // Any other extension leaves the built-in pointer, but the path is kept and saved.
    const QString ico = Dir.filePath("arrow.ICO");
    QFile::copy(upper, ico);
    pages.OpenDialog1.Runner = [&](TFileOpenDialog& d) {
        d.FileName = ico;
        return true;
    };
    pages.BtnPointerClick(1);
    EXPECT_EQ(TCursorTable::Screen().Preview(1), LayerPointerFrame(1).Preview());
    EXPECT_EQ(Shown(pages.Page(1)->Image), LayerPointerFrame(1).Preview());
    pages.SaveSettings();
    EXPECT_EQ(TIniFile(IniFileName).ReadString("Settings", "CurrCursor1", "?"), ico);

    // Cancelling the dialog changes nothing.
    pages.OpenDialog1.Runner = [](TFileOpenDialog&) { return false; };
    pages.BtnPointerClick(1);
    EXPECT_EQ(pages.Page(1)->CurrCursor, ico);
}

TEST_F(OptionsTest, AnAnimatedPointerAnimatesWhileShownAndABrokenOneFallsBack) {
    const QString ani = WriteFile(Dir.filePath("walk.ani"), TwoStepAni());
    const QString broken = WriteFile(Dir.filePath("broken.ani"), "RIFF\x04\0\0\0WAVE");
    WriteIni(("[Settings]\nCurrCursor2=" + ani + "\nCurrCursor3=" + broken + "\n").toUtf8());
    TOptionsPages& pages = Loaded();
    TLayerPage* two = pages.Page(2);
    ASSERT_NE(two->AniPreview, nullptr);
    EXPECT_EQ(two->AniPreview->StepCount(), 2);
    EXPECT_FALSE(two->AniPreview->Animating()); // not before the window shows
    EXPECT_TRUE(TCursorTable::Screen().Entry(2)->Animated());

    TLayerPage* three = pages.Page(3);
    EXPECT_EQ(three->AniPreview, nullptr);
    EXPECT_EQ(Shown(three->Image), LayerPointerFrame(3).Preview());
    EXPECT_EQ(three->CurrCursor, broken);

    pages.ShowPages();
    ASSERT_NE(two->AniPreview, nullptr);
    EXPECT_TRUE(two->AniPreview->Animating());
    EXPECT_FALSE(Shown(two->Image).isNull());
    pages.HidePages();
    EXPECT_FALSE(two->AniPreview->Animating());
    EXPECT_NE(two->AniPreview, nullptr);

    // Picking the animated pointer for another layer starts it at once.
    pages.OpenDialog1.Runner = [&](TFileOpenDialog& d) {
        d.FileName = ani;
        return true;
    };
    pages.BtnPointerClick(4);
    ASSERT_NE(pages.Page(4)->AniPreview, nullptr);
    EXPECT_TRUE(pages.Page(4)->AniPreview->Animating());
    EXPECT_TRUE(Texts.isEmpty());
}

// ---- Stamp list ----

class StampListTest : public OptionsTest {
protected:
    StampListTest() {
        WriteIni("[Settings]\nImage0=\nImage1=\nImage2=\n");
        Loaded();
        List = Pages->Stamps;
        List->OpenPictureDialog1.Runner = [this](TFileOpenDialog& d) {
            if (Picks.isEmpty()) return false;
            d.FileName = Picks.takeFirst();
            return true;
        };
    }
    void Add(const QString& path) {
        Picks << path;
        List->BtnAddClick();
    }
    TStampList* List = nullptr;
    QStringList Picks;
};

TEST_F(StampListTest, AddingAPathTwiceAsksAndReplacingByItsOwnPathDoesNot) {
    const QString a = Picture("a.png", 4, 4);
    Add(a);
    ASSERT_EQ(List->Count(), 1);
    EXPECT_EQ(List->Flag(0), 1);
    EXPECT_EQ(List->SelectedIndex(), 0);
    EXPECT_TRUE(List->BtnRemove->isEnabled());

    Answers = {mrNo};
    Add(Dir.filePath("A.PNG")); // the same path in other letters
    EXPECT_EQ(Texts, QStringList{"Image already loaded. Load another copy ?"});
    EXPECT_EQ(List->Count(), 1);
    Answers = {mrYes};
    Add(a);
    EXPECT_EQ(List->Count(), 2);
    EXPECT_EQ(List->Path(1), a);

    Texts.clear();
    Picks << a;
    List->BtnReplaceClick(); // the selected entry itself holds that path
    EXPECT_EQ(Texts, QStringList{"Image already loaded. Load another copy ?"});
    const QString b = Picture("b.png", 4, 4);
    Texts.clear();
    List->CheckBox1->setChecked(false);
    Picks << b;
    List->BtnReplaceClick();
    EXPECT_TRUE(Texts.isEmpty());
    EXPECT_EQ(List->Path(1), b);
    EXPECT_EQ(List->Flag(1), 0); // the flag stays
}

TEST_F(StampListTest, RemovingSelectsTheFollowingEntryOrTheFirst) {
    const QString a = Picture("a.png", 4, 4), b = Picture("b.png", 4, 4), c = Picture("c.png", 4, 4);
    Add(a);
    Add(b);
    Add(c);
    List->BtnRemoveClick(); // the last of three
    EXPECT_EQ(List->Count(), 2);
    EXPECT_EQ(List->SelectedIndex(), 0);
    Add(c);
    List->lvImages->setCurrentItem(List->lvImages->topLevelItem(1)); // the middle one, as a click selects it
    EXPECT_EQ(List->SelectedIndex(), 1);
    List->BtnRemoveClick();
    ASSERT_EQ(List->Count(), 2);
    EXPECT_EQ(List->Path(List->SelectedIndex()), c);
    List->BtnRemoveClick();
    List->BtnRemoveClick();
    EXPECT_EQ(List->Count(), 0);
    EXPECT_EQ(List->SelectedIndex(), -1);
    EXPECT_FALSE(List->BtnRemove->isEnabled());
    EXPECT_FALSE(List->BtnReplace->isEnabled());
    EXPECT_TRUE(List->PrevImage->pixmap().isNull());
}

TEST_F(StampListTest, TenImagesAtMost) {
    const QString a = Picture("a.png", 4, 4);
    Answers = std::vector<int>(9, mrYes);
    for (int i = 0; i < 10; ++i)
        Add(a);
    EXPECT_EQ(List->Count(), 10);
    EXPECT_FALSE(List->BtnAdd->isEnabled());
    Texts.clear();
    Add(a);
    EXPECT_EQ(Texts, QStringList{"Maximum of 10 images loaded\rReplace or Delete images to continue"});
    EXPECT_EQ(List->Count(), 10);
    List->BtnRemoveClick();
    EXPECT_TRUE(List->BtnAdd->isEnabled());
    // The next showing enables Add only below ten entries, too.
    Answers = {mrYes};
    Add(a);
    Pages->SaveSettings();
    Pages->ShowPages();
    EXPECT_EQ(List->Count(), 10);
    EXPECT_FALSE(List->BtnAdd->isEnabled());
}

TEST_F(StampListTest, PreviewsShrinkOnlyLargerPictures) {
    Add(Picture("small.png", 40, 40));
    EXPECT_EQ(List->PrevImage->pixmap().size(), QSize(40, 40));
    Add(Picture("wide.png", 200, 50));
    EXPECT_EQ(List->PrevImage->pixmap().size(), QSize(77, 19));
    Add(Picture("tall.png", 50, 200));
    EXPECT_EQ(List->PrevImage->pixmap().size(), QSize(17, 70));
    EXPECT_EQ(TStampList::PreviewRect(77, 70), QRect(0, 0, 77, 70));
}

TEST_F(StampListTest, AnUnreadablePictureIsReportedAndRemoved) {
    Add(Picture("good.png", 4, 4));
    const QString bad = WriteFile(Dir.filePath("bad.png"), "not a png");
    Add(bad);
    EXPECT_EQ(Texts, QStringList{"Picture format not supported or invalid image file"});
    EXPECT_EQ(Captions, QStringList{"Tavelin error"});
    EXPECT_EQ(List->Count(), 1);
    EXPECT_EQ(List->SelectedIndex(), -1);
    EXPECT_TRUE(List->PrevImage->pixmap().isNull());
    EXPECT_FALSE(List->BtnReplace->isEnabled());
}

TEST_F(StampListTest, UncheckingTransparentStoresFlagZero) {
    const QString a = Picture("a.png", 4, 4);
    Add(a);
    List->CheckBox1->setChecked(false);
    EXPECT_EQ(List->Flag(0), 0);
    Pages->SaveSettings();
    EXPECT_EQ(TIniFile(IniFileName).ReadString("Settings", "Image0", "?"), a + ";0");
    List->CheckBox1->setChecked(true);
    EXPECT_EQ(List->Flag(0), 1);
}

// ---- Hot keys ----

TEST_F(OptionsTest, HotKeyFieldsTakeKeyPressesInTheShortcutTextForm) {
    TOptionsPages& pages = Loaded();
    THotKeyEdit* field = pages.HotKey2;
    QTest::keyClick(field, Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(field->text(), "Ctrl+Alt+Q");
    QTest::keyClick(field, Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_EQ(field->text(), "Shift+F5");
    // Modifiers alone, Tab, Enter and Esc are no keys of the field; Enter and Esc go on to the window.
    for (Qt::Key key : {Qt::Key_Control, Qt::Key_Tab, Qt::Key_Return, Qt::Key_Escape}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(field, &press);
        EXPECT_EQ(field->text(), "Shift+F5") << key;
        if (key == Qt::Key_Return || key == Qt::Key_Escape) {
            EXPECT_FALSE(press.isAccepted()) << key;
        }
    }
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(field->text(), "");
    EXPECT_TRUE(field->HotKey().IsEmpty());
    QTest::keyClick(field, Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(field->text(), "Shift+Ctrl+Del");
    pages.SaveSettings();
    EXPECT_EQ(TIniFile(IniFileName).ReadString("Settings", "HotKey2", "?"), "Shift+Ctrl+Del");
}
