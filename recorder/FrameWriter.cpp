#include "FrameWriter.h"

TFrameWriter::TFrameWriter(std::unique_ptr<TRecordingSink> sink)
    : Sink(std::move(sink)), Thread([this] { Run(); }) {}

TFrameWriter::~TFrameWriter() {
    EndThread();
}

void TFrameWriter::Hand(int position, TPackedDib block) {
    {
        std::lock_guard lock(M);
        Position = position;
        Block = std::move(block);
        Work = true;
        Done = false;
    }
    HasPending = true;
    Wake.notify_all();
}

TFrameWriter::TOutcome TFrameWriter::Collect() {
    if (!HasPending) return {};
    HasPending = false;
    std::unique_lock lock(M);
    if (Work) {
        // The thread has not begun the frame: on a machine too busy to give it a core since the frame
        // was handed over, waiting for one would only add that wait to the loop's. The frame is taken
        // back and written here; the thread, finding no work when it wakes, leaves the sink alone.
        return WriteHandedFrame(lock);
    }
    Wake.wait(lock, [&] { return Done; });
    Done = false;
    return std::move(Outcome);
}

uint32_t TFrameWriter::Close() {
    EndThread();
    // The thread is gone: the sink is the loop's own again.
    return Sink->Close();
}

void TFrameWriter::EndThread() {
    if (!Thread.joinable()) return;
    {
        std::lock_guard lock(M);
        Quit = true;
    }
    Wake.notify_all();
    Thread.join();
}

TFrameWriter::TOutcome TFrameWriter::WriteHandedFrame(std::unique_lock<std::mutex>& lock) {
    Work = false;
    TOutcome outcome;
    outcome.Block = std::move(Block);
    const int position = Position;
    lock.unlock();
    try {
        outcome.Result = Sink->Write(position, outcome.Block);
    } catch (...) {
        outcome.Error = std::current_exception();
    }
    return outcome;
}

void TFrameWriter::Run() {
    std::unique_lock lock(M);
    while (true) {
        // A frame handed over before the end is still written: Quit only ends an idle writer.
        Wake.wait(lock, [&] { return Work || Quit; });
        if (!Work) return;
        TOutcome outcome = WriteHandedFrame(lock);
        lock.lock();
        Outcome = std::move(outcome);
        Done = true;
        Wake.notify_all();
    }
}
