// The drawing window's text entry, its image stamps, the clearing of the tool ticks and the
// highlighter switch.
#include "Draw.h"

#include "ComponentTag.h"
#include "ToolIcons.h"
#include "model/TextStep.h"
#include "platform/ShortCutDispatcher.h"

#include <QAction>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>

namespace {

// Where QLineEdit writes its text inside its own rectangle: two pixels from the left edge, one from
// the top (with the text aligned to the top). The box is moved by as much, so that the typed text
// stands exactly where the step will draw it.
constexpr int EditTextLeft = 2;
constexpr int EditTextTop = 1;

} // namespace

bool TDrawFrm::TextEntryOpen() const {
    return !Edit1->isHidden();
}

void TDrawFrm::PlaceEdit1() {
    const qreal ratio = devicePixelRatioF();
    QFont font = CanvasQFont(WindowCanvas->Font);
    if (ratio != 1.0) font.setPixelSize(std::max(1, qRound(font.pixelSize() / ratio)));
    if (Edit1->font() != font) Edit1->setFont(font);
    // Glyphs that reach left of their origin (italics) make QLineEdit start the text further in.
    const int overhang = std::max(0, -QFontMetrics(font).minLeftBearing());
    const int left = qRound(EditBox.x() / ratio) - EditTextLeft - overhang;
    const int top = qRound(EditBox.y() / ratio) - EditTextTop;
    const int width = qRound(EditBox.width() / ratio) + 2 * EditTextLeft + overhang;
    const int height = qRound(EditBox.height() / ratio) + 2 * EditTextTop;
    Edit1->setGeometry(left, top, width, height);
}

void TDrawFrm::StartTextEntry(TTextStep* step) {
    Canvas& canvas = *WindowCanvas;
    EditBox = QRect(step->StartX, step->StartY, canvas.TextWidth(Edit1->text() + QStringLiteral("W")),
                    canvas.TextHeight(QStringLiteral("My")));
    // Silver text would vanish on the silver box.
    QPalette palette = Edit1->palette();
    palette.setColor(QPalette::Base, ToQColor(canvas.Font.Color == clSilver ? clWhite : clSilver));
    palette.setColor(QPalette::Text, ToQColor(canvas.Font.Color));
    Edit1->setPalette(palette);
    PlaceEdit1();
    EditStep = step;
    Edit1->show();
    TShortCutDispatcher::SetPopupMenu(this, PopupMenu2);
    Edit1->clear();
    Edit1Change();
    Edit1->setFocus(Qt::OtherFocusReason);
    step->Font = canvas.Font;
    step->Transparent = LayerSettings[DragLayer].TransparentFont;
}

void TDrawFrm::Edit1Change() {
    QString text = Edit1->text();
    if (text.contains(QChar('\r')) || text.contains(QChar('\n'))) {
        // A text step holds one line: line breaks that came in (dropped or pasted text) go.
        const int caret = Edit1->cursorPosition();
        const int before =
            static_cast<int>(text.left(caret).count(QChar('\r')) + text.left(caret).count(QChar('\n')));
        text.remove(QChar('\r'));
        text.remove(QChar('\n'));
        Edit1->setText(text);
        Edit1->setCursorPosition(caret - before);
        return;
    }
    const int caret = Edit1->cursorPosition();
    EditBox.setWidth(WindowCanvas->TextWidth(text + QStringLiteral("W")));
    PlaceEdit1();
    Edit1->setCursorPosition(caret);
}

void TDrawFrm::EndTextEntry() {
    if (!TextEntryOpen()) return;
    if (EditStep) EditStep->Text = Edit1->text();
    EditStep = nullptr;
    setFocus(Qt::OtherFocusReason);
    Edit1->hide();
    TShortCutDispatcher::SetPopupMenu(this, PopupMenu1);
    Invalidate();
}

void TDrawFrm::End1Click() {
    EndTextEntry();
}

void TDrawFrm::Cancel1Click() {
    if (!TextEntryOpen()) return;
    EndTextEntry();
    UndoExecute();
    Invalidate();
}

void TDrawFrm::Newline1Click() {
    if (!TextEntryOpen()) return;
    const QRect box = EditBox;
    EndTextEntry();
    // The next line is a step of its own, straight below the last one.
    FormMouseDown(mbLeft, ssLeft, box.x(), box.y() + box.height());
    FormMouseUp(mbLeft, ssLeft, box.x(), box.y() + box.height());
}

// --- Stamps and tools ---

void TDrawFrm::StampClick(QAction* item) {
    EndTextEntry();
    if (Tool != dtImageStamp) {
        UncheckTools();
        Images1->menuAction()->setChecked(true);
    }
    // The stamp items are one radio group.
    UncheckStamps();
    item->setChecked(true);
    StampFile = item->data().toString();
    StampTransparent = Tag(item);
    SetTool(dtImageStamp);
}

void TDrawFrm::UncheckStamps() {
    for (QAction* item : Images1->actions())
        item->setChecked(false);
}

void TDrawFrm::UncheckTools() {
    struct TPlain {
        const char* Name;
        int Image;
    };
    const TPlain tools[] = {
        {"FreeHand", ToolIcons::FreeHand}, {"Line", ToolIcons::Line}, {"Rectangle", ToolIcons::Rectangle},
        {"Ellipse", ToolIcons::Ellipse},   {"Text", ToolIcons::Text},
    };
    for (const TPlain& t : tools) {
        QAction* action = Action(QString::fromLatin1(t.Name));
        action->setChecked(false);
        action->setIcon(ImageList1[t.Image]);
    }
    Action(QStringLiteral("LayerShifting"))->setChecked(false);
    Images1->menuAction()->setChecked(false);
    Images1->menuAction()->setIcon(ImageList1[ToolIcons::ImageStamps]);
    UncheckStamps();
}

void TDrawFrm::ChangeMode1Click() {
    const bool highlight = Action(QStringLiteral("Highlighter"))->isChecked();
    // The highlighter combines the pen colour with what lies below by a bitwise AND.
    WindowCanvas->Pen.Mode = highlight ? pmMask : pmCopy;
}
