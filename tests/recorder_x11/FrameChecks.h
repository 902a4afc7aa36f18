#pragma once

#include "platform/PointerState.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <vector>

// Comparisons of a decoded frame with what the screen showed. Microsoft Video 1 keeps 5 bits of each
// channel, so a channel may come back up to 7 off; ChannelTolerance leaves one step more for rounding.
constexpr int ChannelTolerance = 8;

// Where content (a picture shown on the screen) lies in the frame, and the parts of it that the
// comparison leaves out (where the pointer or the circle was drawn over it), in frame pixels.
struct TContentPlacement {
    QPoint At;
    std::vector<QRect> LeftOut;
};

struct TContentMatch {
    long long Compared = 0;
    long long Wrong = 0;       // beyond ChannelTolerance
    int Largest = 0;           // the largest channel difference
    QPoint FirstWrong{-1, -1}; // in frame pixels
};

// Compares every pixel of content with the frame, channel by channel within ChannelTolerance.
TContentMatch MatchContent(const QImage& frame, const QImage& content, const TContentPlacement& placement);

// The box that the pointer picture covers with its hot spot at pos, with the click circle around it.
QRect PointerAndCircleBox(QPoint pos, const PointerImage& pointer);

// The pointer is drawn at pos: of the pointer's opaque pixels that differ clearly from the content
// below them, at least four in five show the pointer's colour rather than the content's.
bool PointerShownAt(const QImage& frame, QPoint pos, const PointerImage& pointer, const QImage& content,
                    QPoint contentAt);

// The share of the click circle's pixels around pos (those the pointer does not cover) that show the
// colour, within a wide tolerance for the codec's blocks mixing it with what lies around.
double CircleShare(const QImage& frame, QPoint pos, const PointerImage& pointer, QRgb colour);
