#pragma once

#include "recorder/RecorderSeams.h"

// The machine's monotonic clock: never jumps with the wall clock, never wraps.
class TSteadyClock : public TRecorderClock {
public:
    int64_t NowMs() override;
    void SleepMs(int64_t ms) override;
};
