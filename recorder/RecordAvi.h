#pragma once

#include "recorder/RecorderFlags.h"
#include "recorder/RecorderSeams.h"

#include <QRect>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class TScreenCam;

// Everything one recording shares between the GUI thread and its worker. The recorder keeps the job
// for as long as it cares about it; the worker holds it until it ends, so neither side can outlive
// what it uses.
struct TRecordingJob {
    // Set by the GUI thread before the worker starts; read only afterwards.
    QString FileName;
    QRect Region;
    // With autoPan and a control: the GUI thread moves the grab rectangle with the control.
    bool FollowControl = false;
    int FPSPlayback = 10;
    uint32_t msPFRecord = 100;
    int KeyFramesEvery = 5;
    int Quality = 6550;
    uint32_t Compressor = 0;
    TRecorderSeams Seams;
    std::function<void()> OnStart, OnUpdate, OnStop;

    std::shared_ptr<TRecorderFlags> Flags;

    // Written by the worker.
    std::atomic<int> DroppedFrames{0};
    std::atomic<int> FrameIndex{0};
    std::atomic<int> FramesWritten{0};
    std::atomic<double> FrameInterval{0};
    QString ErrorText; // read only once Ended is set

    // Where the control is now, in screen pixels, at the size of the stream: the control is read on
    // the GUI thread only, and a frame of another size could not be written into the stream.
    void MoveGrabRegion(QPoint topLeft) {
        std::lock_guard lock(RegionMutex);
        ControlTopLeft = topLeft;
    }
    QRect GrabRegion() {
        if (!FollowControl) return Region;
        std::lock_guard lock(RegionMutex);
        return QRect(ControlTopLeft, Region.size());
    }

    std::mutex EndMutex;
    std::condition_variable EndSignal;
    bool Ended = false;

    // The recorder that OnStart, OnUpdate and OnStop name as their sender. A recorder destroyed while
    // this worker still runs (it did not end in time) clears it, so no later event reaches a handler
    // with a recorder that is gone, and waits on the lock, which an event holds while it runs, for one
    // under way to return.
    std::timed_mutex SenderMutex;
    std::atomic<TScreenCam*> Sender{nullptr};

private:
    std::mutex RegionMutex;
    QPoint ControlTopLeft;
};

// The whole life of one recording, on the worker thread: the file set-up, the frame loop and the
// clean-up. 1 when the loop ended by Stop, 0 on a failure, whose reason is left in job.ErrorText.
int RecordAVI(TRecordingJob& job);

// The frame position of a recorded time: to the nearest, halves to even (150 ms at 100 ms a grab is
// position 2, 250 ms also 2).
int FramePosition(int64_t elapsedMs, uint32_t msPFRecord);
