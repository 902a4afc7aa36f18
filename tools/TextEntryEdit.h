#pragma once

#include "platform/Font.h"

#include <QLineEdit>

// The edit box of a drawing view's text entry. It edits like any line edit but shows its text through
// the canvas that draws text steps, from the top-left corner of its text margin: the glyphs in the
// box are the very pixels the finished step will put there, whatever the font, size and style.
class TTextEntryEdit : public QLineEdit {
public:
    // Where the text starts inside the box; the box stands off the text by as much.
    static constexpr int TextLeft = 2;
    static constexpr int TextTop = 1;

    explicit TTextEntryEdit(QWidget* parent = nullptr);
    // The font the view's canvas writes with, in canvas pixels.
    void SetCanvasFont(const TFont& font);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TFont CanvasFont;
};
