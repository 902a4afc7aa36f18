#include "platform/ShortCut.h"
#include "platform/MessageHandlerScope.h"
#include "platform/ShortCutDispatcher.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStyleOptionMenuItem>
#include <QWidget>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

TShortCut Make(uint8_t key, bool shift = false, bool ctrl = false, bool alt = false) {
    TShortCut s;
    s.Key = key;
    s.Shift = shift;
    s.Ctrl = ctrl;
    s.Alt = alt;
    return s;
}

std::string Describe(TShortCut s) {
    return "key " + std::to_string(s.Key) + (s.Shift ? " shift" : "") + (s.Ctrl ? " ctrl" : "") +
           (s.Alt ? " alt" : "");
}

QKeyEvent Press(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text = QString()) {
    return QKeyEvent(QEvent::KeyPress, qtKey, modifiers, text);
}

// What QMenu hands to the style for an item: the text it draws, shortcut column included.
class TMenuProbe : public QMenu {
public:
    QString ItemText(QAction* action) const {
        QStyleOptionMenuItem option;
        initStyleOption(&option, action);
        return option.text;
    }
};

} // namespace

TEST(ShortCutText, RoundTripsTheStoredForms) {
    const struct {
        const char* Text;
        TShortCut Expected;
    } cases[] = {
        {"Shift+Ctrl+W", Make('W', true, true)},
        {"Shift+Ctrl+Y", Make('Y', true, true)},
        {"Shift+Ctrl+P", Make('P', true, true)},
        {"Shift+Ctrl+Z", Make('Z', true, true)},
        {"Ctrl+Alt+S", Make('S', false, true, true)},
        {"Shift+Alt+P", Make('P', true, false, true)},
        {"Shift+Ctrl+Alt+A", Make('A', true, true, true)},
        {"Ctrl+1", Make('1', false, true)},
        {"Alt+5", Make('5', false, false, true)},
        {"Shift+Ctrl+0", Make('0', true, true)},
        {"F1", Make(VKey::F1)},
        {"F12", Make(VKey::F1 + 11)},
        {"F24", Make(VKey::F24)},
        {"Ctrl+F4", Make(VKey::F1 + 3, false, true)},
        {"BkSp", Make(VKey::BkSp)},
        {"Tab", Make(VKey::Tab)},
        {"Esc", Make(VKey::Esc)},
        {"Enter", Make(VKey::Enter)},
        {"Shift+Enter", Make(VKey::Enter, true)},
        {"Space", Make(VKey::Space)},
        {"PgUp", Make(VKey::PgUp)},
        {"PgDn", Make(VKey::PgDn)},
        {"End", Make(VKey::End)},
        {"Home", Make(VKey::Home)},
        {"Left", Make(VKey::Left)},
        {"Up", Make(VKey::Up)},
        {"Right", Make(VKey::Right)},
        {"Down", Make(VKey::Down)},
        {"Ins", Make(VKey::Ins)},
        {"Del", Make(VKey::Del)},
        {"Ctrl+Num +", Make(VKey::NumPlus, false, true)},
        {"Ctrl+Num -", Make(VKey::NumMinus, false, true)},
        {"Num 7", Make(VKey::Num0 + 7)},
        {"Ctrl+-", Make(VKey::Minus, false, true)},
        {"Shift+=", Make(VKey::Equal, true)},
    };
    for (const auto& c : cases) {
        const TShortCut parsed = TextToShortCut(QString::fromLatin1(c.Text));
        EXPECT_EQ(parsed, c.Expected) << c.Text << " parsed as " << Describe(parsed);
        EXPECT_EQ(ShortCutToText(c.Expected), QString::fromLatin1(c.Text));
    }
}

TEST(ShortCutText, ReadsModifiersInAnyOrderAndCaseButWritesTheFixedOrder) {
    const struct {
        const char* Text;
        const char* Written;
    } cases[] = {
        {"ctrl+shift+w", "Shift+Ctrl+W"}, {"Alt+Ctrl+S", "Ctrl+Alt+S"},
        {"ALT+SHIFT+p", "Shift+Alt+P"},   {"^Z", "Ctrl+Z"},
        {"ctrl+del", "Ctrl+Del"},         {"bksp", "BkSp"},
        {"Shift+Shift+f12", "Shift+F12"}, {"num +", "Num +"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShortCutToText(TextToShortCut(QString::fromLatin1(c.Text))), QString::fromLatin1(c.Written))
            << c.Text;
}

TEST(ShortCutText, TextThatDoesNotParseIsNoShortCut) {
    const char* junk[] = {
        "",           "Shift+",        "Ctrl+Alt+",    "W+Ctrl",       "Ctrl+Backspace", "Ctrl+W ", " Ctrl+W",
        "Ctrl+Shift", "F25",           "F0",           "Shift-Ctrl-W", "Ctrl+WW",        "Cmd+W",   "abc",
        "Ctrl++",     "Ctrl+PageDown", "Ctrl+Shift+Z+"};
    for (const char* text : junk) {
        const TShortCut parsed = TextToShortCut(QString::fromLatin1(text));
        EXPECT_TRUE(parsed.IsEmpty()) << '"' << text << "\" parsed as " << Describe(parsed);
    }
    EXPECT_EQ(ShortCutToText(TShortCut()), QString());
    // Modifiers without a key are no shortcut either, and show nothing.
    EXPECT_EQ(ShortCutToText(Make(0, true, true)), QString());
    EXPECT_EQ(Make(0, true), TShortCut());
}

TEST(ShortCutText, EveryNamedKeyReadsBackAsItself) {
    int named = 0;
    for (int key = 1; key <= 0xFF; ++key) {
        const QString name = KeyName(static_cast<uint8_t>(key));
        if (name.isEmpty()) continue;
        ++named;
        EXPECT_EQ(TextToShortCut(name).Key, key) << name.toStdString();
        EXPECT_EQ(TextToShortCut("Shift+Ctrl+Alt+" + name), Make(static_cast<uint8_t>(key), true, true, true))
            << name.toStdString();
    }
    // Letters, digits, keypad digits, F1 to F24 and the named keys.
    EXPECT_GT(named, 26 + 10 + 10 + 24 + 15);
}

TEST(ShortCutWord, PacksAsTheClassLibraryDoes) {
    EXPECT_EQ(Make('W', true, true).ToWord(), 0x6057);
    EXPECT_EQ(Make(VKey::NumPlus, false, true).ToWord(), 0x406B);
    EXPECT_EQ(TShortCut::FromWord(0xA050), Make('P', true, false, true));
    EXPECT_TRUE(TShortCut::FromWord(0x6000).IsEmpty());
    EXPECT_EQ(Make(0, true, true).ToWord(), 0);
}

TEST(ShortCutQt, ConvertsBothWays) {
    EXPECT_EQ(ToQKeyCombination(Make('Z', true, true)),
              QKeyCombination(Qt::ShiftModifier | Qt::ControlModifier, Qt::Key_Z));
    EXPECT_EQ(ToQKeyCombination(Make(VKey::NumPlus, false, true)),
              QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus));
    EXPECT_EQ(ToQKeyCombination(Make(VKey::Del)), QKeyCombination(Qt::Key_Delete));
    EXPECT_EQ(ToQKeySequence(Make('S', false, true, true)), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S));
    EXPECT_TRUE(ToQKeySequence(TShortCut()).isEmpty());

    EXPECT_EQ(ShortCutFromQt(QKeySequence(QStringLiteral("Ctrl+Shift+Z"))), Make('Z', true, true));
    EXPECT_EQ(ShortCutFromQt(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Minus)),
              Make(VKey::NumMinus, false, true));
    EXPECT_EQ(ShortCutFromQt(QKeyCombination(Qt::ControlModifier, Qt::Key_Minus)),
              Make(VKey::Minus, false, true));
    EXPECT_EQ(ShortCutFromQt(QKeyCombination(Qt::ShiftModifier | Qt::ControlModifier, Qt::Key_Exclam)),
              Make('1', true, true));
    EXPECT_EQ(ShortCutFromQt(QKeyCombination(Qt::Key_F12)), Make(VKey::F1 + 11));
    EXPECT_TRUE(ShortCutFromQt(QKeyCombination(Qt::ControlModifier, Qt::Key_Shift)).IsEmpty());

    // Every key with a name survives the trip through Qt.
    for (int key = 1; key <= 0xFF; ++key) {
        if (KeyName(static_cast<uint8_t>(key)).isEmpty()) continue;
        const TShortCut s = Make(static_cast<uint8_t>(key), true, false, true);
        EXPECT_EQ(ShortCutFromQt(ToQKeyCombination(s)), s)
            << KeyName(static_cast<uint8_t>(key)).toStdString();
    }
}

TEST(ShortCutKeyEvent, MatchesByKeyWhateverTheModifiersMakeOfIt) {
    const struct {
        int QtKey;
        Qt::KeyboardModifiers Modifiers;
        const char* Text;
        TShortCut Expected;
    } cases[] = {
        {Qt::Key_Exclam, Qt::ShiftModifier, "!", Make('1', true)},
        {Qt::Key_Exclam, Qt::ShiftModifier | Qt::ControlModifier, "", Make('1', true, true)},
        {Qt::Key_ParenRight, Qt::ShiftModifier | Qt::ControlModifier, "", Make('0', true, true)},
        {Qt::Key_1, Qt::AltModifier, "1", Make('1', false, false, true)},
        {Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier, "", Make('Z', true, true)},
        {Qt::Key_Plus, Qt::ShiftModifier, "+", Make(VKey::Equal, true)},
        {Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier, "+", Make(VKey::NumPlus, false, true)},
        {Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier, "-", Make(VKey::NumMinus, false, true)},
        {Qt::Key_3, Qt::KeypadModifier, "3", Make(VKey::Num0 + 3)},
        // Without Num Lock the keypad's 7 is Home.
        {Qt::Key_Home, Qt::KeypadModifier, "", Make(VKey::Home)},
        {Qt::Key_Enter, Qt::KeypadModifier, "\r", Make(VKey::Enter)},
        {Qt::Key_Backtab, Qt::ShiftModifier, "", Make(VKey::Tab, true)},
        {Qt::Key_Escape, Qt::NoModifier, "\x1b", Make(VKey::Esc)},
        {Qt::Key_Backspace, Qt::NoModifier, "\b", Make(VKey::BkSp)},
        {Qt::Key_Shift, Qt::ShiftModifier, "", TShortCut()},
        {Qt::Key_Control, Qt::ControlModifier, "", TShortCut()},
    };
    for (const auto& c : cases) {
        const QKeyEvent event = Press(c.QtKey, c.Modifiers, QString::fromLatin1(c.Text));
        const TShortCut got = ShortCutFromKeyEvent(event);
        EXPECT_EQ(got, c.Expected) << "Qt key " << std::hex << c.QtKey << " gave " << Describe(got);
    }
    EXPECT_EQ(ShortCutToText(ShortCutFromKeyEvent(Press(Qt::Key_Exclam, Qt::ShiftModifier, "!"))),
              QStringLiteral("Shift+1"));
    // The digit key alone matches "1" whatever Shift makes of it.
    EXPECT_EQ(KeyFromKeyEvent(Press(Qt::Key_Exclam, Qt::ShiftModifier, "!")), TextToShortCut("1").Key);
}

TEST(ShortCutKeysym, MapsKeysForGlobalGrabs) {
    EXPECT_EQ(ShortCutToKeysym(TextToShortCut("Shift+Ctrl+W")), 0x77u); // XK_w
    EXPECT_EQ(ShortCutToKeysym(TextToShortCut("Shift+Ctrl+1")), 0x31u); // XK_1
    EXPECT_EQ(ShortCutToKeysym(TextToShortCut("F12")), 0xFFC9u);        // XK_F12
    EXPECT_EQ(ShortCutToKeysym(TextToShortCut("Del")), 0xFFFFu);        // XK_Delete
    EXPECT_EQ(ShortCutToKeysym(TextToShortCut("PgDn")), 0xFF56u);       // XK_Next
    EXPECT_EQ(ShortCutToKeysym(TextToShortCut("Num +")), 0xFFABu);      // XK_KP_Add
    EXPECT_EQ(ShortCutToKeysym(TShortCut()), 0u);
    EXPECT_EQ(KeysymToKey(0x57), 'W');           // XK_W
    EXPECT_EQ(KeysymToKey(0xFF8D), VKey::Enter); // XK_KP_Enter
    EXPECT_EQ(KeysymToKey(0x21), VKey::NoKey);   // XK_exclam is no key of its own
    for (int key = 1; key <= 0xFF; ++key) {
        if (KeyName(static_cast<uint8_t>(key)).isEmpty()) continue;
        const uint32_t keysym = KeyToKeysym(static_cast<uint8_t>(key));
        EXPECT_NE(keysym, 0u) << KeyName(static_cast<uint8_t>(key)).toStdString();
        EXPECT_EQ(KeysymToKey(keysym), key) << KeyName(static_cast<uint8_t>(key)).toStdString();
    }
}

TEST(ActionShortCut, MenuShowsOurTextNotQts) {
    TMenuProbe menu;
    QAction* redo = menu.addAction(QStringLiteral("Re&do"));
    SetActionShortCut(redo, TextToShortCut("Shift+Ctrl+Z"));
    QAction* zoom = menu.addAction(QStringLiteral("Zoom in"));
    SetActionShortCut(zoom, Make(VKey::NumPlus, false, true));
    QAction* options = menu.addAction(QStringLiteral("&Options..."));

    EXPECT_EQ(menu.ItemText(redo), QStringLiteral("Re&do\tShift+Ctrl+Z"));
    EXPECT_EQ(menu.ItemText(zoom), QStringLiteral("Zoom in\tCtrl+Num +"));
    EXPECT_EQ(menu.ItemText(options), QStringLiteral("&Options..."));
    // Qt's own shortcut stays empty, so Qt neither shows its text nor triggers a second time.
    EXPECT_TRUE(redo->shortcut().isEmpty());
    EXPECT_EQ(ActionShortCut(redo), TextToShortCut("Shift+Ctrl+Z"));
    EXPECT_EQ(ActionCaption(redo), QStringLiteral("Re&do"));

    // A caption change keeps the shortcut; a new shortcut replaces the old text; none removes it.
    SetActionCaption(redo, QStringLiteral("Stop capture"));
    EXPECT_EQ(menu.ItemText(redo), QStringLiteral("Stop capture\tShift+Ctrl+Z"));
    SetActionShortCut(redo, TextToShortCut("Shift+Ctrl+Y"));
    EXPECT_EQ(menu.ItemText(redo), QStringLiteral("Stop capture\tShift+Ctrl+Y"));
    SetActionShortCut(redo, TShortCut());
    EXPECT_EQ(menu.ItemText(redo), QStringLiteral("Stop capture"));
    EXPECT_TRUE(ActionShortCut(redo).IsEmpty());
}

class ShortCutDispatch : public ::testing::Test {
protected:
    ShortCutDispatch() {
        Window.resize(200, 100);
        Edit = new QLineEdit(&Window);
    }

    QAction* AddAction(QWidget* owner, const char* shortCut, int* counter) {
        auto* action = new QAction(QString::fromLatin1(shortCut), owner);
        SetActionShortCut(action, TextToShortCut(QString::fromLatin1(shortCut)));
        QObject::connect(action, &QAction::triggered, [counter] { ++*counter; });
        owner->addAction(action);
        return action;
    }

    // Sends a key press the way the application delivers it, and says whether something took it.
    static bool Send(QWidget* receiver, int qtKey, Qt::KeyboardModifiers modifiers,
                     const QString& text = QString()) {
        QKeyEvent event = Press(qtKey, modifiers, text);
        event.ignore();
        QApplication::sendEvent(receiver, &event);
        return event.isAccepted();
    }

    QWidget Window;
    QLineEdit* Edit;
};

TEST_F(ShortCutDispatch, TriggersByKeyCodeWhereQtWouldMiss) {
    int stamp1 = 0, zoomIn = 0, redo = 0;
    AddAction(&Window, "Shift+Ctrl+1", &stamp1);
    AddAction(&Window, "Ctrl+Num +", &zoomIn);
    AddAction(&Window, "Shift+Ctrl+Z", &redo);

    // The key goes to the focused edit inside the window; the window's shortcut still wins.
    EXPECT_TRUE(Send(Edit, Qt::Key_Exclam, Qt::ShiftModifier | Qt::ControlModifier, "!"));
    EXPECT_EQ(stamp1, 1);
    Send(Edit, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier, "+");
    EXPECT_EQ(zoomIn, 1);
    // Ctrl with the main keyboard's "+" (Shift+=) is another key.
    Send(Edit, Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier, "+");
    EXPECT_EQ(zoomIn, 1);
    Send(&Window, Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(redo, 1);
    // Ctrl+Z alone is not Shift+Ctrl+Z: the modifiers must agree exactly.
    Send(&Window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(redo, 1);
}

TEST_F(ShortCutDispatch, UsesPopupMenusAndMenuBarsAndSkipsForeignActions) {
    int copy = 0, save = 0, disabled = 0, foreign = 0;
    QMenu popup;
    AddAction(&popup, "Ctrl+C", &copy);
    QAction* off = AddAction(&popup, "Ctrl+K", &disabled);
    off->setEnabled(false);
    TShortCutDispatcher::SetPopupMenu(&Window, &popup);

    QMenuBar bar(&Window);
    QMenu* file = bar.addMenu(QStringLiteral("&File"));
    AddAction(file, "Ctrl+S", &save);

    QWidget other;
    AddAction(&other, "Ctrl+L", &foreign);

    Send(Edit, Qt::Key_C, Qt::ControlModifier);
    Send(Edit, Qt::Key_S, Qt::ControlModifier);
    // A key whose only action is disabled is still that action's: it is taken and does nothing, in
    // the window and in the edit, whose own Ctrl+K it comes before.
    EXPECT_TRUE(Send(&Window, Qt::Key_K, Qt::ControlModifier));
    Edit->setText("kept");
    Edit->setCursorPosition(0);
    EXPECT_TRUE(Send(Edit, Qt::Key_K, Qt::ControlModifier));
    EXPECT_EQ(Edit->text(), "kept");
    Send(Edit, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(copy, 1);
    EXPECT_EQ(save, 1);
    EXPECT_EQ(disabled, 0);
    EXPECT_EQ(foreign, 0);

    // Without its popup menu the window no longer knows Ctrl+C.
    TShortCutDispatcher::SetPopupMenu(&Window, nullptr);
    Send(Edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(copy, 1);
}

TEST_F(ShortCutDispatch, ReportsAnErrorOfTheCommandInsteadOfPassingItOn) {
    QStringList shown;
    TMessageHandlerScope capture([&](TMessageRequest& r) {
        shown << r.Text;
        return int(mrOk);
    });
    auto* action = new QAction(QStringLiteral("Load"), &Window);
    SetActionShortCut(action, TextToShortCut("Ctrl+Alt+L"));
    QObject::connect(action, &QAction::triggered, [] { throw std::runtime_error("Invalid image file"); });
    Window.addAction(action);
    EXPECT_NO_THROW(Send(Edit, Qt::Key_L, Qt::ControlModifier | Qt::AltModifier));
    EXPECT_EQ(shown, QStringList{QStringLiteral("Invalid image file")});
}
