#pragma once

#include "recorder/RecorderSeams.h"

#include <memory>

class X11PointerReader;
class X11ScreenGrabber;

// The recorder's grab of one frame from the real screen: the rectangle through shared memory, the
// click circle while a button counts (held now, or pressed since the last grab), and the pointer at its
// hot spot, returned as a packed bitmap block at the screen's depth. Its X connections are its own, so
// it lives on the recording thread.
class TScreenFrameGrabber : public TFrameGrabber {
public:
    TScreenFrameGrabber();
    ~TScreenFrameGrabber() override;

    TPackedDib GrabFrame(const QRect& rect, bool recordCursor, bool showClicks) override;
    void Recycle(TPackedDib block) override;
    QString TakeError() override;

private:
    std::unique_ptr<X11ScreenGrabber> Screen;
    std::unique_ptr<X11PointerReader> Pointer;
    QString PendingError;
    // The block of an earlier frame, whose memory the next frame fills.
    TPackedDib Spare;
};
