#include "platform/Help.h"
#include "platform/MessageHandlerScope.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <vector>

TEST(HelpKey, F1OpensTheManualAtTheContextNearestTheFocusedControl) {
    QTemporaryDir dir;
    const QString manual = dir.filePath("Tavelin.html");
    QFile(manual).open(QIODevice::WriteOnly);
    std::vector<QUrl> opened;
    const THelpOpener previous = SetHelpOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    int messages = 0;
    TMessageHandlerScope scope([&](TMessageRequest&) {
        ++messages;
        return int(mrOk);
    });
    QWidget options;
    SetHelpContext(&options, 300);
    auto* inOptions = new QLineEdit(&options);
    auto* withItsOwn = new QLineEdit(&options);
    SetHelpContext(withItsOwn, 2600);
    QWidget plain;
    auto* inPlain = new QLineEdit(&plain);
    {
        THelpKey key(manual);
        QTest::keyClick(inOptions, Qt::Key_F1);
        QTest::keyClick(withItsOwn, Qt::Key_F1);
        QTest::keyClick(inPlain, Qt::Key_F1);
        // F1 with a modifier is some other key.
        QTest::keyClick(inOptions, Qt::Key_F1, Qt::ControlModifier);
        ASSERT_EQ(opened.size(), 2u);
        EXPECT_EQ(opened[0].toLocalFile(), manual);
        EXPECT_EQ(opened[0].fragment(), "300");
        EXPECT_EQ(opened[1].fragment(), "2600");
    }
    // Without the key object, F1 is an ordinary key.
    QTest::keyClick(inOptions, Qt::Key_F1);
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_EQ(messages, 0);
    SetHelpOpener(previous);
}
