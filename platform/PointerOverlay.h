#pragma once

#include "Colors.h"
#include "PointerState.h"

#include <QImage>
#include <QPoint>
#include <optional>

// What a recorded frame shows of the mouse: a circle around the pointer while a button counts, and the
// pointer's picture over it. Positions are in the frame's own pixels; whatever falls outside the frame
// is left out.

// The circle's radius and pen, sized to stay visible around a 32-pixel pointer.
constexpr int ClickCircleRadius = 15;
constexpr int ClickCirclePenWidth = 2;
// Every pointer is drawn into a box of this size with its hot spot at the pointer position.
constexpr int PointerBoxSize = 32;

// The circle colour for the counted buttons, taken in the order left (red), right (green), middle
// (navy), so that the last one counted wins; none when no button counts.
std::optional<TColor> ClickCircleColor(const PointerButtons& counted);

// The outline of Ellipse(x - 15, y - 15, x + 15, y + 15) around pos: it covers the pixels from x - 15
// to x + 14 (right and bottom edge left out, as every ellipse here), 2 pixels wide. The frame is
// Format_RGB32.
void DrawClickCircle(QImage& frame, QPoint pos, TColor color);

// The pointer picture with its hot spot at pos. A picture that fits the 32 x 32 box is drawn at its
// own size, as the screen shows it; a larger one (a high-DPI theme) is scaled down to fit, its hot spot
// with it, so that it never covers more than the box.
void DrawPointer(QImage& frame, QPoint pos, const PointerImage& pointer);
