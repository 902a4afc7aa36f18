#include "FrameChecks.h"

#include "platform/PointerOverlay.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Pointer pixels count as telling apart from the content when a channel differs by this much.
constexpr int ClearDifference = 96;
// A circle pixel counts as the circle's colour when each channel lies this near to it.
constexpr int CircleTolerance = 64;

int ChannelDistance(QRgb a, QRgb b) {
    return std::max(
        {std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

bool Inside(const QImage& image, QPoint p) {
    return p.x() >= 0 && p.y() >= 0 && p.x() < image.width() && p.y() < image.height();
}

// The pointer's pixel over a background pixel, as DrawPointer composes it (premultiplied).
QRgb Over(QRgb pointer, QRgb background) {
    const int a = qAlpha(pointer);
    auto mix = [&](int p, int b) { return p + b * (255 - a) / 255; };
    return qRgb(mix(qRed(pointer), qRed(background)), mix(qGreen(pointer), qGreen(background)),
                mix(qBlue(pointer), qBlue(background)));
}

} // namespace

TContentMatch MatchContent(const QImage& frame, const QImage& content, const TContentPlacement& placement) {
    TContentMatch match;
    for (int y = 0; y < content.height(); ++y)
        for (int x = 0; x < content.width(); ++x) {
            const QPoint at = placement.At + QPoint(x, y);
            if (std::any_of(placement.LeftOut.begin(), placement.LeftOut.end(),
                            [&](const QRect& r) { return r.contains(at); }))
                continue;
            ++match.Compared;
            const int distance =
                Inside(frame, at) ? ChannelDistance(frame.pixel(at), content.pixel(x, y)) : 256;
            match.Largest = std::max(match.Largest, distance);
            if (distance > ChannelTolerance && match.Wrong++ == 0) match.FirstWrong = at;
        }
    return match;
}

QRect PointerAndCircleBox(QPoint pos, const PointerImage& pointer) {
    const QRect circle(pos.x() - ClickCircleRadius, pos.y() - ClickCircleRadius, 2 * ClickCircleRadius,
                       2 * ClickCircleRadius);
    const QRect picture(pos - pointer.HotSpot, pointer.Image.size());
    // The codec's 4 x 4 blocks may spread either a little further.
    return circle.united(picture).adjusted(-4, -4, 4, 4);
}

bool PointerShownAt(const QImage& frame, QPoint pos, const PointerImage& pointer, const QImage& content,
                    QPoint contentAt) {
    int telling = 0, shown = 0;
    const QImage& image = pointer.Image;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) != 255) continue;
            const QPoint at = pos - pointer.HotSpot + QPoint(x, y);
            const QPoint inContent = at - contentAt;
            if (!Inside(frame, at) || !Inside(content, inContent)) continue;
            const QRgb below = content.pixel(inContent);
            const QRgb expected = Over(p, below);
            if (ChannelDistance(expected, below) < ClearDifference) continue;
            ++telling;
            const QRgb got = frame.pixel(at);
            if (ChannelDistance(got, expected) < ChannelDistance(got, below)) ++shown;
        }
    return telling > 0 && shown * 5 >= telling * 4;
}

double CircleShare(const QImage& frame, QPoint pos, const PointerImage& pointer, QRgb colour) {
    QImage ring(frame.size(), QImage::Format_RGB32);
    ring.fill(Qt::black);
    DrawClickCircle(ring, pos, clWhite); // white marks the circle's pixels
    const QRect picture(pos - pointer.HotSpot, pointer.Image.size());
    int pixels = 0, coloured = 0;
    const QRect box = QRect(pos.x() - ClickCircleRadius, pos.y() - ClickCircleRadius, 2 * ClickCircleRadius,
                            2 * ClickCircleRadius)
                          .intersected(frame.rect());
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            if (ring.pixel(x, y) != 0xFFFFFFFFu) continue;
            if (picture.contains(x, y)) {
                const QRgb p = pointer.Image.pixel(QPoint(x, y) - picture.topLeft());
                if (qAlpha(p) != 0) continue;
            }
            ++pixels;
            if (ChannelDistance(frame.pixel(x, y), colour) <= CircleTolerance) ++coloured;
        }
    return pixels ? double(coloured) / pixels : 0.0;
}
