#include "ScrCam.h"

#include "RecordAvi.h"
#include "platform/Screen.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Every recorder alive, for the process's end through exit().
std::mutex LiveLock;
std::vector<TScreenCam*> Live;

} // namespace

void CompleteRecordingsAtExit() {
    std::lock_guard lock(LiveLock);
    for (TScreenCam* cam : Live)
        cam->CompleteAtExit();
}

TScreenCam::TScreenCam(QObject* owner, TRecorderSeams seams)
    : QObject(owner), Seams(std::move(seams)), Flags(std::make_shared<TRecorderFlags>()) {
    connect(&PanTimer, &QTimer::timeout, this, &TScreenCam::FollowControl);
    const QSize screen = ScreenSize();
    ScreenWidth = screen.width();
    ScreenHeight = screen.height();
    ScreenBits = ScreenBitsPerPixel();
    static std::once_flag hooked;
    std::call_once(hooked, [] { std::atexit(CompleteRecordingsAtExit); });
    std::lock_guard lock(LiveLock);
    Live.push_back(this);
}

TScreenCam::~TScreenCam() {
    {
        std::lock_guard lock(LiveLock);
        std::erase(Live, this);
    }
    if (!Worker) return;
    // The program's end must not lose the recording: stop, and let the worker complete the file.
    Stop();
    if (WaitForWorker(WorkerWaitMs)) return;
    // The worker goes on without the recorder: its events must no longer name it. An event under way
    // holds the recorder, so it is waited for to its end, however long it takes; handlers never wait
    // for this thread, so the wait cannot deadlock.
    Worker->Sender.store(nullptr);
    std::lock_guard lock(Worker->SenderMutex);
}

void TScreenCam::CompleteAtExit() {
    if (!Worker) return;
    Stop();
    std::unique_lock lock(Worker->EndMutex);
    Worker->EndSignal.wait_for(lock, std::chrono::milliseconds(WorkerWaitMs), [&] { return Worker->Ended; });
}

bool TScreenCam::IsWorking() const {
    if (!Worker) return false;
    std::lock_guard lock(Worker->EndMutex);
    return !Worker->Ended;
}

bool TScreenCam::WaitForWorker(int timeoutMs) {
    if (!Worker) return true;
    {
        std::unique_lock lock(Worker->EndMutex);
        if (!Worker->EndSignal.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                        [&] { return Worker->Ended; }))
            return false;
    }
    // Handle the end now; the notice already queued for it then finds nothing to do.
    RecordingDone(Generation);
    return true;
}

bool TScreenCam::StartRecording(QWidget* control, const QString& fileName) {
    if (Flags->State.load() != Stopped) return true;
    // A new recording never runs beside the last one: that one may still be completing its file.
    if (Worker && !WaitForWorker(WorkerWaitMs)) return false;

    auto job = std::make_shared<TRecordingJob>();
    job->FileName = fileName;
    if (control) {
        const QPoint topLeft = control->mapToGlobal(QPoint(0, 0));
        job->Region = QRect(topLeft, control->size());
        job->FollowControl = autoPan;
        job->MoveGrabRegion(topLeft);
    } else {
        job->Region = ScreenRect();
        autoPan = false;
    }
    job->FPSPlayback = FPSPlayback;
    job->msPFRecord = msPFRecord;
    job->KeyFramesEvery = KeyFramesEvery;
    job->Quality = compressionQuality;
    job->Compressor = Compressor;
    job->Seams = Seams;
    job->Flags = Flags;
    job->Sender = this;
    // The events are stored in the job itself, so they refer to it without owning it; only its
    // worker, which holds the job, calls them.
    auto raise = [raw = job.get()](const TScreenCamEvent& event) -> std::function<void()> {
        if (!event) return {};
        return [raw, event] {
            std::lock_guard lock(raw->SenderMutex);
            if (TScreenCam* sender = raw->Sender.load()) event(sender);
        };
    };
    job->OnStart = raise(OnStart);
    job->OnUpdate = raise(OnUpdate);
    job->OnStop = raise(OnStop);
    LastError.clear();

    // Everything is wired and the state set before the worker exists, so a fast failure keeps its
    // error and its end finds the recorder ready.
    Worker = job;
    LastJob = job;
    const uint64_t generation = ++Generation;
    Flags->State.store(Recording);
    QPointer<TScreenCam> self(this);
    std::thread([job, self, generation] {
        RecordAVI(*job);
        {
            std::lock_guard lock(job->EndMutex);
            job->Ended = true;
        }
        job->EndSignal.notify_all();
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app,
                [self, generation] {
                    if (self) self->RecordingDone(generation);
                },
                Qt::QueuedConnection);
    }).detach();
    if (control && autoPan) {
        PanControl = control;
        PanTimer.start(int(std::clamp<uint32_t>(msPFRecord / 2, 1, PanCheckMaxMs)));
    }
    return true;
}

void TScreenCam::FollowControl() {
    // A control that is gone leaves the rectangle where it was last seen.
    if (Worker && PanControl) Worker->MoveGrabRegion(PanControl->mapToGlobal(QPoint(0, 0)));
}

void TScreenCam::RecordingDone(uint64_t generation) {
    // The end of a worker that was already handled, or of an older recording, changes nothing.
    if (generation != Generation || !Worker) return;
    std::shared_ptr<TRecordingJob> job = std::move(Worker);
    Worker.reset();
    PanTimer.stop();
    PanControl = nullptr;
    Flags->State.store(Stopped);
    LastError = job->ErrorText;
    if (!LastError.isEmpty() && OnError) OnError(this, LastError);
}

int TScreenCam::DroppedFrames() const {
    return LastJob ? LastJob->DroppedFrames.load() : 0;
}
int TScreenCam::FrameIndex() const {
    return LastJob ? LastJob->FrameIndex.load() : 0;
}
int TScreenCam::FramesWritten() const {
    return LastJob ? LastJob->FramesWritten.load() : 0;
}
double TScreenCam::FrameInterval() const {
    return LastJob ? LastJob->FrameInterval.load() : 0.0;
}
QSize TScreenCam::RecordedSize() const {
    return LastJob ? LastJob->Region.size() : QSize();
}
