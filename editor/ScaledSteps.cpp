#include "ScaledSteps.h"

#include "model/DrawSteps.h"
#include "platform/Canvas.h"
#include "platform/Picture.h"
#include "platform/WinMath.h"

#include <QPoint>
#include <QRect>

namespace {

// The step's own fields, copied only between steps of one class.
void AssignOwn(TMoveList& target, const TMoveList& source) {
    target.Points.insert(target.Points.end(), source.Points.begin(), source.Points.end());
}
void AssignOwn(TLineStep& target, const TLineStep& source) {
    target.EndPoint = source.EndPoint;
}
void AssignOwn(TEllipseRect& target, const TEllipseRect& source) {
    target.EndX = source.EndX;
    target.EndY = source.EndY;
    target.Width = source.Width;
    target.Color = source.Color;
    target.IsRect = source.IsRect;
    target.Filled = source.Filled;
    target.Outside = source.Outside;
}
void AssignOwn(TTextStep& target, const TTextStep& source) {
    target.Text = source.Text;
    target.Font = source.Font;
}
void AssignOwn(TImageStep& target, const TImageStep& source) {
    target.FileName = source.FileName;
    target.Transparent = source.Transparent;
}

template <class TStep> bool AssignIf(TDrawStep& target, const TDrawStep& source) {
    auto* t = dynamic_cast<TStep*>(&target);
    if (!t) return false;
    if (const auto* s = dynamic_cast<const TStep*>(&source)) AssignOwn(*t, *s);
    return true;
}

template <class TStep> std::unique_ptr<TDrawStep> CloneIf(const TDrawStep& step) {
    if (!dynamic_cast<const TStep*>(&step)) return nullptr;
    auto clone = std::make_unique<TStep>();
    AssignStep(*clone, step);
    return clone;
}

struct TScaling {
    int Scale;
    QPoint Origin;
    int X(int v) const { return MulDiv(v, Scale, 100) - Origin.x(); }
    int Y(int v) const { return MulDiv(v, Scale, 100) - Origin.y(); }
    int Size(int v) const { return MulDiv(v, Scale, 100); }
};

void ScaleOwn(TMoveList& step, const TScaling& s) {
    for (TMove& point : step.Points) {
        point.X = s.X(point.X);
        point.Y = s.Y(point.Y);
        point.Width = s.Size(point.Width);
    }
}
void ScaleOwn(TLineStep& step, const TScaling& s) {
    step.EndPoint.X = s.X(step.EndPoint.X);
    step.EndPoint.Y = s.Y(step.EndPoint.Y);
    step.EndPoint.Width = s.Size(step.EndPoint.Width);
}
void ScaleOwn(TEllipseRect& step, const TScaling& s) {
    step.EndX = s.X(step.EndX);
    step.EndY = s.Y(step.EndY);
    step.Width = s.Size(step.Width);
}
void ScaleOwn(TTextStep& step, const TScaling& s) {
    step.Font.Size = s.Size(step.Font.Size);
    // The editor has no opaque text: a text never hides the frame behind a box.
    step.Transparent = true;
}

template <class TStep> bool ScaleIf(TDrawStep& step, const TScaling& s) {
    auto* t = dynamic_cast<TStep*>(&step);
    if (t) ScaleOwn(*t, s);
    return t != nullptr;
}

// A stamp is stretched between its scaled corners: the sums are scaled, not the sizes alone, so
// neighbouring stamps meet at every zoom as they do at 100 %.
void DrawStampScaled(const TImageStep& step, Canvas& canvas, const TScaling& s) {
    if (step.FileName.isEmpty()) return;
    const std::unique_ptr<TGraphic> picture = LoadStampPicture(step.FileName);
    picture->SetTransparent(step.Transparent);
    const QRect dest(QPoint(s.X(step.StartX), s.Y(step.StartY)),
                     QPoint(s.X(step.StartX + picture->Width()), s.Y(step.StartY + picture->Height())) -
                         QPoint(1, 1));
    if (dest.width() <= 0 || dest.height() <= 0) return;
    if (dest.size() == QSize(picture->Width(), picture->Height())) {
        picture->Draw(canvas, dest.x(), dest.y());
        return;
    }
    // ToImage is transparent wherever Draw would leave the canvas alone, so the stretched picture
    // keeps the picture's own transparency rule.
    canvas.DrawImage(dest.x(), dest.y(),
                     picture->ToImage().scaled(dest.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

} // namespace

void AssignStep(TDrawStep& target, const TDrawStep& source) {
    target.StartX = source.StartX;
    target.StartY = source.StartY;
    target.Mode = source.Mode;
    target.Layer = source.Layer;
    AssignIf<TMoveList>(target, source) || AssignIf<TLineStep>(target, source) ||
        AssignIf<TEllipseRect>(target, source) || AssignIf<TTextStep>(target, source) ||
        AssignIf<TImageStep>(target, source);
}

std::unique_ptr<TDrawStep> CloneStep(const TDrawStep& step) {
    std::unique_ptr<TDrawStep> clone = CloneIf<TMoveList>(step);
    if (!clone) clone = CloneIf<TLineStep>(step);
    if (!clone) clone = CloneIf<TEllipseRect>(step);
    if (!clone) clone = CloneIf<TTextStep>(step);
    if (!clone) clone = CloneIf<TImageStep>(step);
    return clone;
}

void DrawStepScaled(const TDrawStep& step, Canvas& canvas, int scale) {
    DrawStepScaled(step, canvas, scale, QPoint(0, 0));
}

void DrawStepScaled(const TDrawStep& step, Canvas& canvas, int scale, const QPoint& origin) {
    const TScaling s{scale, origin};
    if (const auto* stamp = dynamic_cast<const TImageStep*>(&step)) {
        DrawStampScaled(*stamp, canvas, s);
        return;
    }
    const std::unique_ptr<TDrawStep> scaled = CloneStep(step);
    if (!scaled) return;
    scaled->StartX = s.X(step.StartX);
    scaled->StartY = s.Y(step.StartY);
    ScaleIf<TMoveList>(*scaled, s) || ScaleIf<TLineStep>(*scaled, s) || ScaleIf<TEllipseRect>(*scaled, s) ||
        ScaleIf<TTextStep>(*scaled, s);
    // An outside cover fills all of the canvas but its shape: on a part of the view, that part is
    // all frame, so the whole scaled frame is covered, as the saved frame will be.
    scaled->Draw(canvas);
}
