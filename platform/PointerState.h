#pragma once

#include <QImage>
#include <QPoint>

// The mouse buttons that count for a click circle.
struct PointerButtons {
    bool Left = false;
    bool Right = false;
    bool Middle = false;

    bool Any() const { return Left || Right || Middle; }
    bool operator==(const PointerButtons&) const = default;
};

// The pointer's picture as the screen shows it, and the pixel of it that is the pointer position.
struct PointerImage {
    // Format_ARGB32_Premultiplied.
    QImage Image;
    QPoint HotSpot;
};
