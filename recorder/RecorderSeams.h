#pragma once

#include "recorder/PackedDib.h"

#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

// What one recording needs from the world, behind narrow interfaces: the screen, the AVI file and the
// clock. The recorder's worker owns each for the life of one recording and uses them on its own thread.

// Grabs a rectangle of the screen, with the click circle and the pointer drawn in. None when the pixels
// cannot be read: the pass is skipped, nothing black is recorded.
class TFrameGrabber {
public:
    virtual ~TFrameGrabber() = default;
    virtual TPackedDib GrabFrame(const QRect& rect, bool recordCursor, bool showClicks) = 0;
    // Takes back a block the recorder is done with, written or not; a grabber may fill the next frame
    // into its memory rather than into new memory. Memory then stays at one frame and one spare.
    virtual void Recycle(TPackedDib block) {}
    // A message for the user (a grab that failed), shown by the recorder on the GUI thread.
    virtual QString TakeError() { return {}; }
};

// The AVI file of one recording, in the steps whose failures the user is told apart. Every call answers
// 0 for success.
class TRecordingSink {
public:
    virtual ~TRecordingSink() = default;
    virtual uint32_t Open(const QString& fileName) = 0;
    // One video stream at framesPerSecond, sized for the first block.
    virtual uint32_t CreateStream(int framesPerSecond, const TPackedDib& first) = 0;
    virtual uint32_t MakeCompressedStream(uint32_t fourCC, int keyFramesEvery, int quality) = 0;
    virtual uint32_t SetFormat(const TPackedDib& first) = 0;
    // The block's pixels at a position above every position written before; positions skipped stay
    // empty.
    virtual uint32_t Write(int position, const TPackedDib& block) = 0;
    // Completes the file (its index); answers a failure of that too.
    virtual uint32_t Close() = 0;
};

// Milliseconds of a monotonic clock, and sleeping.
class TRecorderClock {
public:
    virtual ~TRecorderClock() = default;
    virtual int64_t NowMs() = 0;
    virtual void SleepMs(int64_t ms) = 0;
};

struct TRecorderSeams {
    std::function<std::unique_ptr<TFrameGrabber>()> MakeGrabber;
    std::function<std::unique_ptr<TRecordingSink>()> MakeSink;
    std::shared_ptr<TRecorderClock> Clock;
};

// The real screen (an X connection of the worker's own), our AVI file service with the Microsoft
// Video 1 compressor, and the steady clock.
TRecorderSeams DefaultRecorderSeams();
