#pragma once

#include <QImage>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TAVIFile;

// Decodes frames of the open file ahead of the window on a thread of its own, as a player's decoder
// thread fills a small queue of finished frames for its display step: the GUI thread only takes the
// frames it is about to show, and paints.
//
// The thread reads through a reader of its own (a second decoder on the same open file), so the
// window's reader and its bitmap stay the GUI thread's alone. A frame is handed over finished and
// never written again by the thread: the GUI thread may keep it, copy it or draw on a copy of it.
// The queue holds no more than the frames asked for, and asking replaces what was not yet begun.
class TFrameDecodeThread {
public:
    struct TFrame {
        // The frame index of the file.
        std::int32_t Frame = -1;
        // Empty when the frame does not decode.
        QImage Bitmap;
    };

    // Starts the thread on a reader opened for it alone.
    explicit TFrameDecodeThread(std::unique_ptr<TAVIFile> reader);
    // Ends the thread, waiting at most for the frame it is decoding; the frames not taken are freed.
    ~TFrameDecodeThread();
    TFrameDecodeThread(const TFrameDecodeThread&) = delete;
    TFrameDecodeThread& operator=(const TFrameDecodeThread&) = delete;

    // The frames to decode next, in this order. Frames asked for before and not yet begun are
    // dropped; a frame being decoded or finished and not yet taken is not decoded again.
    void Request(std::vector<std::int32_t> frames);
    // The frames finished since the last call, in the order they were decoded.
    std::vector<TFrame> TakeFinished();
    // Waits until none of frames is waiting or being decoded (each is finished, or was dropped by a
    // later request), then takes the finished ones as TakeFinished does. After patience the frames
    // not yet begun are dropped, and only the one being decoded is waited for: the caller decodes
    // the others itself rather than wait for a thread that the machine keeps from running.
    std::vector<TFrame> TakeFinishedOf(const std::vector<std::int32_t>& frames,
                                       std::chrono::milliseconds patience = std::chrono::milliseconds::max());

    // Threads of this kind running in the process, so that tests can see each one end.
    static int Running();

private:
    void Run();
    bool Outstanding(const std::vector<std::int32_t>& frames) const;

    std::unique_ptr<TAVIFile> Reader;
    std::mutex Lock;
    std::condition_variable Wake;
    std::condition_variable Done;
    std::vector<std::int32_t> Pending;
    std::int32_t Current = -1;
    std::vector<TFrame> Finished;
    bool Ending = false;
    std::thread Thread;
};
