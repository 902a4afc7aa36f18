#pragma once

#include <memory>

class Canvas;
class TDrawStep;
class QPoint;

// The editor's use of the annotation model's steps. A frame position keeps its steps at the frame's
// own size, 100 %, and the editor draws them at the zoom of its frame view; frame edits copy them
// between positions. The steps are the model's classes, drawn by their own Draw: what is added here
// is the scaling and the copying, so both programs keep one rasteriser.

// Draws the step with every stored coordinate, pen width and font size v drawn as
// MulDiv(v, scale, 100), shifted by -origin (the top-left of the part of the view the canvas holds).
// A text is always drawn without a background. A stamp is stretched into the scaled rectangle of its
// corners. Errors of a stamp that cannot be read pass on, as the model's Draw lets them.
void DrawStepScaled(const TDrawStep& step, Canvas& canvas, int scale, const QPoint& origin);
void DrawStepScaled(const TDrawStep& step, Canvas& canvas, int scale);

// A new step of the same class with the same contents; it owns its own points, end point and font.
std::unique_ptr<TDrawStep> CloneStep(const TDrawStep& step);

// Copies StartX, StartY, Mode and Layer from source whatever its class; the fields of the target's
// own class only when source is of that class. A freehand target keeps its points and gets the
// source's appended.
void AssignStep(TDrawStep& target, const TDrawStep& source);
