#include "avi/AviReader.h"
#include "AviFixtures.h"
#include "avi/SaveAvi.h"
#include "platform/AviChunkIndex.h"
#include "platform/AviErrors.h"
#include "platform/AviFile.h"
#include "platform/BitmapInfoHeader.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gmock/gmock.h>
#include <numeric>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/error.h>
}

namespace {

class AviReaderTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString Path(const QString& name) const { return Dir.filePath(name); }
};

struct TCodecCase {
    const char* Name;
    const char* Arguments; // what the ffmpeg command is given for the video stream
    int Width, Height;     // rows of odd lengths for the codecs that take them
    int Tolerance;         // per channel, against FFmpeg's decode of the same file
};

// Files of other programs, as FFmpeg's command writes them, read back picture for picture.
TEST_F(AviReaderTest, FilesOfOtherCodecsShowTheirPicturesAtEveryPosition) {
    const TCodecCase cases[] = {
        {"msvideo1", "-c:v msvideo1", 68, 44, 0},
        {"mjpeg", "-c:v mjpeg -q:v 3", 70, 46, 2},
        {"bgr24", "-c:v rawvideo -pix_fmt bgr24", 69, 45, 0},
        {"pal8", "-c:v rawvideo -pix_fmt pal8", 69, 45, 0},
        {"rgb555", "-c:v rawvideo -pix_fmt rgb555le", 69, 45, 0},
        {"bgra", "-c:v rawvideo -pix_fmt bgra", 69, 45, 0},
        {"mpeg4-bframes", "-c:v mpeg4 -bf 2 -g 6 -q:v 4", 70, 46, 2},
        {"h264", "-c:v libx264 -g 5 -bf 2 -pix_fmt yuv420p", 70, 46, 2},
    };
    std::mt19937 random(7);
    for (const TCodecCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString file = Path(QString(c.Name) + ".avi");
        if (!MakeTestAvi(file, c.Width, c.Height, "10", 20, c.Arguments)) {
            if (QString(c.Name) == "h264") continue; // an ffmpeg without libx264
            FAIL() << "ffmpeg could not write the file";
        }
        const std::vector<QImage> expected = DecodeWithFFmpeg(file);
        ASSERT_EQ(expected.size(), 20u);

        TAVIFile avi;
        ASSERT_NO_THROW(avi.Open(file));
        EXPECT_TRUE(avi.Opened());
        EXPECT_EQ(avi.FrameCount(), 20u);
        EXPECT_EQ(avi.Width(), c.Width);
        EXPECT_EQ(avi.Height(), c.Height);
        std::vector<int> order(20);
        for (int i = 0; i < 20; ++i)
            order[i] = i;
        std::shuffle(order.begin(), order.end(), random);
        // Sequential, then random, then backwards: every road gives the same pictures.
        std::vector<int> roads;
        for (int i = 0; i < 20; ++i)
            roads.push_back(i);
        roads.insert(roads.end(), order.begin(), order.end());
        for (int i = 19; i >= 0; --i)
            roads.push_back(i);
        for (int position : roads) {
            const QImage* frame = avi.GetFrame(position);
            ASSERT_NE(frame, nullptr) << position;
            EXPECT_LE(MaxChannelDifference(*frame, expected[position]), c.Tolerance) << position;
        }
    }
}

// Our recordings are read by our own Video 1 decoder: every block mode, skips and key frames of our
// encoder, pixel for pixel as FFmpeg's decoder shows them, in any order.
TEST_F(AviReaderTest, RecordingsShowWhatFFmpegShows) {
    const QString source = Path("source.avi"), saved = Path("saved.avi");
    ASSERT_TRUE(MakeTestAvi(source, 96, 64, "10", 16, "-c:v rawvideo -pix_fmt bgr24"));
    TSaveAvi out;
    out.KeyFrameEvery = 6;
    // Every fourth frame repeats the one before: all its blocks are skipped.
    ASSERT_TRUE(CopyThroughEditor(source, saved, out, [](int i) { return i % 4 == 3 ? i - 1 : i; }));
    const std::vector<QImage> expected = DecodeWithFFmpeg(saved);
    ASSERT_EQ(expected.size(), 16u);
    TAVIFile avi;
    avi.Open(saved);
    for (int position : {15, 0, 7, 6, 5, 11, 12, 1, 2, 3, 4, 8, 9, 10, 13, 14}) {
        const QImage* frame = avi.GetFrame(position);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(MaxChannelDifference(*frame, expected[position]), 0) << position;
    }
}

TEST_F(AviReaderTest, FrameDelayFollowsTheStreamRate) {
    const struct {
        const char* Rate;
        int Delay;
        std::uint32_t Numerator, Denominator;
    } cases[] = {{"10", 100, 10, 1}, {"15", 66, 15, 1}, {"30000/1001", 33, 30000, 1001}, {"25", 40, 25, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Rate);
        const QString file = Path("rate.avi");
        ASSERT_TRUE(MakeTestAvi(file, 16, 16, c.Rate, 3, "-c:v msvideo1"));
        ExpectReadRate(file, c.Delay, c.Numerator, c.Denominator);
    }
}

TEST_F(AviReaderTest, PositionsOutsideTheStreamGiveNoneAndTheBitmapIsOneObject) {
    const QString file = Path("few.avi");
    ASSERT_TRUE(MakeTestAvi(file, 32, 32, "10", 4, "-c:v rawvideo -pix_fmt bgr24"));
    const std::vector<QImage> expected = DecodeWithFFmpeg(file);
    TAVIFile avi;
    avi.Open(file);
    EXPECT_EQ(avi.GetFrame(-1), nullptr);
    EXPECT_EQ(avi.GetFrame(4), nullptr);
    EXPECT_EQ(avi.GetFrame(INT32_MAX), nullptr);
    QImage* first = avi.GetFrame(0);
    ASSERT_NE(first, nullptr);
    // A caller that keeps the frame and draws on it leaves the reader's next pictures untouched.
    QImage kept = *first;
    first->fill(Qt::red);
    QImage* second = avi.GetFrame(1);
    EXPECT_EQ(second, first);
    EXPECT_EQ(MaxChannelDifference(*second, expected[1]), 0);
    EXPECT_EQ(MaxChannelDifference(kept, expected[0]), 0); // the copy was not drawn on
    second->fill(Qt::blue);
    EXPECT_EQ(MaxChannelDifference(*avi.GetFrame(1), expected[1]), 0);

    avi.Close();
    EXPECT_FALSE(avi.Opened());
    EXPECT_EQ(avi.FrameCount(), 0u);
    EXPECT_EQ(avi.Width(), 0);
    EXPECT_EQ(avi.FrameDelay(), 0);
    EXPECT_EQ(avi.GetFrame(0), nullptr);
    EXPECT_EQ(avi.FileName(), file);
}

// The picture of every position of a recording with skipped positions, as our writer stores it.
TEST_F(AviReaderTest, EmptyPositionsShowThePictureBeforeThem) {
    const QString file = Path("skips.avi");
    const std::vector<int> written = {0, 1, 4, 5, 9};
    ASSERT_TRUE(WriteMsvcRecording(file, 50, 30, written));
    TAVIFile avi;
    avi.Open(file);
    EXPECT_EQ(avi.FrameCount(), 10u);
    EXPECT_EQ(avi.Width(), 52); // padded to whole blocks, as the recorder declares it
    EXPECT_EQ(avi.Height(), 32);
    const int shows[10] = {0, 1, 1, 1, 4, 5, 5, 5, 5, 9};
    for (int position : {9, 2, 0, 7, 3, 1, 8, 4, 6, 5}) {
        QImage* frame = avi.GetFrame(position);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(PatternNumberOf(*frame), shows[position]) << position;
        // What is drawn on one position never shows on another that holds the same picture.
        QPainter painter(frame);
        painter.fillRect(frame->rect(), Qt::white);
    }
}

// FFmpeg's results and the system's errors map to the codes the messages are chosen by, in the one
// place the reader and the writer share.
TEST(AviErrors, ResultsMapToTheOpenMessages) {
    const struct {
        int Error;
        AviResult Code;
        const char* Message;
    } cases[] = {
        {AVERROR(ENOENT), AVIERR_FILEOPEN, "A disk error occurred while opening the file."},
        {AVERROR(EACCES), AVIERR_FILEOPEN, "A disk error occurred while opening the file."},
        {AVERROR(EIO), AVIERR_FILEREAD, "A disk error occurred while reading the file."},
        {AVERROR(ENOMEM), AVIERR_MEMORY, "The file could not be opened because of insufficient memory."},
        {AVERROR_INVALIDDATA, AVIERR_BADFORMAT, "The file couldn't be read"},
        {AVERROR_EOF, AVIERR_BADFORMAT, "The file couldn't be read"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AviReadResult(c.Error), c.Code) << c.Error;
        EXPECT_EQ(AviOpenMessage(c.Code), c.Message);
    }
    EXPECT_EQ(AviOpenMessage(AVIERR_UNSUPPORTED), ""); // a code without a message of its own
    EXPECT_EQ(AviOpenMessage(AVIERR_FILEWRITE), "");
    EXPECT_EQ(AviWriteResult(AVERROR(ENOSPC)), AVIERR_FILEWRITE);
    EXPECT_EQ(AviWriteResult(AVERROR(ENOMEM)), AVIERR_MEMORY);
    EXPECT_EQ(AviCreateResult(AVERROR(ENOENT)), AVIERR_FILEOPEN);
}

TEST_F(AviReaderTest, FilesThatAreNotReadableAviVideoRaiseTheirMessages) {
    ASSERT_TRUE(MakeTestAvi(Path("movie.mp4"), 16, 16, "10", 3, "-c:v mpeg4"));
    ASSERT_TRUE(RunFFmpeg(
        {"-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-c:a", "pcm_s16le", Path("sound.avi")}));
    QFile random(Path("noise.avi"));
    ASSERT_TRUE(random.open(QIODevice::WriteOnly));
    std::mt19937 bytes(3);
    QByteArray noise(4096, 0);
    for (char& b : noise)
        b = char(bytes());
    random.write(noise);
    random.close();
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe.avi")).constData(), 0600), 0);
    QDir(Dir.path()).mkdir("folder.avi");

    const QString unreadable = "The file couldn't be read";
    const QString notOpened = "A disk error occurred while opening the file.";
    const struct {
        QString Name;
        QString Message;
    } cases[] = {
        {"movie.mp4", unreadable},  {"sound.avi", unreadable},  {"noise.avi", unreadable},
        {"pipe.avi", unreadable},   {"missing.avi", notOpened}, {"no/such/folder.avi", notOpened},
        {"folder.avi", unreadable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name.toStdString());
        TAVIFile avi;
        try {
            avi.Open(Path(c.Name));
            ADD_FAILURE() << "opened";
        } catch (const EAviException& e) {
            EXPECT_EQ(e.message(), c.Message);
        }
        EXPECT_FALSE(avi.Opened());
        EXPECT_EQ(avi.FrameCount(), 0u);
        EXPECT_EQ(avi.GetFrame(0), nullptr);
    }
}

// The bytes of a file, to be changed by a test and written back.
QByteArray ReadAll(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void WriteAll(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
void Put32(QByteArray& bytes, qsizetype at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (8 * i));
}

// What a file says of itself is checked before it is believed: counts stay unsigned and bounded by
// what the file holds, frame sizes are refused before anything of their size is allocated.
TEST_F(AviReaderTest, HostileHeadersAreBoundedOrRefused) {
    const QString base = Path("base.avi");
    ASSERT_TRUE(WriteMsvcRecording(base, 16, 16, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    const QByteArray original = ReadAll(base);
    const qsizetype strh = original.indexOf("strh") + 8, strf = original.indexOf("strf") + 8;
    const qsizetype idx1 = original.indexOf("idx1") + 8;
    ASSERT_GT(strh, 8);
    ASSERT_GT(idx1, 8);
    const struct {
        const char* Name;
        std::function<void(QByteArray&)> Change;
        std::uint32_t Frames; // 0: refused with the unreadable-file message
        int Delay;
    } cases[] = {
        {"length 2^31", [&](QByteArray& b) { Put32(b, strh + 32, 0x80000000u); }, 10, 100},
        {"length 2^32 - 1", [&](QByteArray& b) { Put32(b, strh + 32, 0xFFFFFFFFu); }, 10, 100},
        {"length shorter than the index", [&](QByteArray& b) { Put32(b, strh + 32, 4); }, 4, 100},
        {"rate 0", [&](QByteArray& b) { Put32(b, strh + 24, 0); }, 10, 100},
        {"scale 2^32 - 1", [&](QByteArray& b) { Put32(b, strh + 20, 0xFFFFFFFFu); }, 10, INT32_MAX},
        {"index past the file's end",
         [&](QByteArray& b) {
             for (int i = 0; i < 10; ++i)
                 Put32(b, idx1 + 16 * i + 8, 0x7FFFFFF0u);
         },
         10, 100},
        {"frame of 100000 x 100000",
         [&](QByteArray& b) {
             Put32(b, strf + 4, 100000);
             Put32(b, strf + 8, 100000);
         },
         0, 0},
        {"frame of 16384 x 16384",
         [&](QByteArray& b) {
             Put32(b, strf + 4, 16384);
             Put32(b, strf + 8, 16384);
         },
         0, 0},
        {"a codec nobody knows", [&](QByteArray& b) { b.replace(strf + 16, 4, "ZZZZ"); }, 0, 0},
        {"no video stream", [&](QByteArray& b) { b.replace(strh, 4, "auds"); }, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QByteArray bytes = original;
        c.Change(bytes);
        const QString file = Path("hostile.avi");
        WriteAll(file, bytes);
        TAVIFile avi;
        if (c.Frames == 0) {
            try {
                avi.Open(file);
                ADD_FAILURE() << "opened";
            } catch (const EAviException& e) {
                EXPECT_EQ(e.message(), "The file couldn't be read");
            }
            continue;
        }
        ASSERT_NO_THROW(avi.Open(file));
        EXPECT_EQ(avi.FrameCount(), c.Frames);
        EXPECT_EQ(avi.FrameDelay(), c.Delay);
        for (int position = int(c.Frames) - 1; position >= 0; --position)
            avi.GetFrame(position); // may show nothing, must not fail
    }
}

// Some writers count index offsets from the file's start rather than from the movi list.
TEST_F(AviReaderTest, IndexOffsetsFromTheFilesStartAreFound) {
    const QString file = Path("absolute.avi");
    ASSERT_TRUE(WriteMsvcRecording(file, 16, 16, {0, 1, 2, 3, 4, 5}));
    QByteArray bytes = ReadAll(file);
    const qsizetype movi = bytes.indexOf("movi"), idx1 = bytes.indexOf("idx1") + 8;
    ASSERT_GT(movi, 0);
    for (int i = 0; i < 6; ++i) {
        const qsizetype at = idx1 + 16 * i + 8;
        std::uint32_t offset = 0;
        std::memcpy(&offset, bytes.constData() + at, 4);
        Put32(bytes, at, offset + std::uint32_t(movi));
    }
    WriteAll(file, bytes);
    TAVIFile avi;
    avi.Open(file);
    ASSERT_EQ(avi.FrameCount(), 6u);
    for (int position : {5, 0, 3})
        EXPECT_EQ(PatternNumberOf(*avi.GetFrame(position)), position);
}

// Whatever bytes a file holds, Open and GetFrame answer, with bounded memory; the sanitizer builds
// see what a plain run cannot.
TEST_F(AviReaderTest, DamagedFilesNeverBreakTheReader) {
    const QString base = Path("base.avi");
    ASSERT_TRUE(WriteMsvcRecording(base, 24, 16, {0, 1, 2, 4, 5, 6, 7, 9, 10, 11}));
    const QByteArray original = ReadAll(base);
    std::mt19937 random(11);
    const QString file = Path("damaged.avi");
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = original;
        const int changes = 1 + int(random() % 8);
        for (int i = 0; i < changes; ++i) {
            // Most changes hit the headers and index, where sizes and counts live.
            const bool header = random() % 3 != 0;
            const qsizetype at = header && random() % 2 ? qsizetype(random() % 600)
                                                        : qsizetype(random() % std::uint32_t(bytes.size()));
            bytes[at] = char(random() % 3 == 0 ? 0xFF : random());
        }
        if (round % 10 == 0) bytes.truncate(qsizetype(random() % std::uint32_t(bytes.size())));
        WriteAll(file, bytes);
        TAVIFile avi;
        try {
            avi.Open(file);
        } catch (const EAviException&) {
            continue;
        }
        const int count = int(std::min<std::uint32_t>(avi.FrameCount(), 64));
        for (int i = 0; i < count; ++i)
            avi.GetFrame(int(random() % std::uint32_t(count)));
    }
}

TEST_F(AviReaderTest, OpeningAThousandTimesKeepsNoDescriptor) {
    const QString file = Path("again.avi");
    ASSERT_TRUE(WriteMsvcRecording(file, 16, 16, {0, 1, 2}));
    const QString noise = Path("noise.avi");
    WriteAll(noise, QByteArray(1000, 'x'));
    const int before = OpenDescriptorCount();
    TAVIFile avi;
    for (int i = 0; i < 1000; ++i) {
        avi.Open(file);
        ASSERT_NE(avi.GetFrame(i % 3), nullptr);
        avi.Close();
        EXPECT_THROW(avi.Open(noise), EAviException);
    }
    avi.Open(file); // and one left open is released by the destructor
    EXPECT_EQ(OpenDescriptorCount(), before + 1);
    avi.Close();
    EXPECT_EQ(OpenDescriptorCount(), before);
}

// The chunks of file's positions, as the reader finds them.
std::vector<TAviChunk> ChunksOf(const QString& file) {
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    TAviFileBytes bytes(fd);
    TAviStreamLayout layout;
    const bool read = ReadAviStreamLayout(bytes, layout) == AVIERR_OK;
    ::close(fd);
    return read ? layout.Chunks : std::vector<TAviChunk>();
}

// For each position, whether the chunk it shows (its own, or the last one before it when it is empty)
// lies wholly within the first size bytes of the file.
std::vector<bool> ShownChunkWithin(const std::vector<TAviChunk>& chunks, std::uint64_t size) {
    std::vector<bool> within;
    bool shown = true; // before any picture: black, which needs no bytes
    for (const TAviChunk& c : chunks) {
        if (c.Size > 0) shown = c.Offset + c.Size <= size;
        within.push_back(shown);
    }
    return within;
}

// Another program cuts the file short while it is open. A frame whose bytes went with it is none, not
// the picture before it, which only an empty position shows; the frames left still read as they were.
TEST_F(AviReaderTest, AFileCutShortAfterOpeningGivesNoneForTheFramesItLost) {
    struct {
        const char* Name;
        std::function<bool(const QString&)> Write;
    } cases[] = {
        {"recording with empty positions",
         [](const QString& f) {
             return WriteMsvcRecording(f, 48, 32, {0, 1, 2, 4, 5, 6, 9, 10, 11, 14, 15});
         }},
        {"mjpeg", [](const QString& f) { return MakeTestAvi(f, 48, 32, "10", 16, "-c:v mjpeg -q:v 3"); }},
        {"bgr24",
         [](const QString& f) { return MakeTestAvi(f, 48, 32, "10", 16, "-c:v rawvideo -pix_fmt bgr24"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString file = Path(QString(c.Name).replace(' ', '-') + ".avi");
        ASSERT_TRUE(c.Write(file));
        TAVIFile avi;
        avi.Open(file);
        const int count = int(avi.FrameCount());
        ASSERT_EQ(count, 16);
        std::vector<QImage> before;
        for (int i = 0; i < count; ++i) {
            ASSERT_NE(avi.GetFrame(i), nullptr) << i;
            before.push_back(avi.GetFrame(i)->copy());
        }
        // The cut goes through the middle of the first picture of the second half.
        const std::vector<TAviChunk> chunks = ChunksOf(file);
        ASSERT_EQ(chunks.size(), std::size_t(count));
        auto middle = std::find_if(chunks.begin() + count / 2, chunks.end(),
                                   [](const TAviChunk& chunk) { return chunk.Size > 0; });
        ASSERT_NE(middle, chunks.end());
        const std::uint64_t cut = middle->Offset + middle->Size / 2;
        const std::vector<bool> within = ShownChunkWithin(chunks, cut);
        ASSERT_TRUE(within[0]);
        ASSERT_FALSE(within[count - 1]);
        ASSERT_EQ(::truncate(QFile::encodeName(file).constData(), off_t(cut)), 0);

        // In order, as a save reads, then backwards and in a jumble, as the pages read.
        std::vector<int> order(count);
        std::iota(order.begin(), order.end(), 0);
        std::vector<int> jumble = order;
        std::reverse(jumble.begin(), jumble.end());
        order.insert(order.end(), jumble.begin(), jumble.end());
        std::shuffle(jumble.begin(), jumble.end(), std::mt19937(5));
        order.insert(order.end(), jumble.begin(), jumble.end());
        for (int i : order) {
            QImage* frame = avi.GetFrame(i);
            if (within[std::size_t(i)]) {
                ASSERT_NE(frame, nullptr) << i;
                EXPECT_EQ(MaxChannelDifference(*frame, before[std::size_t(i)]), 0) << i;
            } else {
                EXPECT_EQ(frame, nullptr) << i;
            }
        }
        EXPECT_EQ(avi.SourceState(), TAviSourceState::Changed);
    }
}

// Whether the open file is still the one the name leads to, as it was opened.
TEST_F(AviReaderTest, SourceStateTellsAChangedFileFromAReplacedOne) {
    const QString file = Path("source.avi"), other = Path("other.avi");
    ASSERT_TRUE(WriteMsvcRecording(file, 16, 16, {0, 1, 2, 3}));
    TAVIFile avi;
    EXPECT_EQ(avi.SourceState(), TAviSourceState::Unchanged) << "closed";
    avi.Open(file);
    EXPECT_EQ(avi.SourceState(), TAviSourceState::Unchanged);

    // Another file put in the name's place: the open one reads on as it was.
    ASSERT_TRUE(WriteMsvcRecording(other, 16, 16, {0, 1, 2, 3, 4, 5, 6, 7}));
    ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(file).constData()), 0);
    EXPECT_EQ(avi.SourceState(), TAviSourceState::Replaced);
    ASSERT_NE(avi.GetFrame(3), nullptr);
    EXPECT_EQ(PatternNumberOf(*avi.GetFrame(3)), 3);
    // A name that leads nowhere holds nobody's file.
    ASSERT_TRUE(QFile::remove(file));
    EXPECT_EQ(avi.SourceState(), TAviSourceState::Unchanged);

    // Written to in place, or only its time changed: the frames may not be those it had.
    ASSERT_TRUE(WriteMsvcRecording(file, 16, 16, {0, 1, 2, 3}));
    avi.Open(file);
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("x");
    }
    EXPECT_EQ(avi.SourceState(), TAviSourceState::Changed);
    avi.Open(file);
    EXPECT_EQ(avi.SourceState(), TAviSourceState::Unchanged);
    const timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
    EXPECT_EQ(avi.SourceState(), TAviSourceState::Changed);
    avi.Close();
    EXPECT_EQ(avi.SourceState(), TAviSourceState::Unchanged);
}

} // namespace
