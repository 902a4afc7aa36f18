#include "platform/Msvc1Compressor.h"
#include "recorder/AviRecordingSink.h"
#include "recorder/RecordAvi.h"
#include "recorder/ScrCam.h"
#include "support/DesktopSession.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
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
    // Called at the start of every write, without the lock; true makes the write fail.
    std::function<bool(int position)> OnWrite;
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
        if (Log->OnWrite && Log->OnWrite(position)) return 0x8004406E;
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

// Grabs a tiny picture, taking grabMs of virtual time each (or what GrabMsAt says for a pass); a
// scripted pass can fail.
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
        const int pass = Pass++;
        Clock->Advance(GrabMsAt ? GrabMsAt(pass) : GrabMs);
        if (Fails && Fails(pass)) return {};
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::white);
        return MakeDIB(image, 32);
    }
    std::shared_ptr<TFakeClock> Clock;
    std::function<bool(int)> Fails;
    int64_t GrabMs;
    std::shared_ptr<TSinkLog> Log;
    std::function<int64_t(int pass)> GrabMsAt;
    int Pass = 0;
};

struct TRig {
    std::shared_ptr<TFakeClock> Clock = std::make_shared<TFakeClock>();
    std::shared_ptr<TSinkLog> Log = std::make_shared<TSinkLog>();
    std::function<bool(int)> GrabFails;
    int64_t GrabMs = 5;
    std::function<int64_t(int pass)> GrabMsAt;

    TRecorderSeams Seams() {
        TRecorderSeams s;
        s.Clock = Clock;
        s.MakeSink = [log = Log] { return std::make_unique<TFakeSink>(log); };
        s.MakeGrabber = [this] {
            auto grabber = std::make_unique<TFakeGrabber>(Clock, GrabFails, GrabMs, Log);
            grabber->GrabMsAt = GrabMsAt;
            return grabber;
        };
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

// What a recording that ends by itself leaves behind, seen before its recorder goes.
struct TEndedRecording {
    QString Error;
    uint8_t State = 0;
    int FramesWritten = 0;
};

// Records with the rig until the worker ends the recording by itself.
void RecordUntilItEnds(TRig& rig, TEndedRecording& ended) {
    QString error;
    TScreenCam cam(nullptr, rig.Seams());
    cam.OnError = [&](TScreenCam*, const QString& msg) { error = msg; };
    ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/x.avi"));
    ASSERT_TRUE(WaitUntil([&] { return !cam.IsWorking(); }, 5000));
    ASSERT_TRUE(cam.WaitForWorker(1000));
    ended.Error = error;
    ended.State = cam.RecordingState();
    ended.FramesWritten = cam.FramesWritten();
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
    TEndedRecording ended;
    ASSERT_NO_FATAL_FAILURE(RecordUntilItEnds(rig, ended));
    EXPECT_FALSE(ended.Error.isEmpty());
    EXPECT_EQ(ended.State, TScreenCam::Stopped);
    EXPECT_EQ(rig.Positions().size(), 2u);
}

TEST(ScreenCam, PositionsFollowTheGrabClock) {
    // How long each pass's grab takes (pass 0 is the format's grab; later passes take 5 ms), and the
    // positions of the frames written. A pass that begins at 450 ms is at position 4 (half to even),
    // one at 350 ms at position 4 too; one at 250 ms at position 2.
    const struct {
        std::vector<int64_t> grabMs;
        std::vector<int> positions;
    } cases[] = {
        {{5, 5, 5, 5, 5}, {0, 1, 2, 3, 4}},
        {{5, 5, 5, 250, 5, 130, 5, 5}, {0, 1, 2, 4, 5, 6, 7}},
        {{5, 5, 150, 5, 5}, {0, 1, 2, 3}},
        {{5, 5, 250, 5, 5}, {0, 1, 4, 5, 6, 7}},
        {{5, 5, 5, 95, 95, 95, 5}, {0, 1, 2, 3, 4, 5, 6}},
        {{5, 5, 5, 101, 101, 101, 5}, {0, 1, 2, 3, 4, 5, 6}},
        {{5, 5, 5, 160, 160, 160, 5}, {0, 1, 2, 4, 5, 7, 8}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.grabMs));
        TRig rig;
        rig.GrabMsAt = [script = c.grabMs](int pass) {
            return pass < int(script.size()) ? script[pass] : int64_t(5);
        };
        TScreenCam cam(nullptr, rig.Seams());
        ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/x.avi"));
        ASSERT_TRUE(WaitForPositions(rig, c.positions.size() + 2));
        cam.Stop();
        ASSERT_TRUE(cam.WaitForWorker(5000));
        const std::vector<int> p = rig.Positions();
        EXPECT_EQ(std::vector<int>(p.begin(), p.begin() + c.positions.size()), c.positions);
        int skipped = p[0];
        for (size_t i = 1; i < p.size(); ++i)
            skipped += p[i] - p[i - 1] - 1;
        EXPECT_EQ(cam.DroppedFrames(), skipped);
        EXPECT_EQ(cam.FramesWritten(), int(p.size()));
    }
}

namespace {

// A frame that differs from every other pass's, with the pass number in the red and green of its
// first pixel.
QImage PassPicture(int pass) {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(qRgb(40, 90, 160));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            image.setPixel((pass * 3 + x) % 64, (pass * 2 + y) % 48, qRgb(250, (pass * 37) & 0xFF, 20));
    image.setPixel(0, 47, qRgb(pass & 0xFF, (pass >> 8) & 0xFF, 0)); // bottom-up: the block's first pixel
    return image;
}

// Fills each pass's frame into the memory of a block handed back, as the real grabber does, so a
// block still being written while the next frame is grabbed into it would show.
class TPassGrabber : public TFrameGrabber {
public:
    explicit TPassGrabber(std::shared_ptr<TFakeClock> clock) : Clock(std::move(clock)) {}
    TPackedDib GrabFrame(const QRect&, bool, bool) override {
        Clock->Advance(5);
        return MakeDIB(PassPicture(Pass++), 32, std::move(Spare));
    }
    void Recycle(TPackedDib block) override { Spare = std::move(block); }
    std::shared_ptr<TFakeClock> Clock;
    TPackedDib Spare;
    int Pass = 0;
};

// Our AVI file, with a copy of the pixels of every frame it is given, at the moment it is given them.
class TRecordingFileSink : public TAviRecordingSink {
public:
    TRecordingFileSink(std::shared_ptr<std::mutex> m,
                       std::shared_ptr<std::vector<std::pair<int, QByteArray>>> log)
        : TAviRecordingSink(Msvc1CompressorFactory()), M(std::move(m)), Log(std::move(log)) {}
    uint32_t Write(int position, const TPackedDib& block) override {
        {
            std::lock_guard lock(*M);
            Log->emplace_back(position,
                              QByteArray(reinterpret_cast<const char*>(block.Bits()), int(block.BitsSize())));
        }
        return TAviRecordingSink::Write(position, block);
    }
    std::shared_ptr<std::mutex> M;
    std::shared_ptr<std::vector<std::pair<int, QByteArray>>> Log;
};

// Blue, green, red of the first pixel.
int PassOf(const QByteArray& bits) {
    return static_cast<unsigned char>(bits[2]) | static_cast<unsigned char>(bits[1]) << 8;
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(ScreenCam, TheFileHoldsTheGrabbedFramesAsWritingThemOneByOneWould) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto clock = std::make_shared<TFakeClock>();
    auto m = std::make_shared<std::mutex>();
    auto log = std::make_shared<std::vector<std::pair<int, QByteArray>>>();
    TRecorderSeams seams;
    seams.Clock = clock;
    seams.MakeGrabber = [clock] { return std::make_unique<TPassGrabber>(clock); };
    seams.MakeSink = [m, log] { return std::make_unique<TRecordingFileSink>(m, log); };
    auto frames = [&] {
        std::lock_guard lock(*m);
        return log->size();
    };
    const QString recorded = dir.filePath("recorded.avi");
    {
        TScreenCam cam(nullptr, seams);
        ASSERT_TRUE(cam.StartRecording(nullptr, recorded));
        ASSERT_TRUE(WaitUntil([&] { return frames() >= 40; }, 10000));
        cam.Stop();
        ASSERT_TRUE(cam.WaitForWorker(5000));
        EXPECT_TRUE(cam.ErrorText().isEmpty());
        EXPECT_EQ(cam.FramesWritten(), int(frames()));
    }

    // Every frame written is the frame of one pass, whole, passes in order (pass 0 only fixed the
    // format).
    int lastPass = 0;
    for (const auto& [position, bits] : *log) {
        const int pass = PassOf(bits);
        ASSERT_GT(pass, lastPass) << "position " << position;
        TPackedDib expected = MakeDIB(PassPicture(pass), 32);
        ASSERT_EQ(bits, QByteArray(reinterpret_cast<const char*>(expected.Bits()), int(expected.BitsSize())))
            << "position " << position;
        lastPass = pass;
    }

    // The same frames at the same positions, written one after the other by this thread.
    const QString direct = dir.filePath("direct.avi");
    {
        TAviRecordingSink sink(Msvc1CompressorFactory());
        TPackedDib first = MakeDIB(PassPicture(0), 32);
        ASSERT_EQ(sink.Open(direct), 0u);
        ASSERT_EQ(sink.CreateStream(10, first), 0u);
        ASSERT_EQ(sink.MakeCompressedStream(TScreenCam::MSVC, 5, 6550), 0u);
        ASSERT_EQ(sink.SetFormat(first), 0u);
        for (const auto& [position, bits] : *log) {
            const int pass = PassOf(bits);
            ASSERT_EQ(sink.Write(position, MakeDIB(PassPicture(pass), 32)), 0u);
        }
        ASSERT_EQ(sink.Close(), 0u);
    }
    const QByteArray a = FileBytes(recorded), b = FileBytes(direct);
    ASSERT_FALSE(a.isEmpty());
    EXPECT_TRUE(a == b) << "sizes " << a.size() << " and " << b.size();
}

TEST(ScreenCam, StopDuringAWriteCompletesTheWriteThenTheFile) {
    TRig rig;
    std::atomic<bool> release{false}, inWrite{false};
    rig.Log->OnWrite = [&](int position) {
        if (position == 3) {
            inWrite = true;
            while (!release.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    };
    TScreenCam cam(nullptr, rig.Seams());
    int stops = 0;
    cam.OnStop = [&](TScreenCam*) {
        std::lock_guard lock(rig.Log->M);
        ++stops;
        rig.Log->Calls << "stop";
    };
    QString error;
    cam.OnError = [&](TScreenCam*, const QString& msg) { error = msg; };
    ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/x.avi"));
    ASSERT_TRUE(WaitUntil([&] { return inWrite.load(); }, 5000));
    cam.Stop();
    // However long the write takes, the recording ends only after it.
    WaitUntil([] { return false; }, 200);
    EXPECT_TRUE(cam.IsWorking());
    {
        std::lock_guard lock(rig.Log->M);
        EXPECT_EQ(rig.Log->Closed, 0);
        EXPECT_FALSE(rig.Log->Calls.contains("stop"));
    }
    release = true;
    ASSERT_TRUE(cam.WaitForWorker(5000));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(rig.Positions(), std::vector<int>({0, 1, 2, 3}));
    EXPECT_EQ(cam.FramesWritten(), 4);
    std::lock_guard lock(rig.Log->M);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(rig.Log->Calls.mid(rig.Log->Calls.size() - 2), QStringList({"stop", "close"}));
    EXPECT_EQ(rig.Log->Closed, 1);
}

TEST(ScreenCam, AWriteThatFailsWhileTheRecordingIsPausedEndsIt) {
    TRig rig;
    std::atomic<bool> release{false}, inWrite{false};
    std::atomic<int> grabbed{0};
    // Passes grab at 5 ms each, so pass k grabs the frame of position k - 1 (pass 0 fixes the format).
    rig.GrabMsAt = [&](int pass) {
        grabbed = pass;
        return int64_t(5);
    };
    // The frame at position 2 is written slowly, until the recording has been paused; the next one,
    // grabbed before the pause began, fails.
    rig.Log->OnWrite = [&](int position) {
        if (position == 2) {
            inWrite = true;
            while (!release.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return position == 3;
    };
    TScreenCam cam(nullptr, rig.Seams());
    std::atomic<int> stops{0};
    cam.OnStop = [&](TScreenCam*) { ++stops; };
    QString error;
    cam.OnError = [&](TScreenCam*, const QString& msg) { error = msg; };
    ASSERT_TRUE(cam.StartRecording(nullptr, "/tmp/x.avi"));
    ASSERT_TRUE(WaitUntil([&] { return inWrite.load() && grabbed.load() >= 4; }, 5000));
    cam.Pause();
    release = true;
    // Paused and never resumed or stopped, the failure still ends the recording.
    ASSERT_TRUE(WaitUntil([&] { return !cam.IsWorking(); }, 5000));
    ASSERT_TRUE(cam.WaitForWorker(1000));
    EXPECT_EQ(error, "Error writing frame");
    EXPECT_EQ(stops.load(), 1);
    EXPECT_EQ(rig.Positions(), std::vector<int>({0, 1, 2}));
    EXPECT_EQ(cam.FramesWritten(), 3);
    EXPECT_EQ(cam.RecordingState(), TScreenCam::Stopped);
}

TEST(ScreenCam, AnExceptionInAWriteEndsTheRecordingWithAnError) {
    TRig rig;
    rig.Log->OnWrite = [](int position) -> bool {
        if (position == 2) throw std::bad_alloc();
        return false;
    };
    TEndedRecording ended;
    ASSERT_NO_FATAL_FAILURE(RecordUntilItEnds(rig, ended));
    EXPECT_FALSE(ended.Error.isEmpty());
    EXPECT_EQ(ended.State, TScreenCam::Stopped);
    EXPECT_EQ(rig.Positions(), std::vector<int>({0, 1}));
    EXPECT_EQ(ended.FramesWritten, 2);
}
