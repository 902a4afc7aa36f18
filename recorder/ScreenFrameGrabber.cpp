#include "ScreenFrameGrabber.h"

#include "platform/PointerOverlay.h"
#include "platform/X11PointerReader.h"
#include "platform/X11ScreenGrabber.h"

#include <QPainter>

namespace {
// Blocks are made at the depth of a true-colour X screen's pixels.
constexpr int FrameBits = 32;
} // namespace

TScreenFrameGrabber::TScreenFrameGrabber()
    : Screen(std::make_unique<X11ScreenGrabber>()), Pointer(std::make_unique<X11PointerReader>()) {}

TScreenFrameGrabber::~TScreenFrameGrabber() = default;

TPackedDib TScreenFrameGrabber::GrabFrame(const QRect& rect, bool recordCursor, bool showClicks) {
    // The block below is the one copy the frame needs: the pointer is drawn into the grabber's own
    // memory (valid until the next grab) where it can, and the block's rows set the pad bytes.
    QImage part = Screen->GrabInPlace(rect);
    if (part.isNull()) {
        PendingError = "Error capturing a frame!";
        return {};
    }
    QImage frame;
    if (part.size() == rect.size() && part.offset() == rect.topLeft()) {
        // Moved, not shared: drawing the pointer into a shared picture would copy all of it first.
        frame = std::move(part);
    } else {
        // A rectangle reaching off the screen keeps its size: what lies outside is black.
        frame = QImage(rect.size(), QImage::Format_RGB32);
        frame.fill(Qt::black);
        QPainter p(&frame);
        p.drawImage(part.offset() - rect.topLeft(), part);
    }
    // Taken at every grab, shown or not, so that a press counts for the frame it falls in only: one
    // made while the circle was off must not show up when it is turned on.
    const PointerButtons counted = Pointer->ButtonsSinceLastQuery();
    if (recordCursor) {
        if (const std::optional<QPoint> at = Pointer->Position()) {
            const QPoint pos = *at - rect.topLeft();
            if (showClicks)
                if (const std::optional<TColor> color = ClickCircleColor(counted))
                    DrawClickCircle(frame, pos, *color);
            if (const std::optional<PointerImage> pointer = Pointer->CursorImage())
                DrawPointer(frame, pos, *pointer);
        }
    }
    TPackedDib block = MakeDIB(frame, FrameBits, std::move(Spare));
    if (!block) PendingError = "Error capturing a frame!";
    return block;
}

void TScreenFrameGrabber::Recycle(TPackedDib block) {
    Spare = std::move(block);
}

QString TScreenFrameGrabber::TakeError() {
    QString text;
    std::swap(text, PendingError);
    return text;
}
