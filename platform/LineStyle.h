#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The on/off pattern of a styled one-pixel pen, counted in pixels along the line's major axis. The
// pattern runs on across the lines of one figure (the four sides of a rectangle, a polyline) and
// starts afresh with each figure.
class TLineStyle {
public:
    // Alternating lengths of dashes and gaps, starting with a dash.
    explicit TLineStyle(std::span<const int> lengths);

    // Whether the pixel `index` places after the current position is drawn.
    bool On(int64_t index) const { return Mask[static_cast<size_t>((Phase + index) % Period)]; }
    void Advance(int64_t count) { Phase = (Phase + count) % Period; }

private:
    std::vector<bool> Mask;
    int64_t Period = 1;
    int64_t Phase = 0;
};
