#include "RecordAvi.h"

#include "FrameWriter.h"
#include "platform/MessageDlg.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <set>

namespace {

// OnUpdate fires once more than this much recorded time has passed since the last one.
constexpr int64_t UpdateEveryMs = 500;

// A grab that keeps failing ten times a second must not bury the screen in boxes: a message is shown
// once, and again only after the user has closed it.
void ShowGrabError(const QString& text) {
    static std::set<QString> open;
    if (!open.insert(text).second) return;
    auto* box = new QMessageBox(QMessageBox::Warning, "Error", text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    QObject::connect(box, &QObject::destroyed, [text] { open.erase(text); });
    box->show();
}

void ReportGrabError(TFrameGrabber& grabber) {
    const QString text = grabber.TakeError();
    if (text.isEmpty() || !QCoreApplication::instance()) return;
    // Widgets live on the GUI thread only: hand the message over and go on recording.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [text] { ShowGrabError(text); }, Qt::QueuedConnection);
}

bool Stopped(const TRecordingJob& job) {
    return job.Flags->State.load() == RecorderState::Stopped;
}

// Sleeps ms in slices of a tenth of the grab period, leaving at once when the recording stops (or,
// while paused, when it resumes).
void SleepInSlices(TRecordingJob& job, int64_t ms, int64_t slice, uint8_t leaveUnless) {
    TRecorderClock& clock = *job.Seams.Clock;
    const int64_t end = clock.NowMs() + ms;
    while (true) {
        const int64_t left = end - clock.NowMs();
        if (left <= 0) return;
        clock.SleepMs(std::min(left, slice));
        const uint8_t state = job.Flags->State.load();
        if (state == RecorderState::Stopped || state != leaveUnless) return;
    }
}

} // namespace

int FramePosition(int64_t elapsedMs, uint32_t msPFRecord) {
    const double position = std::nearbyint(static_cast<double>(elapsedMs) / static_cast<double>(msPFRecord));
    return static_cast<int>(std::clamp(position, 0.0, 2147483647.0));
}

namespace {

int RecordAviSteps(TRecordingJob& job) {
    job.ErrorText.clear();
    const uint32_t period = std::max<uint32_t>(job.msPFRecord, 1);
    std::unique_ptr<TFrameGrabber> grabber = job.Seams.MakeGrabber();
    TRecorderClock& clock = *job.Seams.Clock;

    // The first grab only fixes the format and the buffer size; it is never written.
    TPackedDib first =
        grabber->GrabFrame(job.Region, job.Flags->RecordCursor.load(), job.Flags->ShowClicks.load());
    if (!first) {
        ReportGrabError(*grabber);
        job.ErrorText = "Error capturing a frame!";
        return 0;
    }

    std::unique_ptr<TRecordingSink> sink = job.Seams.MakeSink();
    uint32_t result = sink->Open(job.FileName);
    if (result != 0) {
        job.ErrorText = "Error opening Avi file";
        return 0;
    }
    // From here on the file exists: every way out completes it.
    auto finish = [&](int code) {
        const uint32_t closed = sink->Close();
        if (code == 1 && closed != 0) {
            job.ErrorText = "Error writing frame";
            return 0;
        }
        return code;
    };
    if ((result = sink->CreateStream(job.FPSPlayback, first)) != 0) {
        job.ErrorText = "Error creating file stream";
        return finish(0);
    }
    if ((result = sink->MakeCompressedStream(job.Compressor, job.KeyFramesEvery, job.Quality)) != 0) {
        job.ErrorText = "Error creating compressed stream";
        return finish(0);
    }
    if ((result = sink->SetFormat(first)) != 0) {
        job.ErrorText = "Error setting stream format";
        return finish(0);
    }
    grabber->Recycle(std::move(first));

    TFrameWriter writer(std::move(sink));
    const int64_t slice = std::max<int64_t>(period / 10, 1);
    int64_t lastWriteTime = 0;
    int64_t lastUpdate = 0;
    int lastIndex = 0;
    if (job.OnStart) job.OnStart();
    job.FramesWritten = 0;
    job.FrameInterval = 0.0;
    job.DroppedFrames = 0;
    const int64_t startTime = clock.NowMs();
    int64_t pausedTotal = 0;
    bool failed = false;
    int handed = 0;
    // The figures of the frame handed over last, counted once the file has it.
    int handedDropped = 0;
    double handedInterval = 0;

    // Waits for the frame handed over last and counts it; false when the file did not take it.
    auto collect = [&] {
        if (!writer.Pending()) return true;
        TFrameWriter::TOutcome outcome = writer.Collect();
        grabber->Recycle(std::move(outcome.Block));
        if (outcome.Error) std::rethrow_exception(outcome.Error);
        if (outcome.Result != 0) {
            job.ErrorText = "Error writing frame";
            return false;
        }
        job.DroppedFrames += handedDropped;
        job.FramesWritten += 1;
        job.FrameInterval = handedInterval;
        return true;
    };

    try {
        while (!Stopped(job)) {
            if (job.Flags->State.load() == RecorderState::Paused) {
                // A failed write ends the recording even while it is paused.
                if (!collect()) {
                    failed = true;
                    break;
                }
                // Paused time is measured, not assumed, so a pause leaves no empty positions.
                const int64_t pauseStart = clock.NowMs();
                SleepInSlices(job, period, slice, RecorderState::Paused);
                pausedTotal += clock.NowMs() - pauseStart;
                continue;
            }
            const int64_t t0 = clock.NowMs();
            // Never before the last written frame, whatever the clock did.
            const int64_t elapsed = std::max(t0 - startTime - pausedTotal, lastWriteTime);

            // The frame before is compressed while this one is grabbed.
            TPackedDib block = grabber->GrabFrame(job.GrabRegion(), job.Flags->RecordCursor.load(),
                                                  job.Flags->ShowClicks.load());
            const int index = FramePosition(elapsed, period);
            job.FrameIndex = index;
            if (!collect()) {
                failed = true;
                break;
            }
            // A stop that came while the frame before was being written ends the recording there, as
            // it would have ended with that write had the loop written it itself.
            if (Stopped(job)) break;
            // Late grabs skip positions rather than stretch time: the video keeps the recorded speed.
            if (block && (handed == 0 || index > lastIndex)) {
                handedDropped = handed == 0 ? index : index - lastIndex - 1;
                handedInterval = static_cast<double>(elapsed - lastWriteTime);
                writer.Hand(index, std::move(block));
                ++handed;
                lastWriteTime = elapsed;
                lastIndex = index;
            } else if (!block) {
                ReportGrabError(*grabber);
            } else {
                grabber->Recycle(std::move(block));
            }

            if (elapsed > lastUpdate + UpdateEveryMs) {
                lastUpdate = elapsed;
                if (job.OnUpdate) job.OnUpdate();
            }
            // The next grab is aimed at the time of the next position, not at a period after this pass
            // began: a late wake-up then shortens the next sleep instead of shifting every later grab,
            // which, added up, would push grabs to the rounding edge between positions and skip one.
            // A pass that overran sleeps not at all.
            const int64_t nextGrab = startTime + pausedTotal + (int64_t(index) + 1) * period;
            const int64_t rest = nextGrab - clock.NowMs();
            if (rest > 0) SleepInSlices(job, std::min<int64_t>(rest, period), slice, 0);
        }
        // The loop has ended once the file has the last frame handed over.
        if (!collect()) failed = true;
    } catch (...) {
        // The frame under way still reaches the file, and is counted, before the error ends the road.
        try {
            collect();
        } catch (...) {
        }
        throw;
    }
    if (job.OnStop) job.OnStop();
    const uint32_t closed = writer.Close();
    if (!failed && closed != 0) {
        job.ErrorText = "Error writing frame";
        return 0;
    }
    return failed ? 0 : 1;
}

} // namespace

int RecordAVI(TRecordingJob& job) {
    try {
        return RecordAviSteps(job);
    } catch (...) {
        // Nothing may leave the worker thread: an exception there would end the whole program and
        // leave the file without its index. The sink, going out of scope, has completed the file.
        try {
            job.ErrorText = ExceptionMessage(std::current_exception());
        } catch (...) {
        }
        return 0;
    }
}
