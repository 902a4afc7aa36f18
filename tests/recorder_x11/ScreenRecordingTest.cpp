// Recordings of the real X screen through the recorder as the tray program makes it, read back with
// FFmpeg: positions and timing, key frames, pictures, pointer and click circle, and the failures.
#include "FrameChecks.h"
#include "PatternWindow.h"
#include "platform/BitmapInfoHeader.h"
#include "platform/X11PointerReader.h"
#include "recorder/ScrCam.h"
#include "support/AviProbe.h"
#include "support/DesktopSession.h"
#include "support/FileSizeLimit.h"
#include "support/XvfbServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// What the tray program leaves at their initial values.
constexpr int PlaybackRate = 10;
constexpr int GrabPeriodMs = 100;
constexpr int KeyFrameInterval = 5;
// idx1 flag of a key frame.
constexpr std::uint32_t IndexKeyFrame = 0x10;
// How far off a pixel may come back where the encoder codes its block loosely: three 5-bit steps.
// A shifted, lost or stale picture is off by far more.
constexpr int CodecSlack = 24;
// The end of a recording completes its file; on a loaded machine that may take a while.
constexpr int WorkerEndMs = 20000;

int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool Xdotool(const QString& args) {
    return RunOnDisplay(qEnvironmentVariable("DISPLAY"), "xdotool " + args) == 0;
}

// The pointer's picture where it stands now, as the recorder reads it.
std::optional<PointerImage> PointerPicture() {
    X11PointerReader reader;
    std::optional<PointerImage> picture;
    // Qt sets the window's cursor asynchronously; wait until the server reports one.
    WaitUntil([&] { return (picture = reader.CursorImage()).has_value(); }, WorkerEndMs);
    return picture;
}

// One recording with the default seams: the real screen, our AVI file and the steady clock.
class TRecordingRun {
public:
    explicit TRecordingRun(TScreenCam& cam) : Cam(cam) {
        Cam.OnError = [this](TScreenCam*, const QString& msg) { Error = msg; };
        Cam.OnStart = [this](TScreenCam*) { StartedAt = SteadyMs(); };
        Cam.OnStop = [this](TScreenCam*) { ++Stops; };
    }

    // Starts and waits until the frame loop runs; false (with the error) when it did not get there.
    bool Start(QWidget* control, const QString& file) {
        if (!Cam.StartRecording(control, file)) return false;
        WaitUntil([&] { return StartedAt.load() != 0 || !Cam.IsWorking(); }, WorkerEndMs);
        if (StartedAt.load() == 0) Cam.WaitForWorker(WorkerEndMs);
        return StartedAt.load() != 0;
    }
    // Waits until the recorder has written that many more frames, so that what the screen shows now is
    // in the file however slowly the recorder runs.
    bool WaitForFrames(int frames) {
        const int target = Cam.FramesWritten() + frames;
        return WaitUntil([&] { return Cam.FramesWritten() >= target || !Cam.IsWorking(); }, WorkerEndMs) &&
               Cam.FramesWritten() >= target;
    }
    // Stops once the loop has run for ms, and waits for the file to be complete.
    bool StopAfter(int64_t ms) {
        WaitUntil([&] { return SteadyMs() - StartedAt.load() >= ms; }, int(ms) + 1000);
        Cam.Stop();
        StoppedAt = SteadyMs();
        return Cam.WaitForWorker(WorkerEndMs);
    }
    int64_t RecordedMs() const { return StoppedAt - StartedAt.load(); }

    TScreenCam& Cam;
    QString Error;
    std::atomic<int64_t> StartedAt{0};
    std::atomic<int> Stops{0};
    int64_t StoppedAt = 0;
};

// The picture came through: each pixel at its 5-bit colour, but for the few blocks where the
// encoder's trade of size for fidelity, at the recorder's quality, settles a step or two off (seen
// where the pointer has just left).
void ExpectContent(const TContentMatch& match, std::int64_t position) {
    EXPECT_LE(match.Largest, CodecSlack)
        << "at position " << position << ", first at " << match.FirstWrong.x() << "," << match.FirstWrong.y();
    EXPECT_LE(match.Wrong, match.Compared / 1000)
        << "at position " << position << ", first at " << match.FirstWrong.x() << "," << match.FirstWrong.y();
}

struct TPointerStop {
    QPoint At;
    const char* Name;
};

} // namespace

TEST(ScreenRecording, RecordsTheScreenAtItsPositionsWithPointerAndClickCircle) {
    QTemporaryDir dir;
    const QString file = dir.filePath("screen.avi");
    // On the block grid of the frame, so that the cells stay whole.
    const QRect windowRect(200, 120, 1200, 800);
    TPatternWindow window(windowRect, MakePattern(windowRect.size(), true));
    // Where the pointer goes while recording; the left button is held at the third stop.
    const TPointerStop stops[] = {
        {{960, 540}, "start"}, {{400, 300}, "first"}, {{700, 600}, "click"}, {{1100, 420}, "last"}};
    constexpr int ClickStop = 2;
    ASSERT_TRUE(Xdotool("mousemove 960 540"));
    ASSERT_TRUE(window.ShowAndWait());
    const std::optional<PointerImage> pointer = PointerPicture();
    ASSERT_TRUE(pointer.has_value()) << "no pointer picture on the test's screen";

    TScreenCam cam;
    cam.SetShowClicks(true);
    TRecordingRun run(cam);
    ASSERT_TRUE(run.Start(nullptr, file)) << run.Error.toStdString();
    // Each stop is held for several frames; the button is pressed after the pointer has come to rest,
    // and the pointer leaves only after frames have shown the press.
    const struct {
        const char* Input;
        int Frames;
    } steps[] = {{nullptr, 4},       {"mousemove 400 300", 5}, {"mousemove 700 600", 4},
                 {"mousedown 1", 7}, {"mouseup 1", 3},         {"mousemove 1100 420", 4}};
    for (const auto& step : steps) {
        if (step.Input) ASSERT_TRUE(Xdotool(step.Input));
        ASSERT_TRUE(run.WaitForFrames(step.Frames))
            << (step.Input ? step.Input : "start") << ": " << run.Error.toStdString();
    }
    ASSERT_TRUE(run.StopAfter(0));
    EXPECT_TRUE(run.Error.isEmpty()) << run.Error.toStdString();
    EXPECT_EQ(run.Stops.load(), 1);
    EXPECT_EQ(cam.RecordingState(), TScreenCam::Stopped);
    EXPECT_EQ(cam.RecordedSize(), QSize(1920, 1080));

    // The stream: its rate, and one position per grab period of recorded time.
    const TRiffLayout riff = ReadRiffLayout(file);
    EXPECT_EQ(riff.Scale, 1u);
    EXPECT_EQ(riff.Rate, std::uint32_t(PlaybackRate));
    EXPECT_EQ(riff.StreamHandler, TScreenCam::MSVC);
    const int written = cam.FramesWritten(), dropped = cam.DroppedFrames();
    const int64_t expected = run.RecordedMs() / GrabPeriodMs + 1;
    // The last grab may come a pass before the stop, later still on a loaded machine; a position
    // beyond the stop would be a fault.
    EXPECT_LE(int64_t(riff.Length), expected + 1) << run.RecordedMs() << " ms recorded";
    EXPECT_GE(int64_t(riff.Length), expected - std::max<int64_t>(4, expected / 4))
        << run.RecordedMs() << " ms recorded";
    EXPECT_EQ(int(riff.Length), written + dropped) << "every position is either written or dropped";
    EXPECT_GT(written, 0);

    // The index: an empty entry for each dropped position, a key frame at every fifth written frame.
    ASSERT_EQ(riff.Index.size(), std::size_t(riff.Length));
    int empty = 0, frame = 0;
    for (std::size_t i = 0; i < riff.Index.size(); ++i) {
        if (riff.Index[i].Size == 0) {
            ++empty;
            continue;
        }
        EXPECT_EQ((riff.Index[i].Flags & IndexKeyFrame) != 0, frame % KeyFrameInterval == 0)
            << "written frame " << frame << " at position " << i;
        ++frame;
    }
    EXPECT_EQ(empty, dropped);
    EXPECT_EQ(frame, written);

    const TProbedStream probe = ProbeAvi(file);
    ASSERT_TRUE(probe.Opened);
    EXPECT_EQ(QSize(probe.Width, probe.Height), QSize(1920, 1080));
    EXPECT_EQ(probe.FrameRateNum * 1.0 / probe.FrameRateDen, double(PlaybackRate));
    ASSERT_EQ(probe.Packets.size(), std::size_t(written));
    for (std::size_t i = 0; i < probe.Packets.size(); ++i)
        EXPECT_EQ(probe.Packets[i].KeyFrame, i % KeyFrameInterval == 0) << "packet " << i;

    // The pictures: the window as it was shown, the pointer at exactly one of its stops, which follow
    // each other in time, and the red circle while the left button was down, and never before.
    const QImage& content = window.Content();
    const QPoint contentAt = windowRect.topLeft();
    int lastStop = 0, circles = 0;
    std::vector<int> framesAt(std::size(stops), 0);
    const int decoded = ForEachDecodedFrame(file, [&](std::int64_t position, const QImage& picture) {
        EXPECT_EQ(picture.size(), QSize(1920, 1080));
        std::vector<int> shownAt;
        for (int s = 0; s < int(std::size(stops)); ++s)
            if (PointerShownAt(picture, stops[s].At, *pointer, content, contentAt)) shownAt.push_back(s);
        EXPECT_EQ(shownAt.size(), 1u) << "pointer drawn once, at position " << position;
        TContentPlacement placement{contentAt, {}};
        for (int s : shownAt) {
            placement.LeftOut.push_back(PointerAndCircleBox(stops[s].At, *pointer));
            EXPECT_GE(s, lastStop) << "stops in their order, at position " << position;
            lastStop = std::max(lastStop, s);
            ++framesAt[s];
            const double red = CircleShare(picture, stops[s].At, *pointer, qRgb(255, 0, 0));
            if (s < ClickStop) {
                EXPECT_LT(red, 0.2) << "no circle before the click, position " << position;
            }
            if (s == ClickStop && red >= 0.8) ++circles;
        }
        ExpectContent(MatchContent(picture, content, placement), position);
        return !HasFailure();
    });
    // A frame that failed ends the decoding: what follows would only repeat it.
    if (HasFailure()) return;
    EXPECT_EQ(decoded, written);
    for (std::size_t s = 0; s < std::size(stops); ++s)
        EXPECT_GT(framesAt[s], 0) << "a frame with the pointer at the " << stops[s].Name << " stop";
    EXPECT_GT(circles, 0) << "a frame with the red circle around the pointer";
}

TEST(ScreenRecording, AClickWhileCirclesWereOffShowsNoCircleOnceTheyAreOn) {
    QTemporaryDir dir;
    const QString file = dir.filePath("late.avi");
    const QRect windowRect(200, 120, 1200, 800);
    TPatternWindow window(windowRect, MakePattern(windowRect.size(), false));
    const QPoint at(700, 600);
    ASSERT_TRUE(Xdotool("mousemove 700 600"));
    ASSERT_TRUE(window.ShowAndWait());
    const std::optional<PointerImage> pointer = PointerPicture();
    ASSERT_TRUE(pointer.has_value());

    TScreenCam cam;
    TRecordingRun run(cam);
    ASSERT_TRUE(run.Start(nullptr, file)) << run.Error.toStdString();
    for (const char* input : {"mousedown 1", "mouseup 1"}) {
        ASSERT_TRUE(run.WaitForFrames(3));
        ASSERT_TRUE(Xdotool(input));
    }
    // The press is over and frames have been grabbed since: turning the circles on now must not bring
    // it back.
    ASSERT_TRUE(run.WaitForFrames(3));
    cam.SetShowClicks(true);
    ASSERT_TRUE(run.WaitForFrames(10));
    ASSERT_TRUE(run.StopAfter(0));
    EXPECT_TRUE(run.Error.isEmpty()) << run.Error.toStdString();
    int frames = 0;
    ForEachDecodedFrame(file, [&](std::int64_t position, const QImage& picture) {
        ++frames;
        EXPECT_LT(CircleShare(picture, at, *pointer, qRgb(255, 0, 0)), 0.2)
            << "a circle at position " << position;
        return !HasFailure();
    });
    if (!HasFailure()) {
        EXPECT_EQ(frames, cam.FramesWritten());
    }
}

TEST(ScreenRecording, AnOddSizedControlRecordsAtThePaddedSizeWithNoPixelLost) {
    QTemporaryDir dir;
    const QString file = dir.filePath("control.avi");
    // Neither side nor the place a multiple of 4; the last column and row stand out from the cells.
    const QRect controlRect(37, 41, 301, 203);
    QImage content = MakePattern(controlRect.size(), false);
    for (int y = 0; y < content.height(); ++y)
        content.setPixel(content.width() - 1, y, qRgb(255, 255, 255));
    for (int x = 0; x < content.width(); ++x)
        content.setPixel(x, content.height() - 1, qRgb(0, 0, 0));
    TPatternWindow control(controlRect, content);
    ASSERT_TRUE(Xdotool("mousemove 1800 1000")); // well away from the control
    ASSERT_TRUE(control.ShowAndWait());

    TScreenCam cam;
    TRecordingRun run(cam);
    ASSERT_TRUE(run.Start(&control, file)) << run.Error.toStdString();
    ASSERT_TRUE(run.StopAfter(1000));
    EXPECT_TRUE(run.Error.isEmpty()) << run.Error.toStdString();
    EXPECT_EQ(cam.RecordedSize(), controlRect.size());

    const TRiffLayout riff = ReadRiffLayout(file);
    ASSERT_GE(riff.StreamFormat.size(), sizeof(TBitmapInfoHeader));
    TBitmapInfoHeader format;
    std::memcpy(&format, riff.StreamFormat.data(), sizeof format);
    EXPECT_EQ(format.biWidth, 304);
    EXPECT_EQ(format.biHeight, 204);
    const TProbedStream probe = ProbeAvi(file, false);
    EXPECT_EQ(QSize(probe.Width, probe.Height), QSize(304, 204));

    const int decoded = ForEachDecodedFrame(file, [&](std::int64_t position, const QImage& picture) {
        EXPECT_EQ(picture.size(), QSize(304, 204));
        ExpectContent(MatchContent(picture, content, {QPoint(0, 0), {}}), position);
        return !HasFailure();
    });
    EXPECT_GT(decoded, 0);
    EXPECT_EQ(decoded, cam.FramesWritten());
}

TEST(ScreenRecording, AnUnwritableFolderReportsTheOpenErrorAndLeavesNoFile) {
    QTemporaryDir dir;
    // Root writes into any folder the permissions forbid; nobody creates files in /proc.
    QString folder = dir.filePath("locked");
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    if (geteuid() == 0) folder = "/proc";
    const QString file = folder + "/unwritable.avi";

    TScreenCam cam;
    TRecordingRun run(cam);
    EXPECT_FALSE(run.Start(nullptr, file));
    EXPECT_EQ(run.Error, "Error opening Avi file");
    EXPECT_EQ(cam.ErrorText(), "Error opening Avi file");
    EXPECT_EQ(run.Stops.load(), 0);
    EXPECT_EQ(cam.RecordingState(), TScreenCam::Stopped);
    EXPECT_FALSE(QFile::exists(file));
    QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(ScreenRecording, ScreenBitsAreThoseOfThePixelsOfTheScreen) {
    // Every grab is converted to the frames' depth whatever the screen's: ScreenBits tells the screen's
    // own, as its server stores a pixel.
    EXPECT_EQ(TScreenCam().ScreenBits, 32) << "depth 24 is stored in 32 bits";
    XvfbServer shallow(640, 480, 16);
    ASSERT_TRUE(shallow.IsRunning());
    const QByteArray ownDisplay = qgetenv("DISPLAY");
    qputenv("DISPLAY", shallow.DisplayName().toLocal8Bit());
    const int bits = TScreenCam().ScreenBits;
    qputenv("DISPLAY", ownDisplay);
    EXPECT_EQ(bits, 16);
}

// A disk that fills up while recording: the recording ends by itself with the write error the user is
// shown, without waiting for a stop, and the file keeps the frames written before the disk was full.
TEST(ScreenRecording, AFullDiskEndsTheRecordingWithTheWriteErrorAndKeepsTheFramesWritten) {
    QTemporaryDir dir;
    const QString file = dir.filePath("full.avi");
    const QRect windowRect(200, 120, 1200, 800);
    TPatternWindow window(windowRect, MakePattern(windowRect.size(), true));
    ASSERT_TRUE(window.ShowAndWait());

    // Room for the headers and a few key frames of the pattern, filled within seconds.
    constexpr rlim_t Room = 3 << 20;
    TScreenCam cam;
    TRecordingRun run(cam);
    {
        FileSizeLimit limit(Room);
        ASSERT_TRUE(run.Start(nullptr, file)) << run.Error.toStdString();
        ASSERT_TRUE(WaitUntil([&] { return !run.Error.isEmpty(); }, 60000)) << "the recording went on";
        ASSERT_TRUE(cam.WaitForWorker(WorkerEndMs));
    }
    EXPECT_EQ(run.Error, "Error writing frame");
    EXPECT_EQ(cam.ErrorText(), "Error writing frame");
    EXPECT_EQ(cam.RecordingState(), TScreenCam::Stopped);
    EXPECT_LE(QFileInfo(file).size(), qint64(Room));

    // Every frame counted as written is in the file and decodes, as a player reads it.
    const int written = cam.FramesWritten();
    ASSERT_GT(written, 1);
    const TProbedStream probe = ProbeAvi(file);
    ASSERT_TRUE(probe.Opened);
    EXPECT_EQ(QSize(probe.Width, probe.Height), QSize(1920, 1080));
    EXPECT_GE(probe.Packets.size(), std::size_t(written));
    int pictures = 0;
    ForEachDecodedFrame(file, [&](std::int64_t, const QImage& picture) {
        pictures += picture.size() == QSize(1920, 1080);
        return true;
    });
    EXPECT_GE(pictures, written);
}
