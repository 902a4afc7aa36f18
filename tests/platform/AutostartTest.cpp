#include "platform/Autostart.h"
#include "platform/KnownFolders.h"

#include <QDir>
#include <QFile>
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
