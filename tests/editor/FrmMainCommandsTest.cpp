#include "FrmMainFixture.h"

#include "platform/ShortCutDispatcher.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolBar>

namespace {

// The names of the actions of a menu or tool bar in order, "-" for a separator.
QStringList Names(const QList<QAction*>& actions) {
    QStringList names;
    for (const QAction* action : actions)
        names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    return names;
}

// Whether the items of `part` appear in `whole` in the same order (others may stand between them).
bool InOrder(const QStringList& part, const QStringList& whole) {
    qsizetype at = 0;
    for (const QString& name : part) {
        at = whole.indexOf(name, at);
        if (at < 0) return false;
        ++at;
    }
    return true;
}

} // namespace

// Each command's caption, the shortcut text its menu item shows, and its short and long hint.
TEST_F(FrmMainFixture, CommandsCarryTheirCaptionsShortcutsAndHints) {
    auto form = MakeForm();
    struct Case {
        const char *Name, *Caption, *ShortCut, *ShortHint, *LongHint;
    } cases[] = {
        {"FileOpen1", "&Open...", "Ctrl+O", "Open", "Opens an existing file"},
        {"FileClose1", "Close", "Ctrl+F4", "", ""},
        {"FileExit1", "E&xit", "", "Exit", "Quits the application"},
        {"FirstFrame", "First frame", "Ctrl+PgUp", "First frame", "Go to first frame"},
        {"PrevPage", "Prev Page", "PgUp", "Previous Page", "Previous Page"},
        {"PreviousFrame", "Previous frame", "Up", "Previous frame", "Go to previous frame"},
        {"NextFrame", "Next frame", "Down", "Next frame", "Go to next frame"},
        {"NextPage", "Next Page", "PgDn", "Next Page", "Next Page"},
        {"LastFrame", "Last frame", "Ctrl+PgDn", "Last frame", "Go to last frame"},
        {"SelectFrame", "Frame...", "", "Selected frame", "Go to selected frame"},
        {"ZoomIn", "Zoom in", "Ctrl+Num +", "Zoom in", "Zoom into image"},
        {"ZoomOut", "Zoom out", "Ctrl+Num -", "Zoom out", "Zoom out of image"},
        {"Play", "Play", "", "Play animation", "Play animation"},
        {"StopPlay", "StopPlay", "", "Stop playing", "Stop playing animation"},
        {"Thumbnails", "Hide thumbnails", "", "Hide thumbnails", "Hide thumbnails"},
        {"Contents1", "&Contents", "", "", ""},
        {"About1", "&About...", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const QAction* action = form->Action(QString::fromLatin1(c.Name));
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(ActionCaption(action), QString::fromLatin1(c.Caption));
        EXPECT_EQ(ShortCutToText(ActionShortCut(action)), QString::fromLatin1(c.ShortCut));
        if (*c.ShortCut)
            EXPECT_EQ(action->text(),
                      QString::fromLatin1(c.Caption) + "\t" + QString::fromLatin1(c.ShortCut));
        if (*c.ShortHint) {
            EXPECT_EQ(action->toolTip(), QString::fromLatin1(c.ShortHint));
            EXPECT_EQ(action->statusTip(), QString::fromLatin1(c.LongHint));
        }
    }
    EXPECT_TRUE(form->Action("Thumbnails")->isChecked());
}

// The menus and the tool bar hold their commands in their order.
TEST_F(FrmMainFixture, MenusAndToolBarHoldTheirCommandsInOrder) {
    auto form = MakeForm();
    EXPECT_EQ(form->FileMenu->title(), "&File");
    EXPECT_EQ(Names(form->FileMenu->actions()),
              QStringList({"FileOpen1", "FileClose1", "FileSave1", "FileSaveAs1", "-", "FileExit1"}));
    EXPECT_EQ(form->EditMenu->title(), "Edit");
    EXPECT_TRUE(form->EditMenu->menuAction()->isVisible());
    EXPECT_EQ(Names(form->EditMenu->actions()).mid(0, 6),
              QStringList({"InsertFrame", "DeleteFrame", "Duplicateframe1", "Removeframes1", "-",
                           "Drawingoptions1"}));
    EXPECT_EQ(form->ViewMenu->title(), "View");
    EXPECT_EQ(Names(form->ViewMenu->actions()),
              QStringList({"FirstFrame", "PrevPage", "PreviousFrame", "NextFrame", "NextPage", "LastFrame",
                           "SelectFrame", "-", "ZoomIn", "ZoomOut", "-", "Thumbnails"}));
    EXPECT_EQ(form->HelpMenu->title(), "&Help");
    EXPECT_EQ(Names(form->HelpMenu->actions()), QStringList({"Contents1", "About1"}));
    EXPECT_EQ(
        Names(form->ToolBar1->actions()),
        QStringList({"FileOpen1",   "FileSave1",   "-",         "FirstFrame", "PrevPage",  "PreviousFrame",
                     "StopPlay",    "Play",        "NextFrame", "NextPage",   "LastFrame", "-",
                     "InsertFrame", "DeleteFrame", "-",         "ZoomIn",     "ZoomOut",   "-",
                     "Thumbnails",  "-",           "FileExit1"}));
}

// Keys reach their commands by key code, the keypad's plus and minus with Ctrl included, wherever
// the keyboard is in the window.
TEST_F(FrmMainFixture, KeysReachTheirCommands) {
    auto form = OpenForm(Recording(30));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->Edit4->setFocus();
    auto& edits = form->Edits();
    QTest::keyClick(form->Edit4, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(edits.CurFrame, 29);
    QTest::keyClick(form->Edit4, Qt::Key_Up);
    EXPECT_EQ(edits.CurFrame, 28);
    QTest::keyClick(form->Edit4, Qt::Key_PageUp);
    EXPECT_EQ(edits.CurFrame, 16);
    QTest::keyClick(form->Edit4, Qt::Key_Down);
    EXPECT_EQ(edits.CurFrame, 17);
    QTest::keyClick(form->Edit4, Qt::Key_PageDown);
    EXPECT_EQ(edits.CurFrame, 29);
    QTest::keyClick(form->Edit4, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(edits.CurFrame, 0);
    QTest::keyClick(form->Edit4, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(form->ComboBox1->currentText(), "125 %");
    EXPECT_EQ(form->GetZoomPercent(), 125);
    QTest::keyClick(form->Edit4, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    QTest::keyClick(form->Edit4, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(form->ComboBox1->currentText(), "75 %");
    EXPECT_TRUE(Messages.empty());
}

// Opening a file makes freehand the tool, and the tool buttons say so: the one chosen before is no
// longer shown chosen.
TEST_F(FrmMainFixture, OpeningAFileChoosesFreehandAndItsButton) {
    auto form = OpenForm(Recording(5));
    form->Action("Line")->trigger();
    ASSERT_EQ(form->GetTool(), 1);
    Open(*form, Recording(20));
    EXPECT_EQ(form->GetTool(), 0);
    EXPECT_TRUE(form->Action("FreeHand")->isChecked());
    EXPECT_FALSE(form->Action("Line")->isChecked());
    // Choosing freehand again leaves it the only one chosen.
    form->Action("FreeHand")->trigger();
    EXPECT_TRUE(form->Action("FreeHand")->isChecked());
    EXPECT_FALSE(form->Action("Line")->isChecked());
}

// A window manager shows a caption whole only when the title bar has room for it beside the bar's
// icon and buttons: the text in the bold title font, and at least a square of the font's height for
// each of the icon and three buttons.
TEST_F(FrmMainFixture, TheNumberOfCopiesBoxIsWideEnoughForItsWholeCaption) {
    auto form = OpenForm(Recording(5));
    form->show();
    QString caption;
    int width = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QDialog*>(w);
            if (!box || !box->isVisible()) continue;
            poll.stop();
            caption = box->windowTitle();
            width = box->width();
            box->reject();
            return;
        }
    });
    poll.start(10);
    form->Duplicateframe1Click();
    ASSERT_EQ(caption, "Number of copies");
    QFont title = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    title.setBold(true);
    const QFontMetrics metrics(title);
    EXPECT_GE(width, metrics.horizontalAdvance(caption) + 4 * metrics.height());
    EXPECT_EQ(form->Edits().Count(), 5) << "Cancel copies nothing";
}
