#pragma once

#include "platform/Canvas.h"
#include "tools/ShiftState.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

class TDrawStep;
class TTextStep;

// The drawing tools, by the number the windows keep as their current tool (the tool actions' Tags
// minus one). Layer shifting belongs to the tray program's drawing window alone.
enum TDrawTool : uint8_t {
    dtFreeHand = 0,
    dtLine = 1,
    dtRectangle = 2,
    dtEllipse = 3,
    dtText = 4,
    dtImageStamp = 5,
    dtLayerShifting = 6,
};

// The colour and width new steps take; the width in stored pixels, at 100 %.
struct TToolPen {
    TColor Color = clBlack;
    int Width = 1;
};

// What a window gives its mouse tools: the view they draw on, the scale it shows steps at, and the
// step family and list that receive what a drag makes. View pixels are the pixels of the view's
// canvas; steps store every value at 100 % and show a value v at MulDiv(v, scale, 100).
class TToolHost {
public:
    virtual ~TToolHost() = default;

    // The canvas that shows the view, up to date. Its pen carries the drawing colour, the pen width
    // at the view's scale and the pen mode; a drag borrows it and gives it back as it found it.
    virtual Canvas& ToolCanvas() = 0;
    // What was drawn on the canvas within the area (view pixels) reaches the screen; a null area
    // stands for the whole view.
    virtual void ShowArea(const QRect& area) = 0;
    // The view's scale in percent.
    virtual int ToolScale() const { return 100; }
    // The view pixel at the canvas's top-left corner, for a canvas that holds only the visible part
    // of a larger view. The tools are given, and draw in, canvas pixels.
    virtual QPoint ToolOrigin() const { return {}; }
    // A new step of the window's step family for a tool of TDrawTool, dtFreeHand to dtImageStamp; by
    // default the annotation model's own classes.
    virtual std::unique_ptr<TDrawStep> NewStep(int tool);
    // Draws a step on the view's canvas exactly as a repaint of the view will. May throw (a stamp).
    virtual void DrawStep(const TDrawStep& step, Canvas& canvas) = 0;
    // The colour and the width at 100 % of the steps a press makes.
    virtual TToolPen StepPen() const = 0;
    // Takes a new step into the window's list just after its position and returns it, still owned
    // by the list. It is the step being drawn until the release.
    virtual TDrawStep* AddStep(std::unique_ptr<TDrawStep> step) = 0;
    // The release of a text-tool drag: the text entry opens on the step at its start.
    virtual void OpenTextEntry(TTextStep* step) = 0;
    // The drag that made the step has ended: the step is finished (a text step with its entry open).
    virtual void StepDone(TDrawStep* step) = 0;

    // What the text entry's commands ask of the window: end the entry (the step takes the text),
    // undo the last step and show it, and a left press and release at a view point.
    virtual void EndTextEntry() = 0;
    virtual void UndoTextStep() = 0;
    virtual void ClickAt(int x, int y) = 0;
};

// The mouse tools of a drawing view: one press, drag and release of the left button makes one step of
// the current tool, with the rubber band of a line or shape shown meanwhile and the snapping of the
// Shift key, or selects the rectangle of a partial save or copy. The window keeps its own `Drawing`
// flag, which its commands read; the tools set and clear it.
class TMouseTools {
public:
    // What the running drag does, fixed at the press.
    enum class TDragKind { None, Selection, Step, Window };

    TMouseTools(TToolHost& host, bool& drawing) : Host(host), Drawing(drawing) {}
    TMouseTools(const TMouseTools&) = delete;
    TMouseTools& operator=(const TMouseTools&) = delete;

    TDragKind Kind() const { return DragKind; }
    int DownX() const { return Down.x(); }
    int DownY() const { return Down.y(); }
    int LastX() const { return Last.x(); }
    int LastY() const { return Last.y(); }
    // The step being drawn, kept from the press so that nothing that happens meanwhile can make the
    // move and release work on another step.
    TDrawStep* DragStep() const { return Step; }
    int DragTool() const { return Tool; }

    // Starts a drag that makes a step of the tool at the view point. The stamp tool draws its picture
    // at once; a picture that cannot be drawn makes no step and ends the drag, and the error goes on
    // to the caller.
    void PressStep(int tool, int x, int y, const QString& stampFile, bool stampTransparent);
    // Starts the selection drag of a partial save or copy.
    void PressSelection(int x, int y);
    // Starts a drag that the window carries out itself (layer shifting) with the tools' pen and
    // rubber bands.
    void PressWindowDrag(int x, int y);
    void Move(TShiftState shift, int x, int y);
    // Finishes a step drag at the release point.
    void ReleaseStep(TShiftState shift, int x, int y);
    // Ends the selection drag, its frame wiped; the picture inside the dotted frame, whose far corner
    // is the last move position, or a null image when the frame holds no pixel.
    QImage ReleaseSelection();
    // Ends a drag with no more drawing: the pen given back, no step finished.
    void EndDrag();
    // Ends a selection drag in progress, its frame wiped.
    void CancelSelection();
    void SetLast(int x, int y) { Last = QPoint(x, y); }

    // The rubber pen: dotted and inverting, so that a figure drawn twice gives back what lay below.
    void SetRubberPen();
    void DrawRubberLine(int x0, int y0, int x1, int y1);
    void DrawRubberFigure(bool rect, int x0, int y0, int x1, int y1);
    void FreeSavedPen();

private:
    void StartDrag(TDragKind kind, int x, int y);
    void StepMove(TShiftState shift, int x, int y);
    // A canvas coordinate as the step stores it, at 100 %.
    int StoredX(int x) const;
    int StoredY(int y) const;

    TToolHost& Host;
    bool& Drawing;
    TDragKind DragKind = TDragKind::None;
    int Tool = dtFreeHand;
    TDrawStep* Step = nullptr;
    QPoint Down;
    QPoint Last;
    std::optional<TPen> SavedPen;
};
