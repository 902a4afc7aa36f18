#pragma once

#include "platform/ShortCut.h"

#include <QLineEdit>

// The hot-key field: pressing a key with its modifiers makes it the field's key, shown in the
// shortcut text form ("Shift+Ctrl+W") that the settings file stores. Held modifiers alone show as
// "Shift+Ctrl+" until a key completes them. Plain Backspace, Delete and Space clear the field; plain
// Tab, Enter and Esc stay the dialog's (focus, OK, Cancel).
class THotKey : public QLineEdit {
    Q_OBJECT
public:
    explicit THotKey(QWidget* parent = nullptr);

    TShortCut HotKey() const { return Value; }
    void SetHotKey(TShortCut key);

    // The identifier the key is registered under as a global hot key.
    int Tag = 0;

signals:
    // After a key press has changed the field's key.
    void Changed();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void ShowValue();
    static bool IsDialogKey(const QKeyEvent& event);

    TShortCut Value;
};
