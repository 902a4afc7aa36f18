#include "EditList.h"

void TEditList::Reset(int count) {
    FrameSteps.clear();
    FrameSteps.resize(count);
    FrameMap.resize(count);
    for (int i = 0; i < count; ++i)
        FrameMap[i] = i;
    EditFrameCount = count;
    CurFrame = 0;
    StepPos = -1;
}

void TEditList::Clear() {
    EditFrameCount = -1;
    FrameSteps.clear();
    FrameMap.clear();
    CurFrame = 0;
    StepPos = -1;
}

void TEditList::MakeCurrent(int index) {
    CurFrame = index;
    StepPos = FrameSteps[index].Count() - 1;
}
