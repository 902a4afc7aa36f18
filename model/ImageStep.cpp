#include "ImageStep.h"

#include "platform/StampPictureCache.h"

void TImageStep::Draw(Canvas& canvas) const {
    if (FileName.isEmpty()) return;
    // The picture comes from the file as it is now: the user may change the file between two paints,
    // and the cache gives the new picture then. Errors go to the caller, which knows how to report them.
    const std::shared_ptr<const TGraphic> picture = CachedStampPicture(FileName, Transparent);
    picture->Draw(canvas, StartX, StartY);
}
