#pragma once

#include "StepList.h"

#include <cstdint>
#include <vector>

// The edit list of the open file: positions 0 to EditFrameCount - 1, each showing a frame of the
// file (FrameMap) and owning its annotation steps (FrameSteps). Edits change the list, never the
// file; saving writes the list to a new file. Several positions may show one frame, each with its
// own steps.
class TEditList {
public:
    // The frame-number up-down holds 16-bit values: no list is longer.
    static constexpr int MaxPositions = 32767;

    // 0 before the first open, -1 after Close, else the number of positions.
    int EditFrameCount = 0;
    // The current position, 0-based; meaningful only while there are positions.
    int CurFrame = 0;
    // Position -> frame index of the open file.
    std::vector<int32_t> FrameMap;
    std::vector<TDrawSteps> FrameSteps;
    // The last done step of the current position's list, -1 for none; later steps are undone.
    int StepPos = -1;

    // A fresh list over a file of count frames: position i shows frame i, no steps, position 0
    // current.
    void Reset(int count);
    // No file: no positions (EditFrameCount -1), every step freed.
    void Clear();

    int Count() const { return EditFrameCount > 0 ? EditFrameCount : 0; }
    // A list without positions (a file of no frames, or none open) has no current position, and
    // nothing may read or write the lists then.
    bool HasCurrent() const { return EditFrameCount > 0; }
    bool HasPosition(int index) const { return index >= 0 && index < EditFrameCount; }
    // The current position's steps; only while HasCurrent().
    TDrawSteps& CurrentSteps() { return FrameSteps[CurFrame]; }
    const TDrawSteps& CurrentSteps() const { return FrameSteps[CurFrame]; }
    // Makes index current with every one of its steps done, those undone there before included.
    void MakeCurrent(int index);
};
