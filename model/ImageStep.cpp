#include "ImageStep.h"

#include "platform/Picture.h"

void TImageStep::Draw(Canvas& canvas) const {
    if (FileName.isEmpty()) return;
    // Read from disk at every draw: the user may change the file between two paints, and a step
    // holds no picture of its own. Errors go to the caller, which knows how to report them.
    const std::unique_ptr<TGraphic> picture = LoadStampPicture(FileName);
    picture->SetTransparent(Transparent);
    picture->Draw(canvas, StartX, StartY);
}
