#include "FrameDecodeThread.h"

#include "avi/AviReader.h"

#include <algorithm>
#include <atomic>
#include <pthread.h>
#include <utility>

namespace {

std::atomic<int> RunningThreads{0};

bool Contains(const std::vector<std::int32_t>& frames, std::int32_t frame) {
    return std::find(frames.begin(), frames.end(), frame) != frames.end();
}

} // namespace

TFrameDecodeThread::TFrameDecodeThread(std::unique_ptr<TAVIFile> reader) : Reader(std::move(reader)) {
    RunningThreads.fetch_add(1);
    try {
        Thread = std::thread([this] {
            // Named, so that a look at the process's threads tells it from the GUI thread.
            pthread_setname_np(pthread_self(), "FrameDecode");
            Run();
            RunningThreads.fetch_sub(1);
        });
    } catch (...) {
        RunningThreads.fetch_sub(1);
        throw;
    }
}

TFrameDecodeThread::~TFrameDecodeThread() {
    {
        const std::lock_guard<std::mutex> hold(Lock);
        Ending = true;
    }
    Wake.notify_all();
    Thread.join();
}

int TFrameDecodeThread::Running() {
    return RunningThreads.load();
}

void TFrameDecodeThread::Request(std::vector<std::int32_t> frames) {
    {
        const std::lock_guard<std::mutex> hold(Lock);
        frames.erase(std::remove_if(frames.begin(), frames.end(),
                                    [this](std::int32_t frame) {
                                        return frame == Current ||
                                               std::any_of(
                                                   Finished.begin(), Finished.end(),
                                                   [frame](const TFrame& f) { return f.Frame == frame; });
                                    }),
                     frames.end());
        Pending = std::move(frames);
    }
    Wake.notify_all();
    // Waiters for frames now dropped may go on.
    Done.notify_all();
}

std::vector<TFrameDecodeThread::TFrame> TFrameDecodeThread::TakeFinished() {
    const std::lock_guard<std::mutex> hold(Lock);
    return std::exchange(Finished, {});
}

bool TFrameDecodeThread::Outstanding(const std::vector<std::int32_t>& frames) const {
    return Contains(frames, Current) ||
           std::any_of(Pending.begin(), Pending.end(), [&](std::int32_t f) { return Contains(frames, f); });
}

std::vector<TFrameDecodeThread::TFrame>
TFrameDecodeThread::TakeFinishedOf(const std::vector<std::int32_t>& frames,
                                   std::chrono::milliseconds patience) {
    std::unique_lock<std::mutex> hold(Lock);
    const auto done = [&] { return !Outstanding(frames); };
    if (patience == std::chrono::milliseconds::max())
        Done.wait(hold, done);
    else if (!Done.wait_for(hold, patience, done)) {
        Pending.clear();
        Done.wait(hold, done);
    }
    return std::exchange(Finished, {});
}

void TFrameDecodeThread::Run() {
    std::unique_lock<std::mutex> hold(Lock);
    while (true) {
        Wake.wait(hold, [this] { return Ending || !Pending.empty(); });
        if (Ending) return;
        TFrame frame;
        frame.Frame = Pending.front();
        Pending.erase(Pending.begin());
        Current = frame.Frame;
        hold.unlock();
        // Into a bitmap of its own: the reader keeps nothing of it that it writes again later (a
        // decoder that builds on its last picture copies that first, here, on this thread).
        try {
            Reader->ReadFrame(frame.Frame, frame.Bitmap);
        } catch (...) {
            // Nothing may leave the thread: the window decodes the frame itself when it needs it.
            frame.Bitmap = QImage();
        }
        hold.lock();
        Current = -1;
        Finished.push_back(std::move(frame));
        Done.notify_all();
    }
}
