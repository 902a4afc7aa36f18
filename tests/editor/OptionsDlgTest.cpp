#include "editor/OptionsDlg.h"
#include "pickers/ColorBox.h"
#include "pickers/FontPanel.h"
#include "pickers/StampList.h"
#include "platform/IniFile.h"
#include "platform/MessageHandlerScope.h"
#include "platform/UpDownEdit.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

class OptionsDlg : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    std::vector<TMessageRequest> Messages;
    TMessageHandlerScope Scope{[this](TMessageRequest& request) {
        Messages.push_back(request);
        return int(mrOk);
    }};
    QString IniPath() const { return Dir.path() + "/Framory.ini"; }
    QByteArray FileText() const {
        QFile f(IniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

TEST_F(OptionsDlg, WithoutASettingsFileTheDefaultsShowAndCancelWritesNothing) {
    TOptionsDlg dialog(IniPath(), Dir.path() + "/");
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Framoryor options"));
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(dialog.UpDown1->Position(), 3);
    EXPECT_EQ(dialog.Edit1->text(), QStringLiteral("3"));
    EXPECT_EQ(dialog.ColorBox1->Selected(), clBlack);
    EXPECT_EQ(dialog.PanelFont1->Font().Name, QStringLiteral("Times New Roman"));
    EXPECT_EQ(dialog.PanelFont1->Font().Size, 14);
    EXPECT_EQ(dialog.PanelFont1->Font().Color, clBlack);
    dialog.CancelBtn->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(QFile::exists(IniPath()));
}

TEST_F(OptionsDlg, OkWritesTheKeysInOrderAndAWrongWidthKeepsTheDialogOpen) {
    TOptionsDlg dialog(IniPath(), Dir.path() + "/");
    dialog.RunFontDialog = [](TFontDialog& font) {
        font.Font.Size = 150;
        return true;
    };
    dialog.show();
    QApplication::processEvents();
    dialog.BntFont1->click();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, QStringLiteral("Font size greater than maximum.\r\nUsing 100 as font size"));
    EXPECT_EQ(dialog.PanelFont1->Font().Size, 100);
    dialog.ColorBox1->SetSelected(clRed);
    dialog.Edit1->setText("7");
    dialog.OKBtn->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const QByteArray text = FileText();
    const char* keys[] = {"Left=", "Top=",    "DrawWidth=7", "DrawColor=clRed",
                          "Font=", "Image0=", "Image9=",     "PictureDir="};
    qsizetype at = -1;
    for (const char* key : keys) {
        const qsizetype next = text.indexOf(key);
        EXPECT_GT(next, at) << key;
        at = next;
    }
    EXPECT_TRUE(text.contains(";100;")) << text.constData();

    // 50 is beyond 1 to 40: the message, the last valid width back, and no close and no write.
    Messages.clear();
    QFile::remove(IniPath());
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(dialog.UpDown1->Position(), 3) << "a showing starts from the file";
    dialog.Edit1->setText("50");
    dialog.setResult(0);
    dialog.OKBtn->click();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, QStringLiteral("Invalid drawing width"));
    EXPECT_EQ(dialog.Edit1->text(), QStringLiteral("3"));
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(QFile::exists(IniPath()));
    dialog.OKBtn->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(TIniFile(IniPath()).ReadInteger("AviSettings", "DrawWidth", 0), 3);
}
