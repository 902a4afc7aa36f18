#pragma once

#include "recorder/RecorderFlags.h"
#include "recorder/RecorderSeams.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class QWidget;
struct TRecordingJob;

// The screen recorder: records the whole screen, or the rectangle of a control, into an AVI file on one
// worker thread per recording. The GUI thread drives it with StartRecording, Pause, Resume and Stop.
class TScreenCam : public QObject {
    Q_OBJECT
public:
    enum : uint8_t {
        Recording = RecorderState::Recording,
        Paused = RecorderState::Paused,
        Stopped = RecorderState::Stopped
    };
    // Four-character code of the Microsoft Video 1 compressor.
    static constexpr uint32_t MSVC = 'M' | ('S' << 8) | ('V' << 16) | ('C' << 24);
    // How long the end of a recording may take to complete its file before a new recording or the
    // program's end gives up waiting for it.
    static constexpr int DefaultWorkerWaitMs = 5000;

    using TScreenCamEvent = std::function<void(TScreenCam* sender)>;
    using TScreenCamErrorEvent = std::function<void(TScreenCam* sender, const QString& msg)>;

    explicit TScreenCam(QObject* owner = nullptr, TRecorderSeams seams = DefaultRecorderSeams());
    // A recording still running is stopped, and its file completed, before the recorder goes. So it is
    // when the process ends through exit() while the recorder lives, as it does on the GUI thread when
    // the X server goes away (Qt's and Xlib's answer to a broken display), which skips main's objects.
    ~TScreenCam() override;

    // Properties, read when a recording starts (ShowClicks and recordCursor at every grab).
    int FPSPlayback = 10;
    uint32_t msPFRecord = 100;
    int KeyFramesEvery = 5;
    int compressionQuality = 6550;
    int SelectedCompressor = -1;
    // With a control: every grab follows the control's current place on the screen. The frames keep
    // the size the control had at the start, the size of the stream.
    bool autoPan = true;
    uint32_t Compressor = MSVC;
    // The wait of a new recording and of the recorder's end for the last worker. Tests that need the
    // wait to run out shorten it rather than sit through it.
    int WorkerWaitMs = DefaultWorkerWaitMs;
    // Read by the worker at every grab; a change takes effect from the next frame on.
    void SetShowClicks(bool on) { Flags->ShowClicks.store(on); }
    bool ShowClicks() const { return Flags->ShowClicks.load(); }
    void SetRecordCursor(bool on) { Flags->RecordCursor.store(on); }
    bool RecordCursor() const { return Flags->RecordCursor.load(); }

    // Events: OnStart, OnUpdate and OnStop run on the worker thread, OnError on the GUI thread after
    // the worker has ended. A worker-thread handler passes work to the GUI thread without waiting for
    // it: the recorder's end waits for a handler under way, so that none outlives the recorder.
    TScreenCamEvent OnStart;
    TScreenCamEvent OnUpdate;
    TScreenCamEvent OnStop;
    TScreenCamErrorEvent OnError;

    // Starts a recording when the recorder is stopped; does nothing in any other state. When the
    // worker of the last recording is still completing its file, waits for it (up to WorkerWaitMs)
    // first; false when it did not end in time, and nothing is started.
    bool StartRecording(QWidget* control, const QString& fileName);
    void Pause() { Flags->State.store(Paused); }
    void Resume() { Flags->State.store(Recording); }
    void Stop() { Flags->State.store(Stopped); }

    uint8_t RecordingState() const { return Flags->State.load(); }
    // A worker exists that has not ended yet.
    bool IsWorking() const;
    // Waits up to timeoutMs for the worker to end; true when none is left. The worker's end is then
    // handled at once (OnError included).
    bool WaitForWorker(int timeoutMs);

    QString ErrorText() const { return LastError; }
    // Progress of the running or the last recording.
    int DroppedFrames() const;
    int FrameIndex() const;
    int FramesWritten() const;
    double FrameInterval() const;
    QSize RecordedSize() const;

    int ScreenBits = 32;
    int ScreenWidth = 0;
    int ScreenHeight = 0;

private:
    // A control recorded with autoPan is looked up twice a grab period, and at least this often, so a
    // moved control is followed from the next grab or the one after.
    static constexpr uint32_t PanCheckMaxMs = 50;

    void RecordingDone(uint64_t generation);
    // At the process's end: stops the recording and waits, boundedly, for its file to be complete,
    // raising no event on this side, since the program's windows may be gone or going.
    void CompleteAtExit();
    friend void CompleteRecordingsAtExit();
    // With autoPan, moves the grab rectangle with the control: widgets are read on the GUI thread only.
    void FollowControl();

    TRecorderSeams Seams;
    // Shared with the workers, which may outlive the recorder when one fails to end in time.
    std::shared_ptr<TRecorderFlags> Flags;
    std::shared_ptr<TRecordingJob> Worker;
    // The latest recording, kept after its end for its figures.
    std::shared_ptr<TRecordingJob> LastJob;
    uint64_t Generation = 0;
    QString LastError;
    QTimer PanTimer;
    QPointer<QWidget> PanControl;
};
