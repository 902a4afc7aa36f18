#pragma once

#include <cstdint>

class Canvas;

// One drawing operation made on the screen copy. The fields are stored in annotation files and
// clipboard texts; their meaning must not change.
class TDrawStep {
public:
    TDrawStep() = default;
    virtual ~TDrawStep() = default;
    TDrawStep(const TDrawStep&) = delete;
    TDrawStep& operator=(const TDrawStep&) = delete;

    // Draws in canvas pixels as stored: no scaling, clipping or translation of its own. Only an image
    // step can fail, by throwing; every step leaves the canvas tools it changes as it found them.
    virtual void Draw(Canvas& canvas) const = 0;

    int32_t StartX = 0;
    int32_t StartY = 0;
    // Pen-mode ordinal: pmCopy (4) draws normally, pmMask (12) highlights.
    uint8_t Mode = 0;
    // 1 to 5 in the drawing window; the step itself does not check it.
    int32_t Layer = 0;
};
