#pragma once

// Receives the pixels of one figure as horizontal runs: row y, columns x0 to x1, both included.
class TSpanSink {
public:
    virtual ~TSpanSink() = default;
    virtual void Span(int y, int x0, int x1) = 0;
};
