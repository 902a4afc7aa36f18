#include "editor/SaveEditList.h"
#include "avi/AviReader.h"
#include "avi/SaveAvi.h"
#include "support/AviProbe.h"
#include "support/FaultInjection.h"
#include "support/SolidRecording.h"

#include <QDir>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <thread>

using fault::ReadAll;

namespace {

constexpr int FrameWidth = 160, FrameHeight = 120;

void MakeSource(const QString& path, int frames) {
    ASSERT_TRUE(WriteSolidRecording(path, QSize(FrameWidth, FrameHeight), 10, frames));
}

// The white of an annotation, not the colour of any source frame.
bool NearWhite(QRgb pixel) {
    return qRed(pixel) > 230 && qGreen(pixel) > 230 && qBlue(pixel) > 230;
}

// The pieces of a save as the window gives them, over a real source file.
class SaveEditListTest : public ::testing::Test {
protected:
    void SetUp() override {
        Source = Dir.path() + "/movie.avi";
        MakeSource(Source, 8);
        Reader.Open(Source);
        Original = ReadAll(Source);
    }

    QString TempFolder() const { return Dir.path() + "/temp"; }
    QStringList TempFiles() const { return QDir(TempFolder()).entryList(QDir::Files | QDir::Hidden); }

    TSaveRequest Request(const QString& target) {
        TSaveRequest r;
        r.Target = target;
        r.FrameMap = Map;
        r.ReadFrame = [this](int frame) {
            return Unreadable.count(frame) ? nullptr : Reader.GetFrame(frame);
        };
        r.RateNumerator = Reader.RateNumerator();
        r.RateDenominator = Reader.RateDenominator();
        r.DrawSteps = [this](QImage& frame, int position) {
            Drawn.push_back(position);
            if (Marked.count(position)) QPainter(&frame).fillRect(0, 0, 40, 40, Qt::white);
        };
        r.Progress = [this](int percent) { Progress.push_back(percent); };
        return r;
    }

    QTemporaryDir Dir;
    fault::TTempFolderScope Temp{Dir.path() + "/temp"};
    QString Source;
    QByteArray Original;
    TAVIFile Reader;
    std::vector<int> Map{0, 1, 1, 5, 3};
    std::set<int> Marked{2};
    std::set<int> Unreadable;
    std::vector<int> Drawn, Progress;
};

} // namespace

// Every position of the map in order, its annotations drawn in, at the source's own rate, in place of
// the open file; nothing left in the temporary folder.
TEST_F(SaveEditListTest, WritesEveryPositionWithItsStepsOverTheTarget) {
    ::chmod(QFile::encodeName(Source).constData(), 0640);
    const TSaveOutcome outcome = SaveEditList(Request(Source));
    ASSERT_EQ(outcome.End, TSaveEnd::Saved) << outcome.Message.toStdString();
    EXPECT_EQ(Drawn, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(Progress, (std::vector<int>{0, 20, 40, 60, 80}));
    EXPECT_TRUE(TempFiles().isEmpty()) << TempFiles().join(",").toStdString();
    struct stat st {};
    ::stat(QFile::encodeName(Source).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    TAVIFile saved;
    saved.Open(Source);
    ASSERT_EQ(saved.FrameCount(), Map.size());
    EXPECT_EQ(saved.RateNumerator() * Reader.RateDenominator(),
              Reader.RateNumerator() * saved.RateDenominator());
    for (int i = 0; i < int(Map.size()); ++i) {
        const QImage frame = *saved.GetFrame(i);
        EXPECT_TRUE(ShowsPosition(frame.pixel(100, 60), Map[i])) << "position " << i;
        EXPECT_EQ(NearWhite(frame.pixel(10, 10)), Marked.count(i) == 1) << "position " << i;
    }
    // Other players read it: FFmpeg's own decoder takes every frame.
    EXPECT_EQ(ForEachDecodedFrame(Source, [](std::int64_t, const QImage& p) { return !p.isNull(); }),
              int(Map.size()));
}

// Each way a save can fail before the move: the target keeps every byte, the temporary file is gone,
// and the user is told why.
TEST_F(SaveEditListTest, RefusedSavesReplaceNothingAndLeaveNothing) {
    struct Case {
        const char* Name;
        std::vector<int> Map;
        std::set<int> Unreadable;
        bool DrawingFails;
        const char* Message;
    } cases[] = {
        {"no positions", {}, {}, false, "There are no frames to save.\r\nThe file was not saved."},
        {"first unreadable", {4, 1}, {4}, false, "Frame 1 cannot be read.\r\nThe file was not saved."},
        {"later unreadable",
         {0, 3, 1, 3, 6},
         {3, 6},
         false,
         "Frames 2, 4, 5 cannot be read.\r\nThe file was not saved."},
        {"drawing fails", {0, 1}, {}, true, "Cannot draw stamp.bmp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Map = c.Map;
        Unreadable = c.Unreadable;
        TSaveRequest request = Request(Source);
        if (c.DrawingFails)
            request.DrawSteps = [](QImage&, int) { throw Exception("Cannot draw stamp.bmp"); };
        const TSaveOutcome outcome = SaveEditList(request);
        EXPECT_EQ(outcome.End, TSaveEnd::Refused);
        EXPECT_EQ(outcome.Message, c.Message);
        EXPECT_EQ(ReadAll(Source), Original);
        EXPECT_TRUE(TempFiles().isEmpty()) << TempFiles().join(",").toStdString();
    }
}

// The window tells of a source that changed under it before the save or while it read: the save is
// refused as for an unreadable frame, every position still read so that those lost can be named.
TEST_F(SaveEditListTest, ASourceThatChangesBeforeOrDuringTheSaveReplacesNothing) {
    struct Case {
        const char* Name;
        int ChangedAfterReads; // the source reads as changed once this many frames were read
        std::set<int> Unreadable;
        const char* Message;
    } cases[] = {
        {"before", 0, {}, "The source changed.\r\nThe file was not saved."},
        {"while read", 3, {}, "The source changed.\r\nThe file was not saved."},
        {"with frames lost",
         0,
         {5},
         "Frame 4 cannot be read.\r\nThe source changed.\r\nThe file was not saved."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Unreadable = c.Unreadable;
        Drawn.clear();
        int reads = 0;
        TSaveRequest request = Request(Source);
        const auto read = request.ReadFrame;
        request.ReadFrame = [&](int frame) {
            ++reads;
            return read(frame);
        };
        request.SourceChange = [&] {
            return reads >= c.ChangedAfterReads ? QString("The source changed.") : QString();
        };
        const TSaveOutcome outcome = SaveEditList(request);
        EXPECT_EQ(outcome.End, TSaveEnd::Refused);
        EXPECT_EQ(outcome.Message, c.Message);
        EXPECT_EQ(reads, int(Map.size()));
        if (c.ChangedAfterReads == 0) EXPECT_TRUE(Drawn.empty()) << "nothing is written for a changed source";
        EXPECT_EQ(ReadAll(Source), Original);
        EXPECT_TRUE(TempFiles().isEmpty()) << TempFiles().join(",").toStdString();
    }
}

// Rates the writer cannot take: faster than 1000 frames per second is saved at 1000, none at 10.
TEST_F(SaveEditListTest, RatesBeyondTheWritersRange) {
    struct Case {
        std::uint32_t Rate, Scale, SavedRate, SavedScale;
    } cases[] = {{5000, 1, 1000, 1}, {0, 1, 10, 1}, {25, 0, 10, 1}, {2997, 100, 2997, 100}};
    for (const Case& c : cases) {
        TSaveRequest request = Request(Dir.path() + "/rated.avi");
        request.RateNumerator = c.Rate;
        request.RateDenominator = c.Scale;
        ASSERT_EQ(SaveEditList(request).End, TSaveEnd::Saved);
        TAVIFile saved;
        saved.Open(Dir.path() + "/rated.avi");
        EXPECT_EQ(saved.RateNumerator() * c.SavedScale, c.SavedRate * saved.RateDenominator()) << c.Rate;
    }
}

TEST_F(SaveEditListTest, ManyUnreadablePositionsAreNamedInShort) {
    Map.assign(30, 2);
    Unreadable = {2};
    const TSaveOutcome outcome = SaveEditList(Request(Source));
    EXPECT_EQ(
        outcome.Message,
        "Frames 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20 and 10 more cannot "
        "be read.\r\nThe file was not saved.");
}

// A full disk under the temporary folder: the first write that fails ends the save.
TEST_F(SaveEditListTest, FullDiskStopsAtTheFirstFailedWrite) {
    Reader.Close();
    MakeSource(Source, 8);
    Original = ReadAll(Source);
    Reader.Open(Source);
    Map = {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7};
    const int result = fault::RunInChild(
        [&] {
            const TSaveOutcome outcome = SaveEditList(Request(Source));
            if (outcome.End != TSaveEnd::Refused) return 1;
            if (!outcome.Message.startsWith("Error writing frame ")) return 2;
            return 0;
        },
        Original.size() / 2);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadAll(Source), Original);
    EXPECT_TRUE(TempFiles().isEmpty()) << TempFiles().join(",").toStdString();
}

// A target the move cannot replace: the target stays, and the new file is kept and named, as it holds
// the user's work.
TEST_F(SaveEditListTest, FailedMoveKeepsTheWorkAndNamesIt) {
    const QString folder = Dir.path() + "/ro";
    fault::TReadOnlyFolder readOnly(folder,
                                    [&](const QString& f) { fault::WriteAll(f + "/movie.avi", Original); });
    if (!readOnly.Ok()) GTEST_SKIP() << "no read-only folder can be made here";
    const TSaveOutcome outcome = SaveEditList(Request(folder + "/movie.avi"));
    ASSERT_EQ(outcome.End, TSaveEnd::MoveFailed);
    EXPECT_EQ(ReadAll(folder + "/movie.avi"), Original);
    ASSERT_EQ(TempFiles(), QStringList{"~Qz0.avi"});
    EXPECT_EQ(outcome.TempFile, TempFolder() + "/~Qz0.avi");
    EXPECT_TRUE(outcome.Message.contains(outcome.TempFile)) << outcome.Message.toStdString();
    TAVIFile kept;
    kept.Open(outcome.TempFile);
    EXPECT_EQ(kept.FrameCount(), Map.size());
}

TEST_F(SaveEditListTest, TargetOnAnotherFileSystem) {
    fault::TOtherFileSystemFolder other(TempFolder(), Dir.path() + "/mnt");
    if (other.path().isEmpty()) GTEST_SKIP() << "no second file system here";
    const QString target = other.path() + "/movie.avi";
    ASSERT_TRUE(fault::WriteAll(target, Original));
    const TSaveOutcome outcome = SaveEditList(Request(target));
    ASSERT_EQ(outcome.End, TSaveEnd::Saved) << outcome.Message.toStdString();
    TAVIFile saved;
    saved.Open(target);
    EXPECT_EQ(saved.FrameCount(), Map.size());
    EXPECT_TRUE(TempFiles().isEmpty());
    EXPECT_TRUE(QDir(other.path()).entryList({"~Qz*"}, QDir::Files).isEmpty());
}

// A save killed at any moment, the move included: the target is the old file or the complete new one.
TEST_F(SaveEditListTest, KilledAtAnyMomentTargetIsOldOrNew) {
    Reader.Close();
    MakeSource(Source, 8);
    Reader.Open(Source);
    Map.clear();
    for (int i = 0; i < 120; ++i)
        Map.push_back(i % 8);
    fault::TOtherFileSystemFolder other(TempFolder(), Dir.path() + "/mnt");
    // Across file systems the move is a copy and a rename: the longer road to interrupt.
    const QString target = other.path().isEmpty() ? Source : other.path() + "/movie.avi";
    const QByteArray old = ReadAll(Source);
    ASSERT_TRUE(fault::WriteAll(target, old));

    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(fault::RunInChild([&] { return SaveEditList(Request(target)).End == TSaveEnd::Saved ? 0 : 1; }),
              0);
    const qint64 span =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started)
            .count();
    const QByteArray fresh = ReadAll(target);
    ASSERT_NE(fresh, old);

    int sawOld = 0, sawNew = 0;
    for (int trial = 0; trial < 20; ++trial) {
        ASSERT_TRUE(fault::WriteAll(target, old));
        // The moments spread over the whole save, the last ones near its end where the move runs.
        const qint64 at = span * (trial + QRandomGenerator::global()->generateDouble()) / 20;
        const pid_t child = fork();
        if (child == 0) _exit(SaveEditList(Request(target)).End == TSaveEnd::Saved ? 0 : 1);
        std::this_thread::sleep_for(std::chrono::microseconds(at));
        ::kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const QByteArray now = ReadAll(target);
        ASSERT_TRUE(now == old || now == fresh) << "trial " << trial << " at " << at << " us";
        (now == old ? sawOld : sawNew) += 1;
        for (const QString& f : TempFiles())
            QFile::remove(TempFolder() + "/" + f);
    }
    RecordProperty("old", sawOld);
    RecordProperty("new", sawNew);
}
