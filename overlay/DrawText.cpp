// The drawing window's side of the shared text entry, its image stamps, the clearing of the tool
// ticks and the highlighter switch.
#include "Draw.h"

#include "model/TextStep.h"
#include "platform/ComponentTag.h"
#include "platform/ShortCutDispatcher.h"
#include "tools/ToolIcons.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>

bool TDrawFrm::TextEntryOpen() const {
    return Entry->IsOpen();
}

void TDrawFrm::PlaceEdit1() {
    Entry->Place(*WindowCanvas);
}

void TDrawFrm::OpenTextEntry(TTextStep* step) {
    Canvas& canvas = *WindowCanvas;
    Entry->Open(step, QPoint(step->StartX, step->StartY), canvas);
    TShortCutDispatcher::SetPopupMenu(this, PopupMenu2);
    step->Font = canvas.Font;
    step->Transparent = LayerTransparentFont[DragLayer];
}

void TDrawFrm::Edit1Change() {
    Entry->TextChanged(*WindowCanvas);
}

void TDrawFrm::EndTextEntry() {
    if (!TextEntryOpen()) return;
    setFocus(Qt::OtherFocusReason);
    Entry->Close();
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
    const QPoint next = Entry->NextLine();
    EndTextEntry();
    // The next line is a step of its own, straight below the last one.
    FormMouseDown(mbLeft, ssLeft, next.x(), next.y());
    FormMouseUp(mbLeft, ssLeft, next.x(), next.y());
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
