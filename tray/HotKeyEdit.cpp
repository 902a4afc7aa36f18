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
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) {
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
    if ((qtKey == Qt::Key_Tab || qtKey == Qt::Key_Backtab) &&
        !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
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
