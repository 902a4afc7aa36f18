#pragma once

#include "overlay/Draw.h"
#include "platform/IniFile.h"
#include "platform/MessageHandlerScope.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// A drawing window on a settings file and program folder of its own, with every message box answered
// by the test and recorded.
class DrawFrmFixture : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    std::vector<TMessageRequest> Messages;
    // The answer to the next boxes, and what to do with each request before answering (tick a check
    // box, say).
    int Answer = mrYes;
    std::function<void(TMessageRequest&)> OnMessage;
    TMessageHandlerScope Scope{[this](TMessageRequest& request) {
        if (OnMessage) OnMessage(request);
        Messages.push_back(request);
        return Answer;
    }};

    QString IniPath() const { return Dir.path() + "/Tavelin.ini"; }
    QString ProgramDir() const { return Dir.path() + "/prog/"; }

    void SetUp() override { QDir().mkpath(ProgramDir()); }

    void WriteIni(const QByteArray& text) const {
        QFile f(IniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    // A file of that name in the program folder; its content does not matter to the menu.
    QString ProgramFile(const QString& name, const QByteArray& content = "x") const {
        QFile f(ProgramDir() + name);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
        return ProgramDir() + name;
    }
    QString Setting(const QString& key, const QString& section = QStringLiteral("Settings")) const {
        return TIniFile(IniPath()).ReadString(section, key, QStringLiteral("<none>"));
    }

    // A window whose snapshot is `desktop` (grey when none is given) and whose showing does not wait.
    std::unique_ptr<TDrawFrm> MakeForm(const QImage& desktop = QImage()) {
        auto form = std::make_unique<TDrawFrm>(IniPath(), ProgramDir());
        form->Seams.SnapshotDelayMs = 1;
        QImage picture = desktop;
        if (picture.isNull()) {
            picture = QImage(ScreenWidth(), ScreenHeight(), QImage::Format_RGB32);
            picture.fill(QColor(0x80, 0x80, 0x80));
        }
        form->Seams.GrabScreen = [picture] { return picture; };
        return form;
    }
    static int ScreenWidth();
    static int ScreenHeight();

    static QAction* Find(TDrawFrm& form, const QString& name) { return form.findChild<QAction*>(name); }
    // The pixel of an RGB32 image as $00BBGGRR.
    static TColor PixelAt(const QImage& image, int x, int y);
};
