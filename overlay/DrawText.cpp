// The drawing window's side of the shared text entry, its image stamps, the clearing of the tool
// ticks and the highlighter switch.
#include "Draw.h"

#include "model/TextStep.h"
#include "platform/ShortCutDispatcher.h"
#include "tools/ToolChoice.h"

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
    step->Transparent = LayerSettings[DragLayer].TransparentFont;
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
    Entry->Cancel(*this);
}

void TDrawFrm::Newline1Click() {
    Entry->NewLine(*this);
}

void TDrawFrm::UndoTextStep() {
    UndoExecute();
    Invalidate();
}

void TDrawFrm::ClickAt(int x, int y) {
    FormMouseDown(mbLeft, ssLeft, x, y);
    FormMouseUp(mbLeft, ssLeft, x, y);
}

// --- Stamps and tools ---

void TDrawFrm::StampClick(QAction* item) {
    EndTextEntry();
    const ToolChoice::TStamp stamp =
        ToolChoice::ChooseStamp(Images1, item, Tool == dtImageStamp, [this] { UncheckTools(); });
    StampFile = stamp.File;
    StampTransparent = stamp.Transparent;
    SetTool(dtImageStamp);
}

void TDrawFrm::UncheckStamps() {
    ToolChoice::UncheckStamps(Images1);
}

void TDrawFrm::UncheckTools() {
    ToolChoice::UncheckTools([this](const QString& name) { return Action(name); }, Images1, ImageList1);
    Action(QStringLiteral("LayerShifting"))->setChecked(false);
}

void TDrawFrm::ChangeMode1Click() {
    const bool highlight = Action(QStringLiteral("Highlighter"))->isChecked();
    // The highlighter combines the pen colour with what lies below by a bitwise AND.
    WindowCanvas->Pen.Mode = highlight ? pmMask : pmCopy;
}
