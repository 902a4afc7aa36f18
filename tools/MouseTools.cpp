// The mouse tools of a drawing view: drags that build steps, the rubber bands shown meanwhile and the
// selection drag of a partial save or copy.
#include "tools/MouseTools.h"

#include "model/DrawSteps.h"
#include "platform/WinMath.h"
#include "tools/Snapping.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The area a figure between two points touches, widened by the pen's reach.
QRect Span(int x0, int y0, int x1, int y1, int penWidth = 1) {
    const int reach = std::max(1, penWidth);
    return QRect(QPoint(std::min(x0, x1), std::min(y0, y1)), QPoint(std::max(x0, x1), std::max(y0, y1)))
        .adjusted(-reach, -reach, reach, reach);
}

} // namespace

std::unique_ptr<TDrawStep> TToolHost::NewStep(int tool) {
    switch (tool) {
    case dtFreeHand:
        return std::make_unique<TMoveList>();
    case dtLine:
        return std::make_unique<TLineStep>();
    case dtRectangle:
    case dtEllipse:
        return std::make_unique<TEllipseRect>();
    case dtText:
        return std::make_unique<TTextStep>();
    case dtImageStamp:
        return std::make_unique<TImageStep>();
    default:
        return nullptr;
    }
}

int TMouseTools::StoredX(int x) const {
    return MulDiv(x + Host.ToolOrigin().x(), 100, Host.ToolScale());
}

int TMouseTools::StoredY(int y) const {
    return MulDiv(y + Host.ToolOrigin().y(), 100, Host.ToolScale());
}

// --- Rubber bands ---

void TMouseTools::SetRubberPen() {
    TPen& pen = Host.ToolCanvas().Pen;
    pen.Width = 1;
    pen.Color = clBlack;
    pen.Style = TPenStyle::psDot;
    pen.Mode = pmNotXor;
}

void TMouseTools::FreeSavedPen() {
    if (!SavedPen) return;
    Host.ToolCanvas().Pen = *SavedPen;
    SavedPen.reset();
}

void TMouseTools::DrawRubberLine(int x0, int y0, int x1, int y1) {
    Canvas& canvas = Host.ToolCanvas();
    canvas.MoveTo(x0, y0);
    canvas.LineTo(x1, y1);
    Host.ShowArea(Span(x0, y0, x1, y1));
}

void TMouseTools::DrawRubberFigure(bool rect, int x0, int y0, int x1, int y1) {
    Canvas& canvas = Host.ToolCanvas();
    TBrushRecall brush(canvas);
    canvas.Brush.Style = TBrushStyle::bsClear;
    if (rect)
        canvas.Rectangle(x0, y0, x1, y1);
    else
        canvas.Ellipse(x0, y0, x1, y1);
    Host.ShowArea(Span(x0, y0, x1, y1));
}

// --- Press ---

void TMouseTools::StartDrag(TDragKind kind, int x, int y) {
    Drawing = true;
    DragKind = kind;
    SavedPen = Host.ToolCanvas().Pen;
    Down = Last = QPoint(x, y);
}

void TMouseTools::PressSelection(int x, int y) {
    StartDrag(TDragKind::Selection, x, y);
    SetRubberPen();
}

void TMouseTools::PressWindowDrag(int x, int y) {
    StartDrag(TDragKind::Window, x, y);
}

void TMouseTools::PressStep(int tool, int x, int y, const QString& stampFile, bool stampTransparent) {
    std::unique_ptr<TDrawStep> step = Host.NewStep(tool);
    if (!step) return;
    StartDrag(TDragKind::Step, x, y);
    Tool = tool;
    const TPen& pen = Host.ToolCanvas().Pen;
    const TToolPen stepPen = Host.StepPen();
    bool rubber = false;
    if (auto* stroke = dynamic_cast<TMoveList*>(step.get())) {
        stroke->Mode = pen.Mode;
    } else if (auto* line = dynamic_cast<TLineStep*>(step.get())) {
        line->EndPoint.Color = pen.Color;
        line->EndPoint.Width = stepPen.Width;
        line->Mode = pen.Mode;
        rubber = true;
    } else if (auto* shape = dynamic_cast<TEllipseRect*>(step.get())) {
        shape->Color = pen.Color;
        shape->Width = stepPen.Width;
        shape->Mode = pen.Mode;
        shape->IsRect = tool == dtRectangle;
        rubber = true;
    } else if (auto* stamp = dynamic_cast<TImageStep*>(step.get())) {
        stamp->FileName = stampFile;
        stamp->Transparent = stampTransparent;
    }
    step->StartX = StoredX(x);
    step->StartY = StoredY(y);
    if (tool == dtImageStamp) {
        try {
            Host.DrawStep(*step, Host.ToolCanvas());
            Host.ShowArea(QRect());
        } catch (...) {
            // A picture that cannot be drawn makes no step: the drag ends here, nothing left held.
            EndDrag();
            throw;
        }
    }
    if (rubber) SetRubberPen();
    Step = Host.AddStep(std::move(step));
}

// --- Move ---

void TMouseTools::Move(TShiftState shift, int x, int y) {
    if (!Drawing) return;
    switch (DragKind) {
    case TDragKind::Selection:
        DrawRubberFigure(true, Down.x(), Down.y(), Last.x(), Last.y());
        DrawRubberFigure(true, Down.x(), Down.y(), x, y);
        Last = QPoint(x, y);
        return;
    case TDragKind::Step:
        StepMove(shift, x, y);
        return;
    case TDragKind::Window:
    case TDragKind::None:
        return;
    }
}

void TMouseTools::StepMove(TShiftState shift, int x, int y) {
    switch (Tool) {
    case dtFreeHand: {
        if (shift == (ssShift | ssLeft))
            y = Last.y();
        else if (shift == (ssCtrl | ssLeft))
            x = Last.x();
        const TToolPen stepPen = Host.StepPen();
        TMove point;
        point.X = StoredX(x);
        point.Y = StoredY(y);
        point.Color = stepPen.Color;
        point.Width = stepPen.Width;
        static_cast<TMoveList*>(Step)->Points.push_back(point);
        Canvas& canvas = Host.ToolCanvas();
        canvas.MoveTo(Last.x(), Last.y());
        canvas.LineTo(x, y);
        Host.ShowArea(Span(Last.x(), Last.y(), x, y, canvas.Pen.Width));
        break;
    }
    case dtLine:
        if (shift & ssShift) SnapLineAngle(Down.x(), Down.y(), x, y);
        DrawRubberLine(Down.x(), Down.y(), Last.x(), Last.y());
        DrawRubberLine(Down.x(), Down.y(), x, y);
        break;
    case dtRectangle:
    case dtEllipse:
        if (shift & ssShift) MakeSquare(Down.x(), Down.y(), x, y);
        DrawRubberFigure(Tool == dtRectangle, Down.x(), Down.y(), Last.x(), Last.y());
        DrawRubberFigure(Tool == dtRectangle, Down.x(), Down.y(), x, y);
        break;
    default:
        break;
    }
    // The next erase redraws this same figure, after the locks and snapping.
    Last = QPoint(x, y);
}

// --- Release ---

void TMouseTools::ReleaseStep(TShiftState shift, int x, int y) {
    if (!Drawing || DragKind != TDragKind::Step) return;
    TDrawStep* step = Step;
    switch (Tool) {
    case dtLine: {
        auto* line = static_cast<TLineStep*>(step);
        if (shift & ssShift) SnapLineAngle(Down.x(), Down.y(), x, y);
        line->EndPoint.X = StoredX(x);
        line->EndPoint.Y = StoredY(y);
        DrawRubberLine(Down.x(), Down.y(), Last.x(), Last.y());
        FreeSavedPen();
        // The step draws itself exactly as every later paint will.
        Canvas& canvas = Host.ToolCanvas();
        Host.DrawStep(*line, canvas);
        Host.ShowArea(Span(Down.x(), Down.y(), x, y, canvas.Pen.Width));
        break;
    }
    case dtRectangle:
    case dtEllipse: {
        auto* shape = static_cast<TEllipseRect*>(step);
        if (shift & ssShift) MakeSquare(Down.x(), Down.y(), x, y);
        shape->EndX = StoredX(x);
        shape->EndY = StoredY(y);
        DrawRubberFigure(shape->IsRect, Down.x(), Down.y(), Last.x(), Last.y());
        FreeSavedPen();
        // Ctrl wins over Alt: both together give a filled figure.
        if (shift & ssCtrl)
            shape->Filled = true;
        else if (shift & ssAlt)
            shape->Outside = true;
        Canvas& canvas = Host.ToolCanvas();
        Host.DrawStep(*shape, canvas);
        Host.ShowArea(shape->Outside ? QRect() : Span(Down.x(), Down.y(), x, y, canvas.Pen.Width));
        break;
    }
    case dtText:
        Host.OpenTextEntry(static_cast<TTextStep*>(step));
        break;
    default:
        // A stroke ends at its last move; a stamp was drawn at the press.
        break;
    }
    EndDrag();
    Host.StepDone(step);
}

QImage TMouseTools::ReleaseSelection() {
    // The far corner is where the last move was seen; the release point itself is not used.
    DrawRubberFigure(true, Down.x(), Down.y(), Last.x(), Last.y());
    EndDrag();
    const int width = std::abs(Last.x() - Down.x()) - 2;
    const int height = std::abs(Last.y() - Down.y()) - 2;
    // A click, or a frame too thin to hold a pixel, selects nothing.
    if (width <= 0 || height <= 0) return {};
    // Inside the dotted frame: one pixel in from each side, the same area whichever way it was dragged.
    const QRect inside(std::min(Down.x(), Last.x()) + 1, std::min(Down.y(), Last.y()) + 1, width, height);
    QImage bitmap(width, height, QImage::Format_RGB32);
    bitmap.fill(Qt::black);
    {
        Canvas canvas(bitmap);
        canvas.CopyRect(QRect(0, 0, width, height), Host.ToolCanvas().Image(), inside);
    }
    return bitmap;
}

void TMouseTools::CancelSelection() {
    if (!Drawing || DragKind != TDragKind::Selection) return;
    DrawRubberFigure(true, Down.x(), Down.y(), Last.x(), Last.y());
    EndDrag();
}

void TMouseTools::EndDrag() {
    FreeSavedPen();
    Drawing = false;
    DragKind = TDragKind::None;
    Step = nullptr;
}
