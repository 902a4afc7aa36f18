// The drawing window's mouse handlers over the shared mouse tools, its layer shifting and the end of
// a partial save's or copy's selection.
#include "Draw.h"

#include "model/DrawSteps.h"
#include "platform/MessageDlg.h"

#include <QAction>
#include <QLineEdit>
#include <QMouseEvent>

// --- Qt's mouse events, in canvas pixels ---

void TDrawFrm::mousePressEvent(QMouseEvent* event) {
    if (!IsMouseButton(event->button())) return;
    const QPoint at = CanvasPoint(event->position());
    const TShiftState shift = ShiftStateOf(event->modifiers(), event->buttons());
    RunCommand([&] { FormMouseDown(MouseButtonOf(event->button()), shift, at.x(), at.y()); });
}

void TDrawFrm::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = CanvasPoint(event->position());
    const TShiftState shift = ShiftStateOf(event->modifiers(), event->buttons());
    RunCommand([&] { FormMouseMove(shift, at.x(), at.y()); });
}

void TDrawFrm::mouseReleaseEvent(QMouseEvent* event) {
    if (!IsMouseButton(event->button())) return;
    const QPoint at = CanvasPoint(event->position());
    const TShiftState shift = ShiftStateOf(event->modifiers(), event->buttons());
    RunCommand([&] { FormMouseUp(MouseButtonOf(event->button()), shift, at.x(), at.y()); });
}

// --- The host of the shared tools: the surface at 100 %, the current layer's list ---

void TDrawFrm::ShowArea(const QRect& area) {
    if (area.isNull())
        update();
    else
        UpdateArea(area);
}

void TDrawFrm::DrawStep(const TDrawStep& step, Canvas& canvas) {
    step.Draw(canvas);
}

TToolPen TDrawFrm::StepPen() const {
    return {LayerSettings[DragLayer].Color, LayerSettings[DragLayer].Width};
}

TDrawStep* TDrawFrm::AddStep(std::unique_ptr<TDrawStep> step) {
    step->Layer = DragLayer;
    return Model.InsertDrawn(DragLayer, std::move(step));
}

void TDrawFrm::StepDone(TDrawStep* step) {
    Model.AppendToPaintList(step);
    Modified = true;
    FollowPaintList();
}

// --- Press, move, release ---

void TDrawFrm::ShowLayerOfPress() {
    if (LayerVisible[CurrLayer]) return;
    if (QAction* item = LayerItem(CurrLayer)) item->setChecked(true);
    LayerVisible[CurrLayer] = true;
    Invalidate();
}

void TDrawFrm::FormMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (TextEntryOpen()) {
        Edit1->setFocus();
        return;
    }
    if (Busy || button != mbLeft) return;
    if (Drawing) {
        // The release of the last drag never came (something took the mouse meanwhile): it ends
        // where it was last seen, so that its step is not left half made.
        FormMouseUp(mbLeft, 0, Tools.LastX(), Tools.LastY());
        if (TextEntryOpen()) return;
    }
    if (SavePartial || CopyPartial) {
        Tools.PressSelection(x, y);
        return;
    }
    ShowLayerOfPress();
    DragLayer = CurrLayer;
    if (Tool == dtLayerShifting) {
        Tools.PressWindowDrag(x, y);
        LayerShiftDown(shift, x, y);
        return;
    }
    try {
        Tools.PressStep(Tool, x, y, StampFile, StampTransparent != 0);
    } catch (...) {
        // A stamp that cannot be drawn made no step and ended its drag: reported once, here.
        ShowException(std::current_exception(), this);
    }
}

void TDrawFrm::FormMouseMove(TShiftState shift, int x, int y) {
    if (!Drawing || Busy) return;
    if (Tools.Kind() == TDragKind::Window)
        LayerShiftMove(x, y);
    else
        Tools.Move(shift, x, y);
}

void TDrawFrm::FormMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (!Drawing || Busy || button != mbLeft || TextEntryOpen()) return;
    switch (Tools.Kind()) {
    case TDragKind::Selection:
        SelectionUp();
        return;
    case TDragKind::Window:
        LayerShiftUp(x, y);
        return;
    case TDragKind::Step:
        Tools.ReleaseStep(shift, x, y);
        return;
    case TDragKind::None:
        Tools.EndDrag();
        return;
    }
}

// --- Layer shifting ---

void TDrawFrm::LayerShiftDown(TShiftState shift, int x, int y) {
    if (shift == ssLeft) {
        ShiftMode = smLive;
    } else if (shift == (ssCtrl | ssLeft)) {
        ShiftMode = smHiddenRubberLine;
        LayerVisible[DragLayer] = false;
        Invalidate();
        Tools.SetRubberPen();
    } else {
        ShiftMode = smRubberLine;
        Tools.SetRubberPen();
    }
}

void TDrawFrm::LayerShiftMove(int x, int y) {
    if (ShiftMode == smLive) {
        OffsetLayer(DragLayer, x - Tools.LastX(), y - Tools.LastY());
    } else {
        Tools.DrawRubberLine(Tools.DownX(), Tools.DownY(), Tools.LastX(), Tools.LastY());
        Tools.DrawRubberLine(Tools.DownX(), Tools.DownY(), x, y);
    }
    Tools.SetLast(x, y);
}

void TDrawFrm::LayerShiftUp(int x, int y) {
    if (ShiftMode == smLive) {
        OffsetLayer(DragLayer, x - Tools.LastX(), y - Tools.LastY());
        Tools.EndDrag();
    } else {
        Tools.DrawRubberLine(Tools.DownX(), Tools.DownY(), Tools.LastX(), Tools.LastY());
        Tools.EndDrag();
        if (ShiftMode == smHiddenRubberLine) LayerVisible[DragLayer] = true;
        OffsetLayer(DragLayer, x - Tools.DownX(), y - Tools.DownY());
    }
}

void TDrawFrm::OffsetLayer(int layer, int dx, int dy) {
    if (!TLayerModel::IsLayer(layer)) return;
    const TLayerModel::TStepList& steps = Model.Steps(layer);
    // Only the done steps move: an undone step comes back where it was drawn.
    for (int i = 0; i <= Model.Pos(layer); ++i) {
        TDrawStep* step = steps[i].get();
        step->StartX += dx;
        step->StartY += dy;
        if (auto* stroke = dynamic_cast<TMoveList*>(step)) {
            for (TMove& point : stroke->Points) {
                point.X += dx;
                point.Y += dy;
            }
        } else if (auto* shape = dynamic_cast<TEllipseRect*>(step)) {
            shape->EndX += dx;
            shape->EndY += dy;
        } else if (auto* line = dynamic_cast<TLineStep*>(step)) {
            line->EndPoint.X += dx;
            line->EndPoint.Y += dy;
        }
    }
    Invalidate();
}

// --- Selection of a partial save or copy ---

void TDrawFrm::SelectionUp() {
    const bool save = SavePartial;
    SavePartial = false;
    CopyPartial = false;
    const QImage bitmap = Tools.ReleaseSelection();
    if (!bitmap.isNull()) PartialImage(bitmap, save);
}

void TDrawFrm::EndPartialSelection(bool save, bool copy) {
    if (save) SavePartial = false;
    if (copy) CopyPartial = false;
    // A selection drag that has no selection left to make ends here, its frame wiped and the pen
    // given back.
    if (!SavePartial && !CopyPartial) Tools.CancelSelection();
}
