#include "HotKeyEdit.h"

#include <QEvent>
#include <QKeyEvent>

namespace {

bool IsModifierOnly(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
        return true;
    default:
        return false;
    }
}

// Tab moves the focus, and plain Enter and Esc stay the dialog's OK and Cancel, as in any field.
bool IsDialogKey(const QKeyEvent& event) {
    const int qtKey = event.key();
    const Qt::KeyboardModifiers mods =
        event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (qtKey == Qt::Key_Tab || qtKey == Qt::Key_Backtab)
        return !(mods & (Qt::ControlModifier | Qt::AltModifier));
    return (qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter || qtKey == Qt::Key_Escape) &&
           mods == Qt::NoModifier;
}

} // namespace

THotKeyEdit::THotKeyEdit(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    // The control shows the key, it does not hold a text the user edits.
    setContextMenuPolicy(Qt::NoContextMenu);
}

void THotKeyEdit::SetHotKey(TShortCut key) {
    const bool changed = !(key == Key);
    Key = key.IsEmpty() ? TShortCut{} : key;
    setText(ShortCutToText(Key));
    if (changed) emit HotKeyChanged(Key);
}

bool THotKeyEdit::event(QEvent* event) {
    // Shortcuts of the window must not fire while a key is being chosen here: the key is the input.
    if (event->type() == QEvent::ShortcutOverride) {
        if (!IsDialogKey(*static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void THotKeyEdit::keyPressEvent(QKeyEvent* event) {
    const int qtKey = event->key();
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (IsDialogKey(*event)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    if (IsModifierOnly(qtKey)) return;
    if ((qtKey == Qt::Key_Backspace || qtKey == Qt::Key_Delete) && mods == Qt::NoModifier) {
        SetHotKey({});
        return;
    }
    const TShortCut key = ShortCutFromKeyEvent(*event);
    if (!key.IsEmpty()) SetHotKey(key);
}
