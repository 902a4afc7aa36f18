#pragma once

#include "platform/ShortCut.h"

#include <QLineEdit>

// A hot-key control: it shows its key in our shortcut text and takes the next key pressed in it, with
// the Shift, Ctrl and Alt held, as its new key. Tab and Shift+Tab still move the focus, and Enter and
// Esc alone still work the window's OK and Cancel; Backspace or Delete alone clear the key. Tag is the
// identifier under which the main form registers the key.
class THotKeyEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit THotKeyEdit(QWidget* parent = nullptr);

    TShortCut HotKey() const { return Key; }
    void SetHotKey(TShortCut key);

    int Tag = 0;

signals:
    void HotKeyChanged(TShortCut key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    TShortCut Key;
};
