#pragma once

#include <algorithm>
#include <cstdint>

// Bounds of the numbers that a step read from annotation text may hold. A script or a clipboard text
// is outside input: a pen a million pixels wide, a font of a million points or a point two billion
// pixels away would make every repaint exhaust memory or hang, so values read are clamped to these.
// They are far beyond what the window makes (pens of 1 to 40, fonts of a few dozen points, points
// on the screen), so a text the programs wrote reads back unchanged.

// Both signs; a screen of 7680 pixels fits many times over, and the canvas is exact far beyond it.
constexpr int32_t MaxLoadedCoordinate = 100000;
constexpr int32_t MinLoadedPenWidth = 0;
constexpr int32_t MaxLoadedPenWidth = 1000;
// Points, or pixels when negative, as the font takes them: both signs.
constexpr int MaxLoadedFontSize = 1000;

inline int32_t ClampLoadedCoordinate(int32_t value) {
    return std::clamp(value, -MaxLoadedCoordinate, MaxLoadedCoordinate);
}
inline int32_t ClampLoadedPenWidth(int32_t value) {
    return std::clamp(value, MinLoadedPenWidth, MaxLoadedPenWidth);
}
inline int ClampLoadedFontSize(int value) {
    return std::clamp(value, -MaxLoadedFontSize, MaxLoadedFontSize);
}

// The drawing a whole text may ask for, so that a repaint of all it holds stays well within a second:
// a count of canvas pixels touched, a segment, a shape or a character touching at most a screen
// (1920 x 1080), with a fixed cost for each step and each point or character besides. The programs'
// own annotations come nowhere near it: it is a screen covered 256 times over, or some hundred
// thousand points. A text beyond it is refused whole with TooMuchDrawingMessage, and nothing of it is
// placed.
constexpr int64_t ScreenDrawingWork = int64_t(1920) * 1080;
constexpr int64_t StepDrawingWork = 4096;
constexpr int64_t PointDrawingWork = 1024;
constexpr int64_t MaxLoadedDrawingWork = 256 * ScreenDrawingWork;
inline constexpr const char* TooMuchDrawingMessage = "The annotations hold more drawing than can be shown";
