#include "settings/IniFileName.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<QString> value) : Name(name) {
        if (qEnvironmentVariableIsSet(name)) Old = qEnvironmentVariable(name);
        if (value)
            qputenv(name, value->toLocal8Bit());
        else
            qunsetenv(name);
    }
    ~ScopedEnv() {
        if (Old)
            qputenv(Name, Old->toLocal8Bit());
        else
            qunsetenv(Name);
    }

private:
    const char* Name;
    std::optional<QString> Old;
};

mode_t ModeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

} // namespace

TEST(SettingsFilePath, ComesFromTheConfigFolderWithExactlyOneDelimiter) {
    QTemporaryDir dir;
    for (const QString& config : {dir.path(), dir.path() + "/", dir.path() + "//"}) {
        ScopedEnv xdg("XDG_CONFIG_HOME", config);
        EXPECT_EQ(SettingsFilePath("/usr/lib/tavelin/Tavelin"), dir.path() + "/Quorvex/Tavelin.ini")
            << config.toStdString();
    }
    EXPECT_TRUE(QFileInfo(dir.path() + "/Quorvex").isDir());
}

TEST(SettingsFilePath, IsNamedAfterTheExecutable) {
    QTemporaryDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.path());
    const QString folder = dir.path() + "/Quorvex/";
    struct Case {
        const char* executable;
        const char* ini;
    } cases[] = {
        {"/opt/t/Tavelin", "Tavelin.ini"},
        {"/opt/t/Framory", "Framory.ini"},
        {"/opt/t/Other.exe", "Other.ini"},
        {"/opt/t/FRAMORY.EXE", "FRAMORY.ini"},
        {"/opt/t/my.tool.exe", "my.tool.ini"},
        {"/opt/t/my.tool", "my.tool.ini"}, // a dot in a Linux name is part of the name
        {"/opt/t/Tavelin-3.0", "Tavelin-3.0.ini"},
        {"relative/Tavelin", "Tavelin.ini"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SettingsFilePath(c.executable), folder + c.ini) << c.executable;
}

TEST(SettingsFilePath, CreatesTheMissingFoldersPrivateToTheUser) {
    QTemporaryDir dir;
    const QString config = dir.path() + "/a/b/config";
    ScopedEnv xdg("XDG_CONFIG_HOME", config);
    EXPECT_EQ(SettingsFilePath("/x/Tavelin"), config + "/Quorvex/Tavelin.ini");
    EXPECT_TRUE(QFileInfo(config + "/Quorvex").isDir());
    EXPECT_EQ(ModeOf(dir.path() + "/a"), 0700u);
    EXPECT_EQ(ModeOf(config + "/Quorvex"), 0700u);
    EXPECT_FALSE(QFileInfo(config + "/Quorvex/Tavelin.ini").exists()) << "only the folder is made";
}

TEST(SettingsFilePath, WithoutAnAbsoluteXdgConfigHomeUsesDotConfigInHome) {
    QTemporaryDir home;
    ScopedEnv homeEnv("HOME", home.path());
    for (const std::optional<QString>& xdg :
         {std::optional<QString>(), std::optional<QString>(""), std::optional<QString>("relative/config")}) {
        ScopedEnv xdgEnv("XDG_CONFIG_HOME", xdg);
        EXPECT_EQ(SettingsFilePath("/x/Framory"), home.path() + "/.config/Quorvex/Framory.ini");
    }
    EXPECT_TRUE(QFileInfo(home.path() + "/.config/Quorvex").isDir());
    EXPECT_FALSE(QDir(home.path()).exists("relative"));
}

TEST(SettingsFilePath, AFolderThatCannotBeMadeIsNotReported) {
    QTemporaryDir dir;
    QFile blocker(dir.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.path() + "/file");
    EXPECT_EQ(SettingsFilePath("/x/Tavelin"), dir.path() + "/file/Quorvex/Tavelin.ini");
}

TEST(InitIniFileName, IsComputedOnceFromTheRunningExecutable) {
    QTemporaryDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.path());
    const QString saved = IniFileName;
    IniFileName.clear();
    const QString own =
        dir.path() + "/Quorvex/" + QFileInfo(QCoreApplication::applicationFilePath()).fileName() + ".ini";
    InitIniFileName();
    EXPECT_EQ(IniFileName, own);
    InitIniFileName("/x/Other");
    EXPECT_EQ(IniFileName, own);
    IniFileName.clear();
    InitIniFileName("/x/Other");
    EXPECT_EQ(IniFileName, dir.path() + "/Quorvex/Other.ini");
    IniFileName = saved;
}
