// The drawing window's mouse tools: drags that build steps, the rubber bands shown meanwhile, layer
// shifting and the selection drag of a partial save or copy.
#include "Draw.h"

#include "Snapping.h"
#include "model/DrawSteps.h"
#include "platform/MessageDlg.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <cstdlib>

namespace {

TMouseButton ButtonOf(Qt::MouseButton button) {
    switch (button) {
    case Qt::RightButton:
        return mbRight;
    case Qt::MiddleButton:
        return mbMiddle;
    default:
        return mbLeft;
    }
}

bool IsMouseButton(Qt::MouseButton button) {
    return button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton;
}

QRect Span(int x0, int y0, int x1, int y1, int penWidth = 1) {
    const int reach = std::max(1, penWidth);
    return QRect(QPoint(std::min(x0, x1), std::min(y0, y1)), QPoint(std::max(x0, x1), std::max(y0, y1)))
        .adjusted(-reach, -reach, reach, reach);
}

} // namespace

// --- Qt's mouse events, in canvas pixels ---

void TDrawFrm::mousePressEvent(QMouseEvent* event) {
    if (!IsMouseButton(event->button())) return;
    const QPoint at = CanvasPoint(event->position());
    const TShiftState shift = ShiftStateOf(event->modifiers(), event->buttons());
    RunCommand([&] { FormMouseDown(ButtonOf(event->button()), shift, at.x(), at.y()); });
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
    RunCommand([&] { FormMouseUp(ButtonOf(event->button()), shift, at.x(), at.y()); });
}

// --- Rubber bands ---

void TDrawFrm::SetRubberPen() {
    // Dotted and inverting: drawn a second time on the same points, it gives back what lay below.
    TPen& pen = WindowCanvas->Pen;
    pen.Width = 1;
    pen.Color = clBlack;
    pen.Style = TPenStyle::psDot;
    pen.Mode = pmNotXor;
}

void TDrawFrm::FreeSavedPen() {
    if (!SavedPen) return;
    WindowCanvas->Pen = *SavedPen;
    SavedPen.reset();
}

void TDrawFrm::DrawRubberLine(int x0, int y0, int x1, int y1) {
    Canvas& canvas = DrawingCanvas();
    canvas.MoveTo(x0, y0);
    canvas.LineTo(x1, y1);
    UpdateArea(Span(x0, y0, x1, y1));
}

void TDrawFrm::DrawRubberFigure(bool rect, int x0, int y0, int x1, int y1) {
    Canvas& canvas = DrawingCanvas();
    TBrushRecall brush(canvas);
    canvas.Brush.Style = TBrushStyle::bsClear;
    if (rect)
        canvas.Rectangle(x0, y0, x1, y1);
    else
        canvas.Ellipse(x0, y0, x1, y1);
    UpdateArea(Span(x0, y0, x1, y1));
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
        FormMouseUp(mbLeft, 0, LastX, LastY);
        if (TextEntryOpen()) return;
    }
    Drawing = true;
    SavedPen = WindowCanvas->Pen;
    if (SavePartial || CopyPartial) {
        DragKind = TDragKind::Selection;
        DownX = LastX = x;
        DownY = LastY = y;
        SetRubberPen();
        return;
    }
    ShowLayerOfPress();
    DragLayer = CurrLayer;
    DragTool = Tool;
    if (Tool == dtLayerShifting) {
        DragKind = TDragKind::LayerShift;
        LayerShiftDown(shift, x, y);
        return;
    }

    const TPen& pen = WindowCanvas->Pen;
    std::unique_ptr<TDrawStep> step;
    bool rubber = false;
    switch (Tool) {
    case dtFreeHand: {
        auto stroke = std::make_unique<TMoveList>();
        stroke->Mode = pen.Mode;
        step = std::move(stroke);
        break;
    }
    case dtLine: {
        auto line = std::make_unique<TLineStep>();
        line->EndPoint.Color = pen.Color;
        line->EndPoint.Width = pen.Width;
        line->Mode = pen.Mode;
        step = std::move(line);
        rubber = true;
        break;
    }
    case dtRectangle:
    case dtEllipse: {
        auto shape = std::make_unique<TEllipseRect>();
        shape->Color = pen.Color;
        shape->Width = pen.Width;
        shape->Mode = pen.Mode;
        shape->IsRect = Tool == dtRectangle;
        step = std::move(shape);
        rubber = true;
        break;
    }
    case dtText:
        step = std::make_unique<TTextStep>();
        break;
    case dtImageStamp: {
        auto stamp = std::make_unique<TImageStep>();
        stamp->FileName = StampFile;
        stamp->Transparent = StampTransparent != 0;
        step = std::move(stamp);
        break;
    }
    default:
        FreeSavedPen();
        Drawing = false;
        return;
    }
    step->StartX = x;
    step->StartY = y;
    step->Layer = CurrLayer;
    if (Tool == dtImageStamp) {
        try {
            step->Draw(DrawingCanvas());
            update();
        } catch (...) {
            // A picture that cannot be drawn makes no step: the press ends here, once reported.
            FreeSavedPen();
            Drawing = false;
            DragKind = TDragKind::None;
            ShowException(std::current_exception(), this);
            return;
        }
    }
    if (rubber) SetRubberPen();
    DragStep = Model.InsertDrawn(CurrLayer, std::move(step));
    DragKind = TDragKind::Step;
    LastX = x;
    LastY = y;
}

void TDrawFrm::FormMouseMove(TShiftState shift, int x, int y) {
    if (!Drawing || Busy) return;
    switch (DragKind) {
    case TDragKind::Selection:
        DrawRubberFigure(true, DownX, DownY, LastX, LastY);
        DrawRubberFigure(true, DownX, DownY, x, y);
        LastX = x;
        LastY = y;
        return;
    case TDragKind::LayerShift:
        LayerShiftMove(x, y);
        return;
    case TDragKind::Step:
        StepMove(shift, x, y);
        return;
    case TDragKind::None:
        return;
    }
}

void TDrawFrm::StepMove(TShiftState shift, int x, int y) {
    switch (DragTool) {
    case dtFreeHand: {
        if (shift == (ssShift | ssLeft))
            y = LastY;
        else if (shift == (ssCtrl | ssLeft))
            x = LastX;
        auto* stroke = static_cast<TMoveList*>(DragStep);
        TMove point;
        point.X = x;
        point.Y = y;
        point.Color = LayerSettings[DragLayer].Color;
        point.Width = LayerSettings[DragLayer].Width;
        stroke->Points.push_back(point);
        Canvas& canvas = DrawingCanvas();
        canvas.MoveTo(LastX, LastY);
        canvas.LineTo(x, y);
        UpdateArea(Span(LastX, LastY, x, y, canvas.Pen.Width));
        break;
    }
    case dtLine:
        if (shift & ssShift) SnapLineAngle(DragStep->StartX, DragStep->StartY, x, y);
        DrawRubberLine(DragStep->StartX, DragStep->StartY, LastX, LastY);
        DrawRubberLine(DragStep->StartX, DragStep->StartY, x, y);
        break;
    case dtRectangle:
    case dtEllipse:
        if (shift & ssShift) MakeSquare(DragStep->StartX, DragStep->StartY, x, y);
        DrawRubberFigure(DragTool == dtRectangle, DragStep->StartX, DragStep->StartY, LastX, LastY);
        DrawRubberFigure(DragTool == dtRectangle, DragStep->StartX, DragStep->StartY, x, y);
        break;
    default:
        break;
    }
    LastX = x;
    LastY = y;
}

void TDrawFrm::FormMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (!Drawing || Busy || button != mbLeft || TextEntryOpen()) return;
    switch (DragKind) {
    case TDragKind::Selection:
        SelectionUp();
        return;
    case TDragKind::LayerShift:
        LayerShiftUp(x, y);
        return;
    case TDragKind::Step:
        StepUp(shift, x, y);
        return;
    case TDragKind::None:
        FreeSavedPen();
        Drawing = false;
        return;
    }
}

void TDrawFrm::StepUp(TShiftState shift, int x, int y) {
    TDrawStep* step = DragStep;
    switch (DragTool) {
    case dtLine: {
        auto* line = static_cast<TLineStep*>(step);
        if (shift & ssShift) SnapLineAngle(line->StartX, line->StartY, x, y);
        line->EndPoint.X = x;
        line->EndPoint.Y = y;
        DrawRubberLine(line->StartX, line->StartY, LastX, LastY);
        FreeSavedPen();
        line->Draw(DrawingCanvas());
        UpdateArea(Span(line->StartX, line->StartY, x, y, line->EndPoint.Width));
        break;
    }
    case dtRectangle:
    case dtEllipse: {
        auto* shape = static_cast<TEllipseRect*>(step);
        if (shift & ssShift) MakeSquare(shape->StartX, shape->StartY, x, y);
        shape->EndX = x;
        shape->EndY = y;
        DrawRubberFigure(shape->IsRect, shape->StartX, shape->StartY, LastX, LastY);
        FreeSavedPen();
        if (shift & ssCtrl)
            shape->Filled = true;
        else if (shift & ssAlt)
            shape->Outside = true;
        // The step draws itself exactly as every later paint will.
        shape->Draw(DrawingCanvas());
        if (shape->Outside)
            update();
        else
            UpdateArea(Span(shape->StartX, shape->StartY, x, y, shape->Width));
        break;
    }
    case dtText:
        StartTextEntry(static_cast<TTextStep*>(step));
        break;
    default:
        // A stroke ends at its last move; a stamp was drawn at the press.
        break;
    }
    Model.AppendToPaintList(step);
    FreeSavedPen();
    Drawing = false;
    DragKind = TDragKind::None;
    DragStep = nullptr;
    Modified = true;
}

// --- Layer shifting ---

void TDrawFrm::LayerShiftDown(TShiftState shift, int x, int y) {
    DownX = LastX = x;
    DownY = LastY = y;
    if (shift == ssLeft) {
        ShiftMode = smLive;
    } else if (shift == (ssCtrl | ssLeft)) {
        ShiftMode = smHiddenRubberLine;
        LayerVisible[DragLayer] = false;
        Invalidate();
        SetRubberPen();
    } else {
        ShiftMode = smRubberLine;
        SetRubberPen();
    }
}

void TDrawFrm::LayerShiftMove(int x, int y) {
    if (ShiftMode == smLive) {
        OffsetLayer(DragLayer, x - LastX, y - LastY);
    } else {
        DrawRubberLine(DownX, DownY, LastX, LastY);
        DrawRubberLine(DownX, DownY, x, y);
    }
    LastX = x;
    LastY = y;
}

void TDrawFrm::LayerShiftUp(int x, int y) {
    if (ShiftMode == smLive) {
        OffsetLayer(DragLayer, x - LastX, y - LastY);
        FreeSavedPen();
    } else {
        DrawRubberLine(DownX, DownY, LastX, LastY);
        FreeSavedPen();
        if (ShiftMode == smHiddenRubberLine) LayerVisible[DragLayer] = true;
        OffsetLayer(DragLayer, x - DownX, y - DownY);
    }
    Drawing = false;
    DragKind = TDragKind::None;
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
    // The far corner is where the last move was seen; the release point itself is not used.
    DrawRubberFigure(true, DownX, DownY, LastX, LastY);
    FreeSavedPen();
    const int width = std::abs(LastX - DownX) - 2;
    const int height = std::abs(LastY - DownY) - 2;
    // Inside the dotted frame: one pixel in from each side, the same area whichever way it was dragged.
    const QRect inside(std::min(DownX, LastX) + 1, std::min(DownY, LastY) + 1, width, height);
    const bool save = SavePartial;
    SavePartial = false;
    CopyPartial = false;
    Drawing = false;
    DragKind = TDragKind::None;
    // A click, or a frame too thin to hold a pixel, selects nothing.
    if (width <= 0 || height <= 0) return;
    QImage bitmap(width, height, QImage::Format_RGB32);
    bitmap.fill(Qt::black);
    {
        Canvas canvas(bitmap);
        canvas.CopyRect(QRect(0, 0, width, height), DrawingCanvas().Image(), inside);
    }
    PartialImage(bitmap, save);
}

void TDrawFrm::EndPartialSelection(bool save, bool copy) {
    if (save) SavePartial = false;
    if (copy) CopyPartial = false;
    // A selection drag that has no selection left to make ends here, its frame wiped and the pen
    // given back.
    if (Drawing && DragKind == TDragKind::Selection && !SavePartial && !CopyPartial) {
        DrawRubberFigure(true, DownX, DownY, LastX, LastY);
        FreeSavedPen();
        Drawing = false;
        DragKind = TDragKind::None;
    }
}
