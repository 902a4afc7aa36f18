#pragma once

#include "editor/FrmMain.h"
#include "editor/PaintBox.h"
#include "platform/IniFile.h"
#include "platform/MessageHandlerScope.h"
#include "support/SolidRecording.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// A main window on a settings file of its own, with every message box answered by the test and
// recorded. The recordings are made once for all tests.
class FrmMainFixture : public ::testing::Test {
protected:
    static inline std::unique_ptr<QTemporaryDir> Files;

    static void SetUpTestSuite() {
        if (Files) return;
        Files = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(WriteSolidRecording(Recording(30), QSize(64, 48), 10, 30));
        ASSERT_TRUE(WriteSolidRecording(Recording(40), QSize(64, 48), 10, 40));
        ASSERT_TRUE(WriteSolidRecording(Recording(20), QSize(64, 48), 10, 20));
        ASSERT_TRUE(WriteSolidRecording(Recording(5), QSize(640, 480), 10, 5));
        ASSERT_TRUE(WriteSolidRecording(Recording(0), QSize(64, 48), 10, 0));
    }
    // A recording of count solid-colour frames (64 x 48, 5 frames at 640 x 480) at 10 frames a second.
    static QString Recording(int count) { return Files->filePath(QStringLiteral("rec%1.avi").arg(count)); }

    QTemporaryDir Dir;
    std::vector<TMessageRequest> Messages;
    int Answer = mrOk;
    TMessageHandlerScope Scope{[this](TMessageRequest& request) {
        Messages.push_back(request);
        return Answer;
    }};

    QString IniPath() const { return Dir.path() + "/Framory.ini"; }
    void WriteIni(const QByteArray& text) const {
        QFile f(IniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QString Setting(const QString& key) const {
        return TIniFile(IniPath()).ReadString(QStringLiteral("AviSettings"), key, QStringLiteral("<none>"));
    }

    std::unique_ptr<TFrmMain> MakeForm(const QStringList& arguments = {}) {
        return std::make_unique<TFrmMain>(IniPath(), Dir.path() + "/", arguments);
    }
    std::unique_ptr<TFrmMain> OpenForm(const QString& file) {
        auto form = MakeForm();
        Open(*form, file);
        return form;
    }
    static void Open(TFrmMain& form, const QString& file) {
        form.OpenDialog.FileName = file;
        form.FileOpen1Accept();
        form.UpdateActions();
    }
    QStringList MessageTexts() const {
        QStringList texts;
        for (const TMessageRequest& m : Messages)
            texts << m.Text;
        return texts;
    }
    static bool Enabled(const TFrmMain& form, const char* action) {
        return form.Action(QString::fromLatin1(action))->isEnabled();
    }
    // The colour at the middle of the current frame in the frame view.
    static QRgb ViewCentre(TFrmMain& form) {
        const QImage& frame = form.PageBitmap(form.GetPageSlot());
        const QPoint centre(frame.width() / 2, frame.height() / 2);
        return form.RenderView(QRect(centre, QSize(1, 1))).pixel(0, 0);
    }
};
