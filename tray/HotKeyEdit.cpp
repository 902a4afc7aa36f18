#include "HotKeyEdit.h"

#include <QKeyEvent>

namespace {

bool IsModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
           key == Qt::Key_AltGr || key == Qt::Key_Super_L || key == Qt::Key_Super_R;
}

Qt::KeyboardModifiers ModifierOf(int key) {
    switch (key) {
    case Qt::Key_Shift:
        return Qt::ShiftModifier;
    case Qt::Key_Control:
        return Qt::ControlModifier;
    case Qt::Key_Alt:
        return Qt::AltModifier;
    default:
        return Qt::NoModifier;
    }
}

// The modifier words of the state, in the shortcut text's order.
QString ModifierText(Qt::KeyboardModifiers modifiers) {
    QString text;
    if (modifiers & Qt::ShiftModifier) text += "Shift+";
    if (modifiers & Qt::ControlModifier) text += "Ctrl+";
    if (modifiers & Qt::AltModifier) text += "Alt+";
    return text;
}

constexpr Qt::KeyboardModifiers Chord = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

} // namespace

THotKey::THotKey(QWidget* parent) : QLineEdit(parent) {
    // The text is the key's, never typed: no editing, pasting or dropping.
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    ShowValue();
}

void THotKey::SetHotKey(TShortCut key) {
    Value = key;
    ShowValue();
}

void THotKey::ShowValue() {
    setText(ShortCutToText(Value));
}

bool THotKey::IsDialogKey(const QKeyEvent& event) {
    const int key = event.key();
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return true;
    const bool plain = (event.modifiers() & Chord) == 0;
    return plain && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape);
}

bool THotKey::event(QEvent* event) {
    // Menu and window shortcuts would take a chord before the field sees it: the field wants them all.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!IsDialogKey(*key)) {
            key->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void THotKey::keyPressEvent(QKeyEvent* event) {
    if (IsDialogKey(*event)) {
        event->ignore();
        return;
    }
    event->accept();
    if (IsModifierKey(event->key())) {
        // Whether the state names the modifier being pressed differs between sources: add it.
        setText(ModifierText(event->modifiers() | ModifierOf(event->key())));
        return;
    }
    const TShortCut key = ShortCutFromKeyEvent(*event);
    if (key.IsEmpty()) return; // a key without a name cannot be stored
    const bool plain = !key.Shift && !key.Ctrl && !key.Alt;
    if (plain && (key.Key == VKey::BkSp || key.Key == VKey::Del || key.Key == VKey::Space))
        Value = TShortCut();
    else
        Value = key;
    ShowValue();
    emit Changed();
}

void THotKey::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    if (!IsModifierKey(event->key())) return;
    // Whether the state still names the modifier being released differs between sources: drop it.
    const Qt::KeyboardModifiers left = event->modifiers() & ~ModifierOf(event->key());
    if ((left & Chord) != 0)
        setText(ModifierText(left));
    else
        ShowValue();
}

void THotKey::focusOutEvent(QFocusEvent* event) {
    ShowValue();
    QLineEdit::focusOutEvent(event);
}
