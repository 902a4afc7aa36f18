// The text entry of a drawing view.
#include "tools/TextEntry.h"

#include "model/TextStep.h"
#include "platform/Canvas.h"
#include "platform/ShortCut.h"
#include "platform/ShortCutDispatcher.h"
#include "tools/MouseTools.h"
#include "tools/TextEntryEdit.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPalette>
#include <algorithm>
#include <cmath>

namespace {

// The box stands off its text by the edit's margin, so that the typed text stands exactly where the
// step will draw it. No bearing is added: the edit writes its text from the margin as the step does
// from its start, and the font's widest left bearing (some combining mark in most fonts) would move
// upright text as well as italics.
constexpr int EditTextLeft = TTextEntryEdit::TextLeft;
constexpr int EditTextTop = TTextEntryEdit::TextTop;

} // namespace

TTextEntry::TTextEntry(TTextEntryEdit* edit, std::function<QPointF(QPoint)> viewToParent)
    : Edit(edit), ViewToParent(std::move(viewToParent)) {}

bool TTextEntry::IsOpen() const {
    return !Edit->isHidden();
}

void TTextEntry::Place(const Canvas& canvas) {
    const qreal ratio = Edit->devicePixelRatioF();
    QFont font = CanvasQFont(canvas.Font);
    if (ratio != 1.0) font.setPixelSize(std::max(1, qRound(font.pixelSize() / ratio)));
    // The edit's own font places the caret under a click; the canvas font draws the text.
    if (Edit->font() != font) Edit->setFont(font);
    Edit->SetCanvasFont(canvas.Font);
    const QPointF at = ViewToParent(EditBox.topLeft());
    const int left = static_cast<int>(std::lround(at.x())) - EditTextLeft;
    const int top = static_cast<int>(std::lround(at.y())) - EditTextTop;
    const int width = qRound(EditBox.width() / ratio) + 2 * EditTextLeft;
    const int height = qRound(EditBox.height() / ratio) + 2 * EditTextTop;
    Edit->setGeometry(left, top, width, height);
}

void TTextEntry::Colour(const Canvas& canvas) {
    // Silver text would vanish on the silver box.
    QPalette palette = Edit->palette();
    palette.setColor(QPalette::Base, ToQColor(canvas.Font.Color == clSilver ? clWhite : clSilver));
    palette.setColor(QPalette::Text, ToQColor(canvas.Font.Color));
    Edit->setPalette(palette);
}

void TTextEntry::Open(TTextStep* step, QPoint at, const Canvas& canvas) {
    EditBox = QRect(at.x(), at.y(), canvas.TextWidth(Edit->text() + QStringLiteral("W")),
                    canvas.TextHeight(QStringLiteral("My")));
    Colour(canvas);
    Place(canvas);
    EditStep = step;
    Edit->setCursor(Qt::IBeamCursor);
    Edit->show();
    Edit->clear();
    TextChanged(canvas);
    Edit->setFocus(Qt::OtherFocusReason);
}

void TTextEntry::FollowFont(const Canvas& canvas) {
    EditBox.setHeight(canvas.TextHeight(QStringLiteral("My")));
    EditBox.setWidth(canvas.TextWidth(Edit->text() + QStringLiteral("W")));
    Colour(canvas);
    Place(canvas);
}

void TTextEntry::TextChanged(const Canvas& canvas) {
    QString text = Edit->text();
    if (text.contains(QChar('\r')) || text.contains(QChar('\n'))) {
        // A text step holds one line: line breaks that came in (dropped or pasted text) go.
        const int caret = Edit->cursorPosition();
        const int before =
            static_cast<int>(text.left(caret).count(QChar('\r')) + text.left(caret).count(QChar('\n')));
        text.remove(QChar('\r'));
        text.remove(QChar('\n'));
        Edit->setText(text);
        Edit->setCursorPosition(caret - before);
        return;
    }
    const int caret = Edit->cursorPosition();
    EditBox.setWidth(canvas.TextWidth(text + QStringLiteral("W")));
    Place(canvas);
    Edit->setCursorPosition(caret);
}

TTextStep* TTextEntry::Close() {
    if (!IsOpen()) return nullptr;
    TTextStep* step = EditStep;
    if (step) step->Text = Edit->text();
    EditStep = nullptr;
    Edit->hide();
    // Qt keeps the pointer of the last widget the mouse entered in the window: the hidden edit's
    // I-beam would be shown for every later change of the view's own pointer. Without a pointer of
    // its own the edit passes those on to the view, whose pointer comes back at once.
    Edit->unsetCursor();
    return step;
}

void TTextEntry::Cancel(TToolHost& host) {
    if (!IsOpen()) return;
    host.EndTextEntry();
    host.UndoTextStep();
}

void TTextEntry::NewLine(TToolHost& host) {
    if (!IsOpen()) return;
    const QPoint next = NextLine();
    host.EndTextEntry();
    host.ClickAt(next.x(), next.y());
}

void FillTextEntryMenu(QMenu* menu, QLineEdit* edit, const TTextEntryMenuHandlers& handlers) {
    auto add = [menu, &handlers](const char* name, const char* caption, const char* shortCut,
                                 std::function<void()> handler) {
        QAction* item = menu->addAction(QString::fromLatin1(caption));
        item->setObjectName(QString::fromLatin1(name));
        if (*shortCut) SetActionShortCut(item, TextToShortCut(QString::fromLatin1(shortCut)));
        handlers.Bind(item, std::move(handler));
    };
    add("Font1", "&Font...", "", handlers.Font);
    menu->addSeparator();
    add("Cut1", "Cu&t", "Ctrl+X", [edit] { edit->cut(); });
    add("Copy1", "&Copy", "Ctrl+C", [edit] { edit->copy(); });
    add("Paste1", "&Paste", "Ctrl+V", [edit] {
        // One line only: line breaks in the pasted text are dropped.
        QString text = QGuiApplication::clipboard()->text();
        text.remove(QChar('\r'));
        text.remove(QChar('\n'));
        edit->insert(text);
    });
    menu->addSeparator();
    add("Selectall1", "Select &All", "Ctrl+A", [edit] { edit->selectAll(); });
    menu->addSeparator();
    add("End1", "End text", "Enter", handlers.End);
    add("Cancel1", "Cancel text", "Esc", handlers.Cancel);
    add("Newline1", "New line", "Shift+Enter", handlers.NewLine);
}
