#include "recorder/RecordAvi.h"
#include "recorder/ScrCam.h"
#include "support/DesktopSession.h"

#include <QCoreApplication>
#include <QImage>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <deque>
#include <gtest/gtest.h>
#include <mutex>
#include <new>
#include <thread>

namespace {

// Virtual time: sleeping advances the clock at once, so a recording of seconds runs in milliseconds.
// Each grab takes GrabMs of it.
class TFakeClock : public TRecorderClock {
public:
    int64_t NowMs() override {
        std::lock_guard lock(M);
        return Now;
    }
    void SleepMs(int64_t ms) override {
        {
            std::lock_guard lock(M);
            Now += ms + LateWakeMs;
        }
        std::this_thread::yield();
    }
    void Advance(int64_t ms) {
        std::lock_guard lock(M);
        Now += ms;
    }

    // Each sleep ends this much late, as on a loaded machine.
    std::atomic<int64_t> LateWakeMs{0};

private:
    std::mutex M;
    int64_t Now = 1000;
};

struct TSinkLog {
    std::mutex M;
    std::vector<int> Positions;
    QStringList Calls;
    QRect LastGrab;      // the rectangle of the latest grab
    uint32_t FailAt = 0; // 1 open, 2 stream, 3 compressed, 4 format, 5 write, 6 close
    int FailWriteAfter = -1;
    int Closed = 0;
};

class TFakeSink : public TRecordingSink {
public:
    explicit TFakeSink(std::shared_ptr<TSinkLog> log) : Log(std::move(log)) {}
    uint32_t Step(int n, const QString& name) {
        std::lock_guard lock(Log->M);
        Log->Calls << name;
        return Log->FailAt == static_cast<uint32_t>(n) ? 0x8004406E : 0;
    }
    uint32_t Open(const QString&) override { return Step(1, "open"); }
    uint32_t CreateStream(int fps, const TPackedDib&) override {
        return Step(2, "stream" + QString::number(fps));
    }
    uint32_t MakeCompressedStream(uint32_t fourCC, int keys, int quality) override {
        return Step(3, QString("compress%1/%2/%3").arg(fourCC == TScreenCam::MSVC).arg(keys).arg(quality));
    }
    uint32_t SetFormat(const TPackedDib&) override { return Step(4, "format"); }
    uint32_t Write(int position, const TPackedDib&) override {
        std::lock_guard lock(Log->M);
        if (Log->FailWriteAfter >= 0 && static_cast<int>(Log->Positions.size()) >= Log->FailWriteAfter)
            return 0x8004406E;
        Log->Positions.push_back(position);
        return 0;
    }
    uint32_t Close() override {
        std::lock_guard lock(Log->M);
        ++Log->Closed;
        Log->Calls << "close";
        return Log->FailAt == 6 ? 0x8004406E : 0;
    }
    std::shared_ptr<TSinkLog> Log;
};

// Grabs a tiny picture, taking grabMs of virtual time each; a scripted pass can fail.
class TFakeGrabber : public TFrameGrabber {
public:
    TFakeGrabber(std::shared_ptr<TFakeClock> clock, std::function<bool(int pass)> fails, int64_t grabMs,
                 std::shared_ptr<TSinkLog> log)
        : Clock(std::move(clock)), Fails(std::move(fails)), GrabMs(grabMs), Log(std::move(log)) {}
    TPackedDib GrabFrame(const QRect& rect, bool, bool) override {
        {
            std::lock_guard lock(Log->M);
            Log->LastGrab = rect;
        }
        Clock->Advance(GrabMs);
        if (Fails && Fails(Pass++)) return {};
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::white);
        return MakeDIB(image, 32);
    }
    std::shared_ptr<TFakeClock> Clock;
    std::function<bool(int)> Fails;
    int64_t GrabMs;
    std::shared_ptr<TSinkLog> Log;
    int Pass = 0;
};

struct TRig {
    std::shared_ptr<TFakeClock> Clock = std::make_shared<TFakeClock>();
    std::shared_ptr<TSinkLog> Log = std::make_shared<TSinkLog>();
    std::function<bool(int)> GrabFails;
    int64_t GrabMs = 5;

    TRecorderSeams Seams() {
        TRecorderSeams s;
        s.Clock = Clock;
        s.MakeSink = [log = Log] { return std::make_unique<TFakeSink>(log); };
        s.MakeGrabber = [this] { return std::make_unique<TFakeGrabber>(Clock, GrabFails, GrabMs, Log); };
        return s;
    }
    std::vector<int> Positions() {
        std::lock_guard lock(Log->M);
        return Log->Positions;
    }
    QRect LastGrab() {
        std::lock_guard lock(Log->M);
        return Log->LastGrab;
    }
};

bool WaitForPositions(TRig& rig, size_t count) {
    return WaitUntil([&] { return rig.Positions().size() >= count; }, 5000);
}

} // namespace

TEST(RecordAvi, PositionsRoundHalvesToEven) {
    const struct {
        int64_t ms;
        int position;
    } cases[] = {{0, 0}, {50, 0}, {149, 1}, {150, 2}, {250, 2}, {350, 4}, {1049, 10}, {-20, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(FramePosition(c.ms, 100), c.position) << c.ms;
    EXPECT_EQ(FramePosition(7, 1), 7);
}

TEST(ScreenCam, RecordsAtTheRecordedSpeedAndStopsCompletingTheFile) {
    TRig rig;
    TScreenCam cam(nullptr, rig.Seams());
    QString error;
    cam.OnError = [&](TScreenCam*, const QString& msg) { error = msg; };
    ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/x.avi"));
    EXPECT_EQ(cam.RecordingState(), TScreenCam::Recording);
    ASSERT_TRUE(WaitForPositions(rig, 30));
    cam.Stop();
    ASSERT_TRUE(cam.WaitForWorker(5000));
    EXPECT_EQ(cam.RecordingState(), TScreenCam::Stopped);
    EXPECT_TRUE(error.isEmpty());
    const std::vector<int> positions = rig.Positions();
    for (size_t i = 0; i < positions.size(); ++i)
        ASSERT_EQ(positions[i], static_cast<int>(i)) << "every position written once, in order";
    EXPECT_EQ(cam.DroppedFrames(), 0);
    EXPECT_EQ(cam.FramesWritten(), static_cast<int>(positions.size()));
    std::lock_guard lock(rig.Log->M);
    EXPECT_EQ(rig.Log->Calls.mid(0, 4), QStringList({"open", "stream10", "compress1/5/6550", "format"}));
    EXPECT_EQ(rig.Log->Closed, 1);
}

TEST(ScreenCam, LateGrabsSkipPositionsAndCountThemOnce) {
    TRig rig;
    rig.GrabMs = 250; // every grab overruns the 100 ms period
    // Pass 1 fails to read the screen: nothing is written for it, and its gap is counted only once.
    rig.GrabFails = [](int pass) { return pass == 2; };
    TScreenCam cam(nullptr, rig.Seams());
    ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/x.avi"));
    ASSERT_TRUE(WaitForPositions(rig, 4));
    cam.Stop();
    ASSERT_TRUE(cam.WaitForWorker(5000));
    const std::vector<int> p = rig.Positions();
    ASSERT_GE(p.size(), 4u);
    // The grab happens after the time is read: 250 ms late each pass.
    EXPECT_EQ(std::vector<int>(p.begin(), p.begin() + 3), std::vector<int>({0, 5, 8}));
    int skipped = p[0];
    for (size_t i = 1; i < p.size(); ++i)
        skipped += p[i] - p[i - 1] - 1;
    EXPECT_EQ(cam.DroppedFrames(), skipped);
}

TEST(ScreenCam, LateWakeUpsShiftNoLaterGrabAndDropNothing) {
    TRig rig;
    // Every sleep slice wakes 1 ms late: grabs timed from the start of their own pass would slip a
    // little each pass and skip a position every fifty or so.
    rig.Clock->LateWakeMs = 1;
    TScreenCam cam(nullptr, rig.Seams());
    ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/x.avi"));
    ASSERT_TRUE(WaitForPositions(rig, 400));
    cam.Stop();
    ASSERT_TRUE(cam.WaitForWorker(5000));
    const std::vector<int> p = rig.Positions();
    for (size_t i = 0; i < p.size(); ++i)
        ASSERT_EQ(p[i], static_cast<int>(i)) << "every position written once, in order";
    EXPECT_EQ(cam.DroppedFrames(), 0);
}

TEST(ScreenCam, WithAutoPanTheGrabFollowsTheControlAtTheStreamsSize) {
    for (const bool autoPan : {true, false}) {
        SCOPED_TRACE(autoPan ? "autoPan" : "fixed");
        TRig rig;
        QWidget control;
        control.setGeometry(100, 50, 40, 30);
        control.show();
        TScreenCam cam(nullptr, rig.Seams());
        cam.autoPan = autoPan;
        ASSERT_TRUE(cam.StartRecording(&control, "/tmp/x.avi"));
        const QRect start(control.mapToGlobal(QPoint(0, 0)), QSize(40, 30));
        ASSERT_TRUE(WaitUntil([&] { return rig.LastGrab() == start; }, 5000));
        // Moved and resized: the frames keep the size of the stream.
        control.setGeometry(300, 200, 60, 10);
        const QRect moved(control.mapToGlobal(QPoint(0, 0)), QSize(40, 30));
        ASSERT_NE(moved, start);
        if (autoPan) {
            EXPECT_TRUE(WaitUntil([&] { return rig.LastGrab() == moved; }, 5000));
        } else {
            WaitUntil([] { return false; }, 300);
            EXPECT_EQ(rig.LastGrab(), start);
        }
        cam.Stop();
        ASSERT_TRUE(cam.WaitForWorker(5000));
    }
}

TEST(ScreenCam, PausedTimeIsLeftOutAndStopWhilePausedEnds) {
    TRig rig;
    TScreenCam cam(nullptr, rig.Seams());
    ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/x.avi"));
    ASSERT_TRUE(WaitForPositions(rig, 5));
    cam.Pause();
    // Let a long virtual pause go by.
    const int64_t pauseFrom = rig.Clock->NowMs();
    ASSERT_TRUE(WaitUntil([&] { return rig.Clock->NowMs() > pauseFrom + 60000; }, 5000));
    const size_t before = rig.Positions().size();
    cam.Resume();
    ASSERT_TRUE(WaitForPositions(rig, before + 5));
    cam.Pause();
    cam.Stop();
    ASSERT_TRUE(cam.WaitForWorker(5000));
    const std::vector<int> p = rig.Positions();
    for (size_t i = 1; i < p.size(); ++i)
        EXPECT_LE(p[i] - p[i - 1], 2) << "no gap left by the pause at " << i;
    EXPECT_LE(cam.DroppedFrames(), 2);
}

TEST(ScreenCam, SetUpFailuresReportTheirTextAndRaiseNoStartOrStop) {
    const struct {
        uint32_t failAt;
        const char* text;
        int closed;
    } cases[] = {{1, "Error opening Avi file", 0},
                 {2, "Error creating file stream", 1},
                 {3, "Error creating compressed stream", 1},
                 {4, "Error setting stream format", 1}};
    for (const auto& c : cases) {
        TRig rig;
        rig.Log->FailAt = c.failAt;
        TScreenCam cam(nullptr, rig.Seams());
        QString error;
        int events = 0;
        cam.OnError = [&](TScreenCam*, const QString& msg) { error = msg; };
        cam.OnStart = [&](TScreenCam*) { ++events; };
        cam.OnStop = [&](TScreenCam*) { ++events; };
        ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/x.avi"));
        ASSERT_TRUE(cam.WaitForWorker(5000));
        EXPECT_EQ(error, c.text);
        EXPECT_EQ(cam.ErrorText(), c.text);
        EXPECT_EQ(events, 0);
        EXPECT_EQ(cam.RecordingState(), TScreenCam::Stopped);
        EXPECT_EQ(rig.Log->Closed, c.closed) << c.text;
    }
}

TEST(ScreenCam, AWriteErrorEndsTheRecordingByItself) {
    TRig rig;
    rig.Log->FailWriteAfter = 3;
    TScreenCam cam(nullptr, rig.Seams());
    QString error;
    int stops = 0;
    cam.OnError = [&](TScreenCam*, const QString& msg) { error = msg; };
    cam.OnStop = [&](TScreenCam*) { ++stops; };
    ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/x.avi"));
    ASSERT_TRUE(WaitUntil([&] { return !cam.IsWorking(); }, 5000));
    ASSERT_TRUE(cam.WaitForWorker(1000));
    EXPECT_EQ(error, "Error writing frame");
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(rig.Positions().size(), 3u);
    EXPECT_EQ(cam.RecordingState(), TScreenCam::Stopped);
}

TEST(ScreenCam, StartOnlyFromStoppedAndNeverBesideAFinishingWorker) {
    TRig rig;
    TScreenCam cam(nullptr, rig.Seams());
    cam.Resume(); // a stray resume while stopped: nothing starts until Stop
    EXPECT_TRUE(cam.StartRecording(nullptr, "/tmp/x.avi"));
    EXPECT_FALSE(cam.IsWorking());
    cam.Stop();
    ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/a.avi"));
    ASSERT_TRUE(WaitForPositions(rig, 3));
    EXPECT_TRUE(cam.StartRecording(nullptr, "/tmp/b.avi")); // while recording: nothing new
    cam.Stop();
    // At once a new recording: it waits for the first worker to complete its file.
    ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/b.avi"));
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::lock_guard lock(rig.Log->M);
            return rig.Log->Calls.count("open") == 2;
        },
        5000));
    {
        std::lock_guard lock(rig.Log->M);
        const QStringList& calls = rig.Log->Calls;
        EXPECT_LT(calls.indexOf("close"), calls.lastIndexOf("open")) << "the first file completes first";
    }
    cam.Stop();
    ASSERT_TRUE(cam.WaitForWorker(5000));
    // The queued end of the first worker arrives late and changes nothing.
    QCoreApplication::processEvents();
    EXPECT_EQ(cam.RecordingState(), TScreenCam::Stopped);
    std::lock_guard lock(rig.Log->M);
    EXPECT_EQ(rig.Log->Closed, 2);
}

TEST(ScreenCam, DestroyingWhileRecordingCompletesTheFile) {
    TRig rig;
    {
        TScreenCam cam(nullptr, rig.Seams());
        ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/x.avi"));
        ASSERT_TRUE(WaitForPositions(rig, 2));
    }
    std::lock_guard lock(rig.Log->M);
    EXPECT_EQ(rig.Log->Closed, 1);
}

// The recorder's wait for a worker that does not end, in the tests that need it to run out.
constexpr int GivingUpWaitMs = 300;

TEST(ScreenCam, AWorkerThatOutlivesItsRecorderRaisesNoEventNamingIt) {
    TRig rig;
    std::atomic<bool> hold{false};
    std::atomic<bool> held{false};
    // A grab that hangs while hold is set keeps the worker from ending in time.
    rig.GrabFails = [&](int) {
        while (hold.load()) {
            held = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    };
    std::atomic<int> stopsNamingTheRecorder{0};
    {
        TScreenCam cam(nullptr, rig.Seams());
        cam.WorkerWaitMs = GivingUpWaitMs;
        cam.OnStop = [&](TScreenCam* sender) {
            if (sender) ++stopsNamingTheRecorder;
        };
        ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/x.avi"));
        ASSERT_TRUE(WaitForPositions(rig, 2));
        hold = true;
        ASSERT_TRUE(WaitUntil([&] { return held.load(); }, 5000));
    } // the recorder gives up waiting for the worker and goes
    hold = false;
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::lock_guard lock(rig.Log->M);
            return rig.Log->Closed == 1;
        },
        10000));
    EXPECT_EQ(stopsNamingTheRecorder.load(), 0);
}

TEST(ScreenCam, TheRecorderGoesOnlyAfterAnEventUnderWayHasReturned) {
    TRig rig;
    std::atomic<bool> inHandler{false}, recorderGone{false}, goneDuringTheHandler{false}, handled{false};
    auto* cam = new TScreenCam(nullptr, rig.Seams());
    cam->WorkerWaitMs = GivingUpWaitMs;
    QObject::connect(cam, &QObject::destroyed, [&] { recorderGone = true; });
    cam->OnStart = [&](TScreenCam* sender) {
        inHandler = true;
        // A handler slower than every wait of the recorder's end, still using its recorder.
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(2 * GivingUpWaitMs + 1000);
        while (std::chrono::steady_clock::now() < until && !recorderGone.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        goneDuringTheHandler = recorderGone.load();
        if (!goneDuringTheHandler) (void)sender->ScreenWidth;
        handled = true;
    };
    ASSERT_TRUE(cam->StartRecording(nullptr, "/tmp/x.avi"));
    ASSERT_TRUE(WaitUntil([&] { return inHandler.load(); }, 5000));
    delete cam;
    ASSERT_TRUE(WaitUntil([&] { return handled.load(); }, 5000));
    EXPECT_FALSE(goneDuringTheHandler.load());
    EXPECT_TRUE(recorderGone.load());
}

TEST(ScreenCam, AnExceptionInTheWorkerEndsTheRecordingWithAnError) {
    TRig rig;
    rig.GrabFails = [](int pass) -> bool {
        if (pass == 3) throw std::bad_alloc();
        return false;
    };
    TScreenCam cam(nullptr, rig.Seams());
    QString error;
    cam.OnError = [&](TScreenCam*, const QString& msg) { error = msg; };
    ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/x.avi"));
    ASSERT_TRUE(WaitUntil([&] { return !cam.IsWorking(); }, 5000));
    ASSERT_TRUE(cam.WaitForWorker(1000));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(cam.RecordingState(), TScreenCam::Stopped);
    EXPECT_EQ(rig.Positions().size(), 2u);
}
