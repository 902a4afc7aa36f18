#pragma once

#include "ShortCut.h"

#include <QObject>
#include <QString>

class QAction;
class QKeyEvent;
class QMenu;
class QWidget;

// Gives an action its shortcut. Menus show our shortcut text after the caption ("Shift+Ctrl+Z", not
// Qt's "Ctrl+Shift+Z"): the text becomes caption + "\t" + shortcut text, which QMenu shows in its
// shortcut column. Qt's own shortcut stays empty: it would show its own text, and on X11 it misses
// keypad keys (Ctrl + keypad plus) altogether. TShortCutDispatcher triggers the action instead.
// The empty shortcut takes it away.
void SetActionShortCut(QAction* action, TShortCut shortCut);
TShortCut ActionShortCut(const QAction* action);
// The caption without the shortcut text, and a new caption that keeps the shortcut text. Use these
// rather than QAction::text()/setText() on an action that has a shortcut.
QString ActionCaption(const QAction* action);
void SetActionCaption(QAction* action, const QString& caption);

// Triggers actions by their shortcut on key presses, matched by key code whatever the modifiers
// make of the key (TShortCut semantics), before the focused control sees the key, as the class
// library's forms do. A key press in a control looks, in this order, at:
//   1. the actions added to the control and to each of its parents up to its window,
//      with the popup menu given to each of them by SetPopupMenu;
//   2. the menus of the window's menu bars;
// submenus included. The first enabled action with the key's shortcut is triggered; when only disabled
// actions hold it, the key is taken and nothing happens. An error that
// escapes it is reported, not passed on. Nothing happens while a menu has the keyboard, and a modal
// dialog's keys never reach the actions of the window behind it.
class TShortCutDispatcher : public QObject {
    Q_OBJECT
public:
    // The application's one dispatcher, made on first use (SetActionShortCut makes it).
    static TShortCutDispatcher& Instance();

    // The popup menu of a control (the class library's PopupMenu property): its items' shortcuts work
    // while the keyboard is in that control or in a control inside it. nullptr takes it away.
    static void SetPopupMenu(QWidget* control, QMenu* menu);
    static QMenu* PopupMenu(const QWidget* control);

    // The action that the shortcut triggers when the key goes to `receiver`, or nullptr.
    static QAction* FindAction(QWidget* receiver, TShortCut shortCut);

signals:
    // Sent before a key press is matched, so that the window can run its update handlers and the
    // enabled state of its actions is current.
    void BeforeDispatch(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TShortCutDispatcher(QObject* parent);
    // `claimed`: an action, enabled or not, holds the key's shortcut, so the key goes no further.
    QAction* Match(QWidget* receiver, const QKeyEvent& event, bool& claimed);

    const QKeyEvent* LastKeyPress = nullptr; // compared only, never followed
    quint64 LastKeyTime = 0;
};
