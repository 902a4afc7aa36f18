#pragma once

#include "SpanSink.h"

#include <vector>

// Gathers the runs of several overlapping figures and hands out their union, each pixel once: a
// wide polyline drawn in XOR must not cancel itself where its segments meet.
class TSpanUnion final : public TSpanSink {
public:
    void Span(int y, int x0, int x1) override { Runs.push_back({y, x0, x1}); }
    void EmitTo(TSpanSink& sink);

private:
    struct TRun {
        int Y, X0, X1;
    };
    std::vector<TRun> Runs;
    // Kept between figures: a stroke of many segments comes through here once per paint.
    std::vector<TRun> Sorted;
    std::vector<int> RowStart;
};
