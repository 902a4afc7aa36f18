#include "dialogs/About.h"
#include "dialogs/FileOpenDialog.h"
#include "dialogs/PenWidth.h"
#include "platform/FileDialogIcons.h"
#include "platform/MainForm.h"
#include "platform/MessageHandlerScope.h"
#include "platform/ModalDialog.h"
#include "platform/UpDownEdit.h"
#include "platform/VersionInfo.h"
#include "support/DesktopSession.h"
#include "tray/CaptureFileDialog.h"

#include "VersionData.h"

#include <QApplication>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

struct TCapture {
    TCapture()
        : Scope([this](TMessageRequest& r) {
              Texts << r.Text;
              Types.push_back(r.Type);
              Parents.push_back(r.Parent);
              return int(mrOk);
          }) {}
    QStringList Texts;
    std::vector<TMsgDlgType> Types;
    std::vector<QWidget*> Parents;
    TMessageHandlerScope Scope;
};

// The caller's side of the width command: the current width goes in, the dialog opens.
void Prepare(TWidthDlg& dlg, int currentWidth) {
    dlg.Edit1->setText(QString::number(currentWidth));
    dlg.UpDown1->SetPosition(currentWidth);
    dlg.show();
    dlg.BitBtn1->setFocus();
}

} // namespace

TEST(WidthDlg, IsBuiltAsDesigned) {
    TWidthDlg dlg;
    EXPECT_EQ(dlg.objectName(), QStringLiteral("WidthDlg"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Drawing width"));
    EXPECT_EQ(dlg.size(), QSize(200, 100));
    EXPECT_EQ(dlg.findChild<QLabel*>("Label1")->text(), QStringLiteral("New width:"));
    EXPECT_EQ(dlg.findChild<QLineEdit*>("Edit1")->text(), QStringLiteral("1"));
    auto* upDown = dlg.findChild<TUpDown*>("UpDown1");
    ASSERT_NE(upDown, nullptr);
    EXPECT_EQ(upDown->Associate(), dlg.Edit1);
    EXPECT_EQ(upDown->Min(), 1);
    EXPECT_EQ(upDown->Max(), 40);
    EXPECT_EQ(upDown->Position(), 1);
    EXPECT_EQ(dlg.findChild<QPushButton*>("BitBtn1")->text(), QStringLiteral("OK"));
    EXPECT_EQ(dlg.findChild<QPushButton*>("BitBtn3")->text(), QStringLiteral("Cancel"));
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowCloseButtonHint);
}

TEST(WidthDlg, AcceptsWholeNumbersFromOneToForty) {
    for (const char* text : {"40", "1", "17"}) {
        TCapture capture;
        TWidthDlg dlg;
        Prepare(dlg, 5);
        dlg.Edit1->setText(text);
        dlg.BitBtn1->click();
        EXPECT_TRUE(capture.Texts.isEmpty()) << text;
        EXPECT_FALSE(dlg.isVisible()) << text;
        EXPECT_EQ(dlg.result(), mrOk) << text;
        EXPECT_EQ(dlg.UpDown1->Position(), QString(text).toInt()) << text;
    }
}

TEST(WidthDlg, RejectsAnythingElseAndStaysOpenWithTheFocusInTheEdit) {
    for (const char* text : {"41", "0", "abc", "", "-1", "4 0", "2.5"}) {
        TCapture capture;
        TWidthDlg dlg;
        Prepare(dlg, 5);
        dlg.Edit1->setText(text);
        dlg.BitBtn1->click();
        EXPECT_EQ(capture.Texts, QStringList{QStringLiteral("Invalid drawing width")}) << text;
        ASSERT_EQ(capture.Types.size(), 1u);
        EXPECT_EQ(capture.Types[0], mtError);
        EXPECT_EQ(capture.Parents[0], &dlg) << "the message stands in front of the dialog";
        EXPECT_TRUE(dlg.isVisible()) << text;
        EXPECT_EQ(dlg.Edit1->text(), QString::fromLatin1(text)) << "the entered text stays";
        EXPECT_EQ(dlg.focusWidget(), dlg.Edit1) << text;
        EXPECT_EQ(dlg.UpDown1->Position(), 5) << "the caller's width stands";
    }
}

TEST(WidthDlg, CancelClosesWithoutAWordAndTheCallerKeepsItsWidth) {
    TCapture capture;
    TWidthDlg dlg;
    Prepare(dlg, 7);
    dlg.Edit1->setText("99");
    dlg.BitBtn3->click();
    EXPECT_TRUE(capture.Texts.isEmpty());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), mrCancel);
    EXPECT_EQ(dlg.UpDown1->Position(), 7);
}

TEST(WidthDlg, RunsModallyInFrontOfTheWindowThatAsks) {
    TCapture capture;
    QWidget drawing; // stands for the full-screen drawing window
    drawing.show();
    TWidthDlg dlg; // made once at start-up, without a parent
    dlg.Edit1->setText("3");
    dlg.UpDown1->SetPosition(3);
    QWindow* transientParent = nullptr;
    QTimer::singleShot(0, [&] {
        transientParent = dlg.windowHandle() ? dlg.windowHandle()->transientParent() : nullptr;
        dlg.Edit1->setText("41");
        dlg.BitBtn1->click(); // refused: the loop goes on
        dlg.Edit1->setText("12");
        dlg.BitBtn1->click();
    });
    EXPECT_EQ(ExecModalOver(&dlg, &drawing), mrOk);
    EXPECT_EQ(transientParent, drawing.windowHandle());
    EXPECT_EQ(capture.Texts, QStringList{QStringLiteral("Invalid drawing width")});
    EXPECT_EQ(dlg.UpDown1->Position(), 12);
}

class AboutBox : public ::testing::Test {
protected:
    AboutBox() {
        MainWindow.setWindowTitle("Tavelin options");
        SetMainForm(&MainWindow);
    }
    ~AboutBox() override {
        SetMainForm(nullptr);
        SetApplicationVersionTable(std::nullopt);
    }
    static QString Text(const TAboutBox& box, const char* name) {
        const QLabel* label = box.findChild<QLabel*>(name);
        return label ? label->text() : QStringLiteral("<missing>");
    }
    QWidget MainWindow; // hidden, as Tavelin's options window is
};

TEST_F(AboutBox, ShowsTheVersionData) {
    SetApplicationVersionTable(TVersionTable{
        {"FileDescription", "Tavelin screen annotation and capture"},
        {"FileVersion", "3.0.0.12"},
        {"LegalCopyright", "Copyright (C) 2026 Quorvex"},
        {"LegalTrademarks", "Tavelin is a trademark"},
        {"Author", "A. Writer"},
        {"PubDate", "May 2026"},
    });
    TAboutBox box(&MainWindow);
    EXPECT_EQ(box.objectName(), QStringLiteral("AboutBox"));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About Tavelin options"));
    EXPECT_EQ(Text(box, "ProductName"), QStringLiteral("Tavelin screen annotation and capture"));
    EXPECT_EQ(Text(box, "Version"), QStringLiteral("Version 3.0.0"));
    EXPECT_EQ(Text(box, "Copyright"), QStringLiteral("Copyright (C) 2026 Quorvex"));
    // Looked up as "LegalTradeMarks": the case of the key does not matter.
    EXPECT_EQ(Text(box, "TradeMarks"), QStringLiteral("Tavelin is a trademark"));
    EXPECT_EQ(Text(box, "Label2"), QStringLiteral("A. Writer"));
    EXPECT_EQ(Text(box, "Label1"), QStringLiteral(TAVELIN_PUBLICATION_CREDIT_TEXT));
    EXPECT_EQ(Text(box, "Label3"), QStringLiteral("May 2026"));
    EXPECT_EQ(box.findChild<QPushButton*>("Button1")->text(), QStringLiteral("OK"));
}

TEST_F(AboutBox, ShortVersionShownWholeAndMissingKeysEmpty) {
    SetApplicationVersionTable(TVersionTable{{"FileVersion", "3.1"}, {"FileDescription", "Tavelin"}});
    {
        TAboutBox box(&MainWindow);
        EXPECT_EQ(Text(box, "Version"), QStringLiteral("Version 3.1"));
        EXPECT_EQ(Text(box, "ProductName"), QStringLiteral("Tavelin"));
        for (const char* name : {"Copyright", "TradeMarks", "Label2", "Label3"})
            EXPECT_EQ(Text(box, name), QString()) << name;
    }
    // No version data at all: every filled label empty, the version label "Version " alone.
    SetApplicationVersionTable(TVersionTable{});
    TAboutBox box(&MainWindow);
    EXPECT_EQ(Text(box, "Version"), QStringLiteral("Version "));
    for (const char* name : {"ProductName", "Copyright", "TradeMarks", "Label2", "Label3"})
        EXPECT_EQ(Text(box, name), QString()) << name;
}

TEST_F(AboutBox, HasTheDesignedFormAndStaysInFrontOfItsHiddenOwner) {
    TAboutBox box(&MainWindow);
    EXPECT_EQ(box.size(), QSize(338, 250));
    EXPECT_EQ(box.property("HelpContext").toInt(), 2600);
    EXPECT_EQ(box.font().family(), QStringLiteral("Arial"));
    const QLabel* icon = box.findChild<QLabel*>("ProgramIcon");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->size(), QSize(33, 33));
    EXPECT_EQ(icon->x(), (338 - 33) / 2);
    EXPECT_EQ(box.findChild<QFrame*>("Panel1")->geometry(), QRect(0, 250 - 57, 338, 57));
    box.show();
    ASSERT_NE(box.windowHandle(), nullptr);
    EXPECT_FALSE(MainWindow.isVisible());
    EXPECT_EQ(box.windowHandle()->transientParent(), MainWindow.windowHandle());
}

TEST_F(AboutBox, FramorysBoxHasNoPublicationLines) {
    SetApplicationVersionTable(
        TVersionTable{{"FileVersion", "3.0.0.1"}, {"PubDate", "May 2026"}, {"Author", "A"}});
    QWidget editor;
    editor.setWindowTitle("Framory - clip.avi");
    SetMainForm(&editor);
    TAboutBox box(&editor, TProgram::Framory);
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About Framory - clip.avi"));
    EXPECT_EQ(box.size(), QSize(338, 208));
    EXPECT_EQ(box.findChild<QLabel*>("Label1"), nullptr);
    EXPECT_EQ(box.findChild<QLabel*>("Label3"), nullptr);
    EXPECT_EQ(box.findChild<QFrame*>("Panel1")->y(), 151);
    EXPECT_EQ(Text(box, "Label2"), QStringLiteral("A"));
    SetMainForm(&MainWindow);
}

TEST(VersionInfo, ReadsTheKeysInTheirOrderFromTheProgramsTable) {
    SetApplicationVersionTable(TVersionTable{
        {"PubDate", "2026"}, {"Unknown", "x"}, {"companyname", "Quorvex"}, {"FileVersion", "3.0.0.1"}});
    QStringList lines{"kept"};
    TAboutBox::GetVersionInfo(lines);
    EXPECT_EQ(lines, (QStringList{"kept", "CompanyName=Quorvex", "FileVersion=3.0.0.1", "PubDate=2026"}));
    SetApplicationVersionTable(std::nullopt);

    // The test executable is neither program, so it holds no version data of its own.
    lines.clear();
    TAboutBox::GetVersionInfo(lines);
    EXPECT_TRUE(lines.isEmpty());

    const TVersionTable tavelin = ProgramVersionTable(TProgram::Tavelin);
    const TVersionTable framory = ProgramVersionTable(TProgram::Framory);
    EXPECT_EQ(VersionValue(tavelin, "FileVersion"), QStringLiteral(TAVELIN_VERSION_TEXT));
    EXPECT_EQ(VersionValue(framory, "FileVersion"), QStringLiteral(TAVELIN_VERSION_TEXT));
    EXPECT_EQ(VersionValue(tavelin, "InternalName"), QStringLiteral("Tavelin"));
    EXPECT_EQ(VersionValue(framory, "InternalName"), QStringLiteral("Framory"));
    EXPECT_NE(VersionValue(tavelin, "FileDescription"), VersionValue(framory, "FileDescription"));
    EXPECT_EQ(VersionValue(tavelin, "Comments"), QString());
    for (const TVersionValue& v : tavelin) {
        EXPECT_TRUE(VersionKeys().contains(v.Key)) << v.Key.toStdString();
        EXPECT_FALSE(v.Value.isEmpty()) << v.Key.toStdString();
    }
}

TEST(FileDialogs, CaptureAndPictureDialogsDecideIconsByNamesAlone) {
    // Whether the file dialog that comes up carries the name-only provider; it is cancelled.
    const auto nameOnly = [](const std::function<void()>& open) {
        bool found = false;
        QTimer::singleShot(0, [&found] {
            QFileDialog* dialog = nullptr;
            WaitUntil(
                [&] { return (dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())); });
            if (!dialog) return;
            found = dynamic_cast<const TNameOnlyIconProvider*>(dialog->iconProvider()) != nullptr;
            dialog->reject();
        });
        open();
        return found;
    };
    TCaptureFileDialog capture;
    EXPECT_TRUE(nameOnly([&] { EXPECT_FALSE(capture.Execute()); }));
    TFileOpenDialog picture;
    picture.Preview = true;
    EXPECT_TRUE(nameOnly([&] { EXPECT_FALSE(picture.Execute(nullptr)); }));
}
