#include "ShortCutDispatcher.h"

#include "MessageDlg.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace {

// Dynamic property names: the action's shortcut in its one-word form, and a control's popup menu.
constexpr const char* ShortCutProperty = "tvShortCut";
constexpr const char* PopupMenuProperty = "tvPopupMenu";
constexpr QChar ShortCutSeparator = u'\t';

QString ComposeText(const QString& caption, TShortCut shortCut) {
    const QString text = ShortCutToText(shortCut);
    return text.isEmpty() ? caption : caption + ShortCutSeparator + text;
}

// The first enabled action with the shortcut; `disabled` keeps the first disabled one met on the way.
QAction* FindIn(const QList<QAction*>& actions, TShortCut shortCut, QAction*& disabled, int depth = 0) {
    // Menus may be shared between menus; a cycle must not hang the key press.
    constexpr int deepestMenu = 16;
    if (depth > deepestMenu) return nullptr;
    for (QAction* action : actions) {
        if (ActionShortCut(action) == shortCut) {
            if (action->isEnabled()) return action;
            if (!disabled) disabled = action;
        }
        if (!action->isEnabled()) continue;
        if (QMenu* menu = action->menu())
            if (QAction* found = FindIn(menu->actions(), shortCut, disabled, depth + 1)) return found;
    }
    return nullptr;
}

// FindAction's search; `disabled` tells whether a disabled action holds the shortcut.
QAction* FindFor(QWidget* receiver, TShortCut shortCut, QAction*& disabled) {
    disabled = nullptr;
    if (!receiver || shortCut.IsEmpty()) return nullptr;
    QWidget* window = receiver->window();
    // An open menu owns the keyboard; its keys are the menu's own.
    if (qobject_cast<QMenu*>(window)) return nullptr;
    for (QWidget* control = receiver; control;
         control = control->isWindow() ? nullptr : control->parentWidget()) {
        if (QAction* found = FindIn(control->actions(), shortCut, disabled)) return found;
        if (QMenu* menu = TShortCutDispatcher::PopupMenu(control))
            if (QAction* found = FindIn(menu->actions(), shortCut, disabled)) return found;
    }
    for (QMenuBar* bar : window->findChildren<QMenuBar*>())
        if (bar->window() == window)
            if (QAction* found = FindIn(bar->actions(), shortCut, disabled)) return found;
    return nullptr;
}

} // namespace

void SetActionShortCut(QAction* action, TShortCut shortCut) {
    if (!action) return;
    const QString caption = ActionCaption(action);
    action->setProperty(ShortCutProperty, static_cast<uint>(shortCut.ToWord()));
    action->setShortcut(QKeySequence());
    action->setText(ComposeText(caption, shortCut));
    TShortCutDispatcher::Instance();
}

TShortCut ActionShortCut(const QAction* action) {
    if (!action) return TShortCut();
    return TShortCut::FromWord(static_cast<uint16_t>(action->property(ShortCutProperty).toUInt()));
}

QString ActionCaption(const QAction* action) {
    if (!action) return QString();
    const QString text = action->text();
    const qsizetype tab = text.indexOf(ShortCutSeparator);
    return tab < 0 ? text : text.left(tab);
}

void SetActionCaption(QAction* action, const QString& caption) {
    if (!action) return;
    action->setText(ComposeText(caption, ActionShortCut(action)));
}

TShortCutDispatcher::TShortCutDispatcher(QObject* parent) : QObject(parent) {
    if (parent) parent->installEventFilter(this);
}

TShortCutDispatcher& TShortCutDispatcher::Instance() {
    // A child of the application object: it is destroyed, and its filter removed, with it.
    static QPointer<TShortCutDispatcher> instance;
    if (!instance) instance = new TShortCutDispatcher(QCoreApplication::instance());
    return *instance;
}

void TShortCutDispatcher::SetPopupMenu(QWidget* control, QMenu* menu) {
    if (!control) return;
    control->setProperty(PopupMenuProperty, QVariant::fromValue(QPointer<QMenu>(menu)));
    Instance();
}

QMenu* TShortCutDispatcher::PopupMenu(const QWidget* control) {
    if (!control) return nullptr;
    return control->property(PopupMenuProperty).value<QPointer<QMenu>>().data();
}

QAction* TShortCutDispatcher::FindAction(QWidget* receiver, TShortCut shortCut) {
    QAction* disabled = nullptr;
    return FindFor(receiver, shortCut, disabled);
}

QAction* TShortCutDispatcher::Match(QWidget* receiver, const QKeyEvent& event, bool& claimed) {
    claimed = false;
    const TShortCut shortCut = ShortCutFromKeyEvent(event);
    if (shortCut.IsEmpty()) return nullptr;
    QAction* disabled = nullptr;
    QAction* action = FindFor(receiver, shortCut, disabled);
    // The shortcut of a disabled command is still that command's key: it does nothing rather than
    // reach the window as a plain key (Shift+Ctrl+Z with nothing to redo must not undo through Z).
    claimed = action || disabled;
    if (action && event.isAutoRepeat() && !action->autoRepeat()) return nullptr;
    return action;
}

bool TShortCutDispatcher::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) return false;
    auto* receiver = qobject_cast<QWidget*>(watched);
    if (!receiver) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    bool handled = false;
    RunGuarded([&] {
        if (type == QEvent::ShortcutOverride) {
            // Claiming the key keeps Qt's own shortcuts (menu-bar mnemonics and the like) from
            // taking it; the key press then comes here.
            bool claimed = false;
            Match(receiver, *key, claimed);
            if (claimed) event->accept();
            return;
        }
        // An unclaimed key press travels up to the window's parents and passes here once for each;
        // the update handlers need to run only once for it.
        if (key != LastKeyPress || key->timestamp() != LastKeyTime) {
            LastKeyPress = key;
            LastKeyTime = key->timestamp();
            emit BeforeDispatch(receiver->window());
        }
        bool claimed = false;
        QPointer<QAction> action = Match(receiver, *key, claimed);
        if (!claimed) return;
        handled = true;
        event->accept();
        if (action) action->trigger();
    });
    return handled;
}
