#include "platform/ColorDialog.h"
#include "platform/FontDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

TEST(ColorDialog, CustomColoursGoInAndComeBackAsTheSettingsStoreThem) {
    const QStringList stored = {"ColorA=0000FF", "ColorB=FFFFFFFF", "colorc = 123456", "ColorP=00FF00"};
    TColorDialog::ApplyCustomColors(stored);
    EXPECT_EQ(QColorDialog::customColor(0), QColor(0xFF, 0, 0));
    EXPECT_EQ(QColorDialog::customColor(2), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(QColorDialog::customColor(15), QColor(0, 0xFF, 0));
    QColorDialog::setCustomColor(3, QColor(0x10, 0x20, 0x30));
    const QStringList back = TColorDialog::ReadCustomColors(stored);
    ASSERT_EQ(back.size(), 16);
    EXPECT_EQ(back[0], "ColorA=0000FF");
    EXPECT_EQ(back[1], "ColorB=FFFFFFFF");
    EXPECT_EQ(back[2], "ColorC=123456");
    EXPECT_EQ(back[3], "ColorD=302010");
    EXPECT_EQ(back[4], "ColorE=FFFFFFFF");
    EXPECT_EQ(back[15], "ColorP=00FF00");
}

TEST(FontDialog, OffersColourAndUnderlineAndHandsBackWhatIsTyped) {
    TFont font;
    font.Name = "Liberation Serif";
    font.Size = 14;
    font.Style = fsBold;
    font.Color = clNavy;
    TFontDialogForm form(font, 4, 100);
    auto* size = form.findChild<QComboBox*>("Size");
    EXPECT_EQ(size->itemText(0), "4");
    EXPECT_EQ(size->itemText(size->count() - 1), "100");
    EXPECT_EQ(form.ChosenFont(), font);

    // Typed as a user types it: a size list that completed "2" to "20" would hide the too-small case.
    form.show();
    QApplication::setActiveWindow(&form);
    size->setFocus();
    size->lineEdit()->selectAll();
    QTest::keyClicks(size->lineEdit(), "2");
    EXPECT_EQ(size->currentText(), "2");
    form.findChild<QCheckBox*>("Underline")->setChecked(true);
    form.findChild<QCheckBox*>("Bold")->setChecked(false);
    auto* colors = form.findChild<QComboBox*>("Color");
    const int red = colors->findData(clRed);
    colors->setCurrentIndex(red);
    emit colors->activated(red);
    const TFont chosen = form.ChosenFont();
    EXPECT_EQ(chosen.Size, 2);
    EXPECT_EQ(chosen.Style, fsUnderline);
    EXPECT_EQ(chosen.Color, clRed);
    EXPECT_EQ(chosen.Name, "Liberation Serif");
}
