#include "SpanUnion.h"

#include <algorithm>

void TSpanUnion::EmitTo(TSpanSink& sink) {
    if (Runs.empty()) return;
    int top = Runs.front().Y, bottom = top;
    for (const TRun& r : Runs) {
        top = std::min(top, r.Y);
        bottom = std::max(bottom, r.Y);
    }
    const auto byColumn = [](const TRun& a, const TRun& b) { return a.X0 < b.X0; };
    // The runs go into their rows by counting, which costs a pass where a sort of all of them costs
    // a logarithm more; a figure spread thinly over very many rows is sorted instead.
    const size_t rows = size_t(int64_t(bottom) - top + 1);
    if (rows > 4 * Runs.size() + 4096) {
        std::sort(Runs.begin(), Runs.end(),
                  [](const TRun& a, const TRun& b) { return a.Y != b.Y ? a.Y < b.Y : a.X0 < b.X0; });
        Sorted.swap(Runs);
    } else {
        RowStart.assign(rows + 1, 0);
        for (const TRun& r : Runs)
            ++RowStart[size_t(r.Y - top) + 1];
        for (size_t i = 1; i <= rows; ++i)
            RowStart[i] += RowStart[i - 1];
        Sorted.resize(Runs.size());
        for (const TRun& r : Runs)
            Sorted[size_t(RowStart[size_t(r.Y - top)]++)] = r;
        // RowStart[i] now ends row i; the rows are sorted by their first column one by one.
        size_t begin = 0;
        for (size_t i = 0; i < rows; ++i) {
            const size_t end = size_t(RowStart[i]);
            if (end - begin > 1) std::sort(Sorted.begin() + begin, Sorted.begin() + end, byColumn);
            begin = end;
        }
    }
    size_t i = 0;
    while (i < Sorted.size()) {
        TRun joined = Sorted[i++];
        while (i < Sorted.size() && Sorted[i].Y == joined.Y && Sorted[i].X0 <= joined.X1 + 1)
            joined.X1 = std::max(joined.X1, Sorted[i++].X1);
        sink.Span(joined.Y, joined.X0, joined.X1);
    }
    Runs.clear();
    Sorted.clear();
}
