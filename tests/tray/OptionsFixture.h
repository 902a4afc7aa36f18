#pragma once

#include "cursors/CurImg.h"
#include "platform/IniFile.h"
#include "platform/KnownFolders.h"
#include "platform/MessageHandlerScope.h"
#include "settings/IniFileName.h"
#include "tray/OptionsPages.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// The options pages over a settings file of their own, with every message box answered by the test.
class OptionsTest : public ::testing::Test {
protected:
    OptionsTest()
        : Messages([this](TMessageRequest& r) {
              Texts << r.Text;
              Captions << r.Caption;
              return Answers.empty() ? int(mrOk) : TakeAnswer();
          }) {
        RegisterCursorFormat();
        SavedIni = IniFileName;
        IniFileName = Dir.filePath("Tavelin.ini");
    }
    ~OptionsTest() override {
        Pages.reset();
        IniFileName = SavedIni;
        for (const QString& f : ProgramFiles)
            QFile::remove(f);
    }

    QString WriteFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write(bytes);
        return path;
    }
    QString WriteIni(const QByteArray& text) { return WriteFile(IniFileName, text); }
    QString IniText() const {
        QFile f(IniFileName);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QString Picture(const QString& name, int w, int h) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(Qt::red);
        const QString path = Dir.filePath(name);
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }
    // A file in the program's own folder, named for this process so that parallel tests never share it;
    // removed with the fixture.
    QString ProgramFile(const QString& stem, const QString& ext) {
        const QString name =
            QStringLiteral("%1-%2%3").arg(stem).arg(QCoreApplication::applicationPid()).arg(ext);
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::blue);
        const QString path = ProgramFolder() + name;
        EXPECT_TRUE(image.save(path, "PNG"));
        ProgramFiles << path;
        return name;
    }

    TOptionsPages& Make() {
        Pages = std::make_unique<TOptionsPages>();
        return *Pages;
    }
    TOptionsPages& Loaded() {
        Make().LoadSettings();
        return *Pages;
    }
    int TakeAnswer() {
        const int a = Answers.front();
        Answers.erase(Answers.begin());
        return a;
    }

    QTemporaryDir Dir;
    QStringList Texts;
    QStringList Captions;
    std::vector<int> Answers;
    std::unique_ptr<TOptionsPages> Pages;

private:
    TMessageHandlerScope Messages;
    QString SavedIni;
    QStringList ProgramFiles;
};
