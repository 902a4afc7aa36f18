#include "SpanUnion.h"

#include <algorithm>

void TSpanUnion::EmitTo(TSpanSink& sink) {
    std::sort(Runs.begin(), Runs.end(),
              [](const TRun& a, const TRun& b) { return a.Y != b.Y ? a.Y < b.Y : a.X0 < b.X0; });
    size_t i = 0;
    while (i < Runs.size()) {
        TRun joined = Runs[i++];
        while (i < Runs.size() && Runs[i].Y == joined.Y && Runs[i].X0 <= joined.X1 + 1)
            joined.X1 = std::max(joined.X1, Runs[i++].X1);
        sink.Span(joined.Y, joined.X0, joined.X1);
    }
    Runs.clear();
}
