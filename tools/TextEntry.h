#pragma once

#include <QPoint>
#include <QRect>
#include <functional>

class Canvas;
class QAction;
class QLineEdit;
class QMenu;
class TTextEntryEdit;
class TToolHost;
class TTextStep;

// The one-line text entry laid over a drawing view: a borderless edit that shows what is typed
// exactly where the text step will draw it, always one "W" wider than its text. The window owns the
// edit (its name, menus and key routing are the window's); the entry places, sizes and colours it
// from the view's canvas, whose font is the text's font at the view's scale.
class TTextEntry {
public:
    // `viewToParent` maps a view pixel to the logical coordinates of the edit's parent widget.
    TTextEntry(TTextEntryEdit* edit, std::function<QPointF(QPoint)> viewToParent);

    bool IsOpen() const;
    // The text step being typed, while the entry is open.
    TTextStep* Step() const { return EditStep; }
    // Where the text stands, in view pixels: the step's top-left corner, the width of the text and a
    // "W", and the height of a line.
    QRect Box() const { return EditBox; }
    // The point where the next line's step starts: straight below this one.
    QPoint NextLine() const { return QPoint(EditBox.x(), EditBox.y() + EditBox.height()); }

    // Opens the entry, empty, on the step at the view point, with the keyboard focus.
    void Open(TTextStep* step, QPoint at, const Canvas& canvas);
    // The canvas font changed (a font chosen while typing, another layer): the box follows it.
    void FollowFont(const Canvas& canvas);
    // The edit's text changed: line breaks that came in go, and the box keeps one "W" spare.
    void TextChanged(const Canvas& canvas);
    // Gives the step the typed text and hides the edit; returns the step, or null when none was open.
    TTextStep* Close();
    // Puts the edit where the box is, in the canvas font.
    void Place(const Canvas& canvas);

    // "Cancel text": the entry ends and its step is undone; it stays behind the position, so that
    // redo brings it back with its text.
    void Cancel(TToolHost& host);
    // "New line": the entry ends, and a click straight below its left end opens the next line, a
    // step of its own.
    void NewLine(TToolHost& host);

private:
    void Colour(const Canvas& canvas);

    TTextEntryEdit* Edit;
    std::function<QPointF(QPoint)> ViewToParent;
    TTextStep* EditStep = nullptr;
    QRect EditBox;
};

// The handlers of the text entry's pop-up menu that are the window's own.
struct TTextEntryMenuHandlers {
    std::function<void()> Font;
    std::function<void()> End;
    std::function<void()> Cancel;
    std::function<void()> NewLine;
    // Connects an item's click to a handler, as the window runs its commands.
    std::function<void(QAction* item, std::function<void()> handler)> Bind;
};

// Fills the text entry's pop-up menu: "&Font...", then the edit's cut, copy, paste (one line: line
// breaks dropped) and select-all, then "End text" (Enter), "Cancel text" (Esc) and "New line"
// (Shift+Enter), with separators as the windows show them.
void FillTextEntryMenu(QMenu* menu, QLineEdit* edit, const TTextEntryMenuHandlers& handlers);
