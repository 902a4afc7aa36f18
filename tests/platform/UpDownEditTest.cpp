#include "platform/UpDownEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>
#include <gtest/gtest.h>

TEST(UpDownText, ConvertsAsTheClassLibrary) {
    const struct {
        const char* Text;
        std::optional<int> Value;
    } cases[] = {
        {"40", 40},
        {"1", 1},
        {" 7", 7},
        {"+5", 5},
        {"-3", -3},
        {"007", 7},
        {"$28", 40},
        {"0x1F", 31},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"7 ", std::nullopt},
        {"4 0", std::nullopt},
        {"abc", std::nullopt},
        {"$", std::nullopt},
        {"-", std::nullopt},
        {"0x", std::nullopt},
        {"1.5", std::nullopt},
        {"99999999999", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TUpDown::TextToInt(QString::fromLatin1(c.Text)), c.Value) << '"' << c.Text << '"';
    // Digits of other scripts are no number here.
    EXPECT_EQ(TUpDown::TextToInt(QString::fromUtf8("\xd9\xa4")), std::nullopt);
}

class UpDownEdit : public ::testing::Test {
protected:
    UpDownEdit() {
        Edit = new QLineEdit(&Form);
        Edit->setObjectName("Edit3");
        Edit->setGeometry(100, 20, 60, 21);
        UpDown = AttachUpDown(Edit, "UpDown3", 1, 40, 5);
    }
    void Key(int qtKey) {
        QKeyEvent event(QEvent::KeyPress, qtKey, Qt::NoModifier);
        QApplication::sendEvent(Edit, &event);
    }
    QWidget Form;
    QLineEdit* Edit;
    TUpDown* UpDown;
};

TEST_F(UpDownEdit, SitsAtTheEditsRightEndAndIsFoundByName) {
    EXPECT_EQ(Form.findChild<TUpDown*>("UpDown3"), UpDown);
    EXPECT_EQ(UpDown->Associate(), Edit);
    EXPECT_EQ(Edit->geometry(), QRect(100, 20, 60 - TUpDown::ButtonWidth, 21));
    EXPECT_EQ(UpDown->geometry(), QRect(160 - TUpDown::ButtonWidth, 20, TUpDown::ButtonWidth, 21));
    EXPECT_EQ(Edit->text(), QStringLiteral("5"));
}

TEST_F(UpDownEdit, AnEditThatGoesLeavesTheUpDownWithoutOne) {
    // Run under UndefinedBehaviorSanitizer: the events of the edit's destruction pass the up-down too.
    Edit->setFocus();
    delete Edit;
    EXPECT_EQ(UpDown->Associate(), nullptr);
    UpDown->SetPosition(7);
    UpDown->Step(1);
    EXPECT_EQ(UpDown->Position(), 8);
}

TEST_F(UpDownEdit, PositionFollowsTheEditOnlyWhileItHoldsAValidNumber) {
    Edit->setText("12");
    EXPECT_EQ(UpDown->Position(), 12);
    for (const char* bad : {"41", "0", "abc", ""}) {
        Edit->setText(bad);
        EXPECT_EQ(UpDown->Position(), 12) << bad;
        EXPECT_EQ(Edit->text(), QString::fromLatin1(bad)) << "the text stays as typed";
    }
    UpDown->SetPosition(99);
    EXPECT_EQ(UpDown->Position(), 40);
    EXPECT_EQ(Edit->text(), QStringLiteral("40"));
}

TEST_F(UpDownEdit, ArrowsStepTheNumberWithinTheRange) {
    int changes = 0;
    QObject::connect(UpDown, &TUpDown::Changed, [&](int) { ++changes; });
    Edit->setText("39");
    UpDown->Step(1);
    EXPECT_EQ(Edit->text(), QStringLiteral("40"));
    UpDown->Step(1);
    EXPECT_EQ(Edit->text(), QStringLiteral("40"));
    EXPECT_EQ(changes, 1);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    EXPECT_EQ(Edit->text(), QStringLiteral("38"));
    // From text that is no number the arrows step from the last position.
    Edit->setText("abc");
    Key(Qt::Key_Up);
    EXPECT_EQ(Edit->text(), QStringLiteral("39"));
    UpDown->SetPosition(1);
    UpDown->Step(-1);
    EXPECT_EQ(UpDown->Position(), 1);
}
