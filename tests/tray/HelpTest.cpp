#include "platform/Help.h"
#include "platform/KnownFolders.h"
#include "platform/MessageHandlerScope.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(Help, OpensTheManualBesideTheProgramAtTheContextsAnchor) {
    QStringList messages;
    TMessageHandlerScope handler([&](TMessageRequest& request) {
        messages << request.Text;
        return int(mrOk);
    });
    QList<QUrl> opened;
    const THelpOpener previous = SetHelpOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });

    const QString name = "HelpTestManual.html";
    const QString path = ProgramFolder() + name;
    QFile::remove(path);
    EXPECT_FALSE(ShowHelp(0, name));
    EXPECT_EQ(messages, QStringList({"The help file " + path + " was not found."}));
    EXPECT_TRUE(opened.isEmpty());

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    messages.clear();
    EXPECT_TRUE(ShowHelp(0, name));
    EXPECT_TRUE(ShowHelp(300, name));
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(path));
    EXPECT_EQ(opened[1].toString(), QUrl::fromLocalFile(path).toString() + "#300");
    EXPECT_TRUE(messages.isEmpty());

    SetHelpOpener([](const QUrl&) { return false; });
    EXPECT_FALSE(ShowHelp(0, name));
    EXPECT_EQ(messages, QStringList({"The help file " + path + " could not be opened."}));

    SetHelpOpener(previous);
    QFile::remove(path);
}
