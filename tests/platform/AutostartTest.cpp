#include "platform/Autostart.h"
#include "platform/KnownFolders.h"
#include "support/DesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Autostart, EntryExistsExactlyWhileEnabledAndQuotesThePath) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const QString exe = "/opt/my \"tools\"/bin/Tavelin";
    EXPECT_FALSE(TAutostart::IsEnabled("Tavelin3"));
    ASSERT_TRUE(TAutostart::Enable("Tavelin3", exe, "Tavelin"));
    EXPECT_EQ(TAutostart::EntryPath("Tavelin3"), config.path() + "/autostart/Tavelin3.desktop");
    EXPECT_TRUE(TAutostart::IsEnabled("Tavelin3"));
    EXPECT_EQ(TAutostart::Command("Tavelin3"), exe);
    QFile file(TAutostart::EntryPath("Tavelin3"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("Exec=\"/opt/my \\\\\"tools\\\\\"/bin/Tavelin\"\n")) << text.toStdString();
    ASSERT_TRUE(TAutostart::Disable("Tavelin3"));
    EXPECT_FALSE(TAutostart::IsEnabled("Tavelin3"));
    EXPECT_TRUE(TAutostart::Disable("Tavelin3"));
}

TEST(Autostart, EveryCharacterOfTheFolderReachesTheSessionAsItIs) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    for (const QString exe : {QStringLiteral("/home/u/my app \"q\" $x %y \\z/Tavelin"),
                              QStringLiteral("/opt/100%%/`a`/%f %u/Tavelin")}) {
        ASSERT_TRUE(TAutostart::Enable("Tavelin3", exe, "Tavelin"));
        EXPECT_EQ(ExecArguments(ReadDesktopEntry(TAutostart::EntryPath("Tavelin3")).value("Exec")),
                  QStringList{exe})
            << exe.toStdString();
        EXPECT_EQ(TAutostart::Command("Tavelin3"), exe);
    }
}

TEST(Autostart, AnEntryMarkedHiddenDoesNotStartWithTheSession) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    ASSERT_TRUE(TAutostart::Enable("Tavelin3", "/opt/Tavelin", "Tavelin"));
    struct Case {
        const char* added;
        bool enabled;
    } cases[] = {
        {"Hidden=true\n", false},
        {"Hidden = true\n", false},
        {"Hidden=false\n", true},
        {"[Desktop Action x]\nHidden=true\n", true},
    };
    QFile file(TAutostart::EntryPath("Tavelin3"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray entry = file.readAll();
    file.close();
    for (const Case& c : cases) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(entry + c.added);
        file.close();
        EXPECT_EQ(TAutostart::IsEnabled("Tavelin3"), c.enabled) << c.added;
    }
    // Switching the option on again writes an entry that starts.
    ASSERT_TRUE(TAutostart::Enable("Tavelin3", "/opt/Tavelin", "Tavelin"));
    EXPECT_TRUE(TAutostart::IsEnabled("Tavelin3"));
}

TEST(KnownFolders, PicturesFolderIsEmptyWhenThereIsNone) {
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
    EXPECT_EQ(GetMyPicturesFolder(), "");
    QDir(home.path()).mkpath("Pictures");
    EXPECT_EQ(GetMyPicturesFolder(), home.path() + "/Pictures");
    qputenv("HOME", oldHome);
    EXPECT_TRUE(ProgramFolder().endsWith('/'));
}
