#include "avi/AviReader.h"
#include "platform/AviFile.h"
#include "platform/BitmapInfoHeader.h"
#include "platform/Msvc1Compressor.h"
#include "recorder/AviRecordingSink.h"
#include "recorder/RecordAvi.h"
#include "recorder/SteadyClock.h"
#include "support/AviProbe.h"
#include "support/DesktopSession.h"

#include "AviFixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <csignal>
#include <gmock/gmock.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int Width = 64, Height = 48;
constexpr int MaxPositions = 4096;

// What the recording tells the test, in memory shared across a fork: how many writes returned, and
// the last position written.
struct TSharedLog {
    std::atomic<int> Written{0};
    std::atomic<int> LastPosition{-1};
};

// Pictures that name their grab, each another than the one before.
class TPatternGrabber : public TFrameGrabber {
public:
    TPackedDib GrabFrame(const QRect&, bool, bool) override {
        return MakeDIB(PatternPicture(Width, Height, Pass++ % 64), 32);
    }
    int Pass = 0;
};

// The recorder's own sink, telling the log which positions it has written, and patterns (shared too)
// which picture each holds.
class TLoggingSink : public TAviRecordingSink {
public:
    explicit TLoggingSink(TSharedLog* log) : TAviRecordingSink(Msvc1CompressorFactory()), Log(log) {}
    uint32_t Write(int position, const TPackedDib& block) override {
        const uint32_t result = TAviRecordingSink::Write(position, block);
        if (result == 0 && position < MaxPositions) {
            Patterns[position] = PatternOf(block);
            Log->LastPosition = position;
            ++Log->Written;
        }
        return result;
    }
    static int PatternOf(const TPackedDib& block) {
        // The block's rows are bottom-up 32-bit pixels; any pixel tells the pattern.
        const std::uint8_t* p = block.Bits();
        return PatternNumberOf(QImage(p, 1, 1, 4, QImage::Format_RGB32).copy());
    }
    TSharedLog* Log;
    int* Patterns = nullptr;
};

class TVirtualClock : public TRecorderClock {
public:
    int64_t NowMs() override { return Now; }
    void SleepMs(int64_t ms) override { Now += ms; }
    int64_t Now = 0;
};

TRecordingJob& MakeJob(TRecordingJob& job, const QString& file, TSharedLog* log, int* patterns,
                       std::shared_ptr<TRecorderClock> clock) {
    job.FileName = file;
    job.Region = QRect(0, 0, Width, Height);
    job.FPSPlayback = 10;
    job.msPFRecord = 100;
    job.KeyFramesEvery = 5;
    job.Quality = 6550;
    job.Compressor = MakeFourCC('M', 'S', 'V', 'C');
    job.Flags = std::make_shared<TRecorderFlags>();
    job.Flags->State = 0;
    job.Seams.Clock = std::move(clock);
    job.Seams.MakeGrabber = [] { return std::make_unique<TPatternGrabber>(); };
    job.Seams.MakeSink = [log, patterns] {
        auto sink = std::make_unique<TLoggingSink>(log);
        sink->Patterns = patterns;
        return sink;
    };
    return job;
}

class CrashRecoveryTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString Path(const QString& name) const { return Dir.filePath(name); }
    void SetUp() override {
        void* shared = mmap(nullptr, sizeof(TSharedLog) + sizeof(int) * MaxPositions, PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(shared, MAP_FAILED);
        Log = new (shared) TSharedLog;
        Patterns = reinterpret_cast<int*>(static_cast<char*>(shared) + sizeof(TSharedLog));
        std::fill(Patterns, Patterns + MaxPositions, -1);
    }
    void TearDown() override { munmap(Log, sizeof(TSharedLog) + sizeof(int) * MaxPositions); }

    // Every position up to last shows the picture written there or, when it stayed empty, the one
    // written before it, read forwards and backwards.
    void ExpectPictures(TAVIFile& avi, int last) {
        std::vector<int> shown(std::size_t(last) + 1, -1);
        for (int position = 0, now = -1; position <= last; ++position)
            shown[position] = now = Patterns[position] >= 0 ? Patterns[position] : now;
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 0; i <= last; ++i) {
                const int position = pass == 0 ? i : last - i;
                const QImage* frame = avi.GetFrame(position);
                ASSERT_NE(frame, nullptr) << position;
                EXPECT_EQ(PatternNumberOf(*frame), shown[position]) << position;
            }
        }
    }

    TSharedLog* Log = nullptr;
    int* Patterns = nullptr;
};

// The recorder's process killed mid-recording, as a crash or a power loss ends it: the file has no
// index and 0 in its counts, and still every frame that reached it opens.
TEST_F(CrashRecoveryTest, ARecordingKilledMidwayOpensWithItsFrames) {
    const QString file = Path("killed.avi");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TRecordingJob job;
        RecordAVI(MakeJob(job, file, Log, Patterns, std::make_shared<TSteadyClock>()));
        _exit(0);
    }
    // About five seconds of recording at ten frames a second.
    const bool recorded = WaitUntil([&] { return Log->LastPosition.load() >= 50; }, 120000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(recorded);
    ASSERT_TRUE(WIFSIGNALED(status));
    const int last = Log->LastPosition.load();

    EXPECT_EQ(ReadRiffLayout(file).Length, 0u); // what a reader trusting the headers sees
    TAVIFile avi;
    ASSERT_NO_THROW(avi.Open(file));
    EXPECT_GE(avi.FrameCount(), std::uint32_t(last)); // all but a last one being written
    ExpectPictures(avi, std::min<int>(last, int(avi.FrameCount()) - 1));
}

// A disk that fills up mid-recording: the user is told, and the file is complete with every frame
// written before the failure, for any player.
TEST_F(CrashRecoveryTest, ARecordingThatFillsTheDiskIsCompletedWithItsFrames) {
    const QString file = Path("full.avi");
    TRecordingJob job;
    int result = -1;
    {
        FileSizeLimit limit(48 * 1024);
        result = RecordAVI(MakeJob(job, file, Log, Patterns, std::make_shared<TVirtualClock>()));
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(job.ErrorText, "Error writing frame");
    const int last = Log->LastPosition.load();
    ASSERT_GT(last, 10);

    const TRiffLayout riff = ReadRiffLayout(file);
    EXPECT_EQ(riff.Length, std::uint32_t(last + 1));
    EXPECT_EQ(riff.MainHeaderFrames, std::uint32_t(last + 1));
    EXPECT_EQ(riff.Index.size(), std::size_t(last + 1));
    EXPECT_EQ(ProbeFrameCount(file), Log->Written.load()); // FFmpeg sees every frame written
    TAVIFile avi;
    ASSERT_NO_THROW(avi.Open(file));
    EXPECT_EQ(avi.FrameCount(), std::uint32_t(last + 1));
    ExpectPictures(avi, last);
}

// A file cut off inside its last chunk, without index or counts: the frames before the cut open.
TEST_F(CrashRecoveryTest, ATornLastChunkIsLeftOut) {
    const QString file = Path("whole.avi"), torn = Path("torn.avi");
    TAviFileWriter w;
    TBitmapInfoHeader h;
    h.biSize = sizeof h;
    h.biWidth = 8;
    h.biHeight = 8;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biSizeImage = std::uint32_t(DibRowBytes(24, 8) * 8);
    ASSERT_EQ(w.Open(file), 0u);
    ASSERT_EQ(w.CreateStream(10), 0u);
    ASSERT_EQ(w.SetFormat(&h, sizeof h), 0u);
    for (int position : {0, 1, 2, 4, 5, 6}) {
        std::vector<std::uint8_t> frame(h.biSizeImage, std::uint8_t(position * 30));
        ASSERT_EQ(w.Write(position, frame.data(), frame.size(), true), 0u);
    }
    ASSERT_TRUE(QFile::copy(file, torn)); // as the process left it before closing
    ASSERT_EQ(w.Close(), 0u);
    QFile cut(torn);
    ASSERT_TRUE(cut.resize(cut.size() - 10));

    TAVIFile avi;
    ASSERT_NO_THROW(avi.Open(torn));
    EXPECT_EQ(avi.FrameCount(), 6u); // positions 0 to 5: the empty 3 counts, the torn 6 does not
    const int shows[6] = {0, 1, 2, 2, 4, 5};
    for (int position = 5; position >= 0; --position) {
        const QImage* frame = avi.GetFrame(position);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(qBlue(frame->pixel(3, 3)), shows[position] * 30) << position;
    }
}

} // namespace
