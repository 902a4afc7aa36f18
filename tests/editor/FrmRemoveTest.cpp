#include "editor/FrmRemove.h"
#include "platform/MessageHandlerScope.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

struct TRemoveCase {
    const char* From;
    const char* To;
    const char* Message; // empty: the dialog closes with OK
    const char* Focus;   // the field that has the focus afterwards
};

} // namespace

// The OK button's checks as the user meets them: the message box, the field that gets the focus, and
// whether the dialog closes.
TEST(FrmRemove, OkClosesOnlyForARangeThatLeavesAFrame) {
    const TRemoveCase cases[] = {
        {"3", "5", "", "Edit1"},
        {"3", "2", "End frame is less than start frame", "Edit1"},
        {"1", "10", "You cannot remove all frames from the file.\rPlease, leave at least one frame.",
         "Edit1"},
        {"2", "11", "Invalid start frame number (must be between 1 and 10)", "Edit2"},
        {"0", "4", "Invalid start frame number (must be between 1 and 10)", "Edit1"},
        {"2", "x", "Invalid value", "Edit1"},
    };
    for (const TRemoveCase& c : cases) {
        SCOPED_TRACE(std::string(c.From) + " .. " + c.To);
        QStringList shown;
        TMessageHandlerScope messages([&](TMessageRequest& r) {
            shown << r.Text;
            return int(mrOk);
        });
        TFrmRemove dialog;
        dialog.SetFrameCount(10);
        dialog.Edit1->setText(c.From);
        dialog.Edit2->setText(c.To);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        dialog.Edit1->setFocus();
        dialog.BitBtn1->click();
        if (*c.Message) {
            EXPECT_EQ(shown, QStringList{c.Message});
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(),
                      c.Focus);
        } else {
            EXPECT_TRUE(shown.isEmpty());
            EXPECT_FALSE(dialog.isVisible());
            EXPECT_EQ(dialog.result(), int(mrOk));
        }
    }
}

TEST(FrmRemove, EmptyFieldsReadAsOne) {
    TMessageHandlerScope messages([](TMessageRequest&) { return int(mrOk); });
    TFrmRemove dialog;
    dialog.SetFrameCount(5);
    dialog.show();
    dialog.BitBtn1->click();
    EXPECT_EQ(dialog.Edit1->text(), "1");
    EXPECT_EQ(dialog.Edit2->text(), "1");
    EXPECT_EQ(dialog.result(), int(mrOk));
}
