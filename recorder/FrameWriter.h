#pragma once

#include "recorder/PackedDib.h"
#include "recorder/RecorderSeams.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

// Compresses and writes a recording's frames on a thread of its own, one frame at a time, so that the
// recording loop grabs the next frame while the last one is being compressed: at 3840 x 2160 grab and
// compression one after the other take longer than a 33 ms grab period, each of them alone does not.
//
// The writer owns the recording's file from the loop's start to its end. A frame's block is handed
// over with Hand and belongs to the writer until Collect hands it back with the write's result; the
// loop never touches a block the writer holds, so the two threads share nothing else. A frame whose
// write the thread has not begun when Collect asks for it is written by Collect itself, so the sink is
// used by one thread at a time, with the lock passing it from one to the other. The frames reach the
// file in the order they were handed, through the one compressor, so the file's bytes are those a
// loop writing each frame itself would leave.
class TFrameWriter {
public:
    explicit TFrameWriter(std::unique_ptr<TRecordingSink> sink);
    // Waits for a write under way; the sink, going with the writer, completes the file.
    ~TFrameWriter();
    TFrameWriter(const TFrameWriter&) = delete;
    TFrameWriter& operator=(const TFrameWriter&) = delete;

    struct TOutcome {
        uint32_t Result = 0;
        // The block handed over, back for the grabber to fill again.
        TPackedDib Block;
        // What the write threw; rethrown on the loop's thread, where the recording's errors are handled.
        std::exception_ptr Error;
    };

    // Starts writing block at position. Only when no write is under way: Collect the last one first.
    void Hand(int position, TPackedDib block);
    // A write handed over and not collected yet.
    bool Pending() const { return HasPending; }
    // Waits for the write handed over last and gives back its outcome.
    TOutcome Collect();
    // Waits for a write under way, ends the thread and completes the file; its result, 0 for success.
    uint32_t Close();

private:
    void Run();
    void EndThread();
    // Takes the handed frame (M held) and writes it with M released; M stays released on return.
    TOutcome WriteHandedFrame(std::unique_lock<std::mutex>& lock);

    std::unique_ptr<TRecordingSink> Sink;
    // Only the loop's thread reads and writes this.
    bool HasPending = false;

    std::mutex M;
    std::condition_variable Wake;
    // Guarded by M: the block in the writer's hands and where it goes, then its outcome.
    bool Work = false;
    bool Done = false;
    bool Quit = false;
    int Position = 0;
    TPackedDib Block;
    TOutcome Outcome;

    std::thread Thread;
};
