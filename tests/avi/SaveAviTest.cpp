#include "avi/SaveAvi.h"
#include "avi/AviReader.h"
#include "platform/AviErrors.h"
#include "platform/BitmapInfoHeader.h"
#include "support/AviProbe.h"
#include "support/XvfbServer.h"

#include "AviFixtures.h"

#include <QTemporaryDir>
#include <gmock/gmock.h>

namespace {

class SaveAviTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString Path(const QString& name) const { return Dir.filePath(name); }

    // Writes pictures 1 .. frames of the pattern after a first bitmap (pattern 0) that only fixes
    // the format.
    void Save(const QString& file, TSaveAvi& avi, int frames, int width = 48, int height = 32) {
        ASSERT_NO_THROW(avi.Open(file, PatternPicture(width, height, 0)));
        for (int i = 1; i <= frames; ++i) {
            ASSERT_TRUE(avi.AddFrame(PatternPicture(width, height, i)));
            EXPECT_EQ(avi.FramePosition(), i);
        }
        ASSERT_TRUE(avi.Close());
    }
};

TEST_F(SaveAviTest, FramesComeBackInOrderAtTheDefaultRate) {
    TSaveAvi avi;
    EXPECT_EQ(avi.RateNumerator(), 10u);
    EXPECT_EQ(avi.RateDenominator(), 1u);
    EXPECT_EQ(avi.KeyFrameEvery, 5);
    EXPECT_EQ(avi.Quality, 6550);
    EXPECT_EQ(avi.FramePosition(), 0);
    const QString file = Path("saved.avi");
    Save(file, avi, 12);
    EXPECT_EQ(avi.LastResult(), 0u);
    EXPECT_EQ(ProbeRate(file), "10/1");
    EXPECT_EQ(ProbeFrameCount(file), 12);

    TAVIFile read;
    read.Open(file);
    ASSERT_EQ(read.FrameCount(), 12u); // the first bitmap fixed the format only
    EXPECT_EQ(read.FrameDelay(), 100);
    for (int position = 0; position < 12; ++position)
        EXPECT_EQ(PatternNumberOf(*read.GetFrame(position)), position + 1);
    const TRiffLayout riff = ReadRiffLayout(file);
    EXPECT_EQ(riff.StreamHandler, MakeFourCC('M', 'S', 'V', 'C'));
}

TEST_F(SaveAviTest, RatesOfWholeFramesAndOfTheSourceArePlayedExactly) {
    const struct {
        std::uint32_t Rate, Scale;
        const char* Probed;
        int Delay;
    } cases[] = {
        {25, 1, "25/1", 40}, {30000, 1001, "30000/1001", 33}, {60, 1, "60/1", 16}, {15, 1, "15/1", 66}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Probed);
        const QString file = Path("rate.avi");
        TSaveAvi avi;
        if (c.Scale == 1)
            avi.SetFrameRate(int(c.Rate));
        else
            avi.SetFrameRate(c.Rate, c.Scale);
        Save(file, avi, 3);
        EXPECT_EQ(ProbeRate(file), c.Probed);
        ExpectReadRate(file, c.Delay, c.Rate, c.Scale);
    }
}

// A copy of a file keeps its source's rate, whatever it is, when the writer takes the reader's.
TEST_F(SaveAviTest, ACopyPlaysAtItsSourcesRate) {
    const QString source = Path("ntsc.avi"), copy = Path("copy.avi");
    ASSERT_TRUE(MakeTestAvi(source, 64, 48, "30000/1001", 5, "-c:v msvideo1"));
    TAVIFile in;
    in.Open(source);
    TSaveAvi out;
    out.SetFrameRate(in.RateNumerator(), in.RateDenominator());
    ASSERT_TRUE(CopyThroughEditor(source, copy, out));
    EXPECT_EQ(ProbeRate(copy), "30000/1001");
    TAVIFile back;
    back.Open(copy);
    EXPECT_EQ(back.FrameCount(), in.FrameCount());
    const QImage last = *in.GetFrame(4);
    EXPECT_LT(MeanChannelDifference(*back.GetFrame(4), last), 6); // Video 1 is lossy
}

TEST_F(SaveAviTest, FilesThatCannotBeCreatedRaiseTheStepAndItsCode) {
    TSaveAvi avi;
    try {
        avi.Open(Path("missing/folder/x.avi"), PatternPicture(8, 8, 1));
        FAIL() << "opened";
    } catch (const EAviSaveError& e) {
        EXPECT_EQ(e.message(), "Error in AviFileOpen. Code:8004406F");
    }
    EXPECT_EQ(avi.LastResult(), AVIERR_FILEOPEN);
    EXPECT_FALSE(avi.AddFrame(PatternPicture(8, 8, 1)));
    EXPECT_EQ(avi.FramePosition(), 0);

    TSaveAvi other;
    other.Compressor = MakeFourCC('X', 'V', 'I', 'D');
    try {
        other.Open(Path("other.avi"), PatternPicture(8, 8, 1));
        FAIL() << "opened";
    } catch (const EAviSaveError& e) {
        EXPECT_EQ(e.message(), "Error in AviMakeCompressedStream. Code:80044071");
    }
    TSaveAvi rated;
    rated.SetFrameRate(5000);
    try {
        rated.Open(Path("fast.avi"), PatternPicture(8, 8, 1));
        FAIL() << "opened";
    } catch (const EAviSaveError& e) {
        EXPECT_EQ(e.message(), "Error in AviFileCreateStream. Code:8004406A");
    }
}

// A save that fills the disk: the frame that cannot be written is answered false and keeps its
// position, and the file holds every frame written before it.
TEST_F(SaveAviTest, AFrameThatCannotBeWrittenIsAnsweredAndTheFileKeepsTheOthers) {
    const QString file = Path("full.avi");
    TSaveAvi avi;
    int written = 0;
    {
        FileSizeLimit limit(40 * 1024);
        ASSERT_NO_THROW(avi.Open(file, PatternPicture(48, 32, 0)));
        for (int i = 1; i < 1000 && avi.AddFrame(PatternPicture(48, 32, i)); ++i)
            ++written;
        EXPECT_EQ(avi.FramePosition(), written);
        EXPECT_EQ(avi.LastResult(), AVIERR_FILEWRITE);
        EXPECT_FALSE(avi.AddFrame(PatternPicture(48, 32, 1)));
        EXPECT_EQ(avi.FramePosition(), written);
        EXPECT_FALSE(avi.Close());
    }
    ASSERT_GT(written, 10);
    EXPECT_EQ(ProbeFrameCount(file), written);
    TAVIFile read;
    read.Open(file);
    ASSERT_EQ(read.FrameCount(), std::uint32_t(written));
    EXPECT_EQ(PatternNumberOf(*read.GetFrame(written - 1)), written % 64);
}

// Every frame is written at the size of the first: a larger one is cut off at its right and bottom,
// a smaller one padded there with black, and sizes that are no multiple of 4 are padded by the
// compressor as in a recording.
TEST_F(SaveAviTest, FramesOfAnotherSizeAreWrittenAtTheStreamsSize) {
    const QString file = Path("sizes.avi");
    TSaveAvi avi;
    ASSERT_NO_THROW(avi.Open(file, PatternPicture(30, 18, 0)));
    QImage larger = PatternPicture(90, 60, 5);
    larger.fill(Qt::white);
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 30; ++x)
            larger.setPixel(x, y, PatternPicture(1, 1, 5).pixel(0, 0));
    ASSERT_TRUE(avi.AddFrame(larger));
    ASSERT_TRUE(avi.AddFrame(PatternPicture(10, 6, 9)));
    ASSERT_TRUE(avi.Close());

    TAVIFile read;
    read.Open(file);
    ASSERT_EQ(read.FrameCount(), 2u);
    EXPECT_EQ(read.Width(), 32);
    EXPECT_EQ(read.Height(), 20);
    const QImage cut = *read.GetFrame(0);
    EXPECT_EQ(PatternNumberOf(cut.copy(0, 0, 30, 18)), 5);
    EXPECT_EQ(PatternNumberOf(cut.copy(28, 16, 4, 4)), 5); // the padding repeats the edge
    const QImage padded = *read.GetFrame(1);
    EXPECT_EQ(PatternNumberOf(padded.copy(0, 0, 10, 6)), 9);
    QImage black(16, 8, QImage::Format_RGB32);
    black.fill(Qt::black);
    EXPECT_LE(MaxChannelDifference(padded.copy(12, 8, 16, 8), black), 8);
}

// The blocks take the screen's depth as its server stores a pixel, and a file saves at either depth a
// screen gives: the frames come back the same.
TEST_F(SaveAviTest, BlocksTakeTheScreensDepthAndSaveAtEitherDepth) {
    const struct { int Depth, Bits; } cases[] = {{24, 32}, {16, 16}};
    const QByteArray ownDisplay = qgetenv("DISPLAY");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Depth);
        int bits = 0;
        {
            XvfbServer screen(640, 480, c.Depth);
            ASSERT_TRUE(screen.IsRunning());
            qputenv("DISPLAY", screen.DisplayName().toLocal8Bit());
            bits = TSaveAvi().BitsPerPixel;
            if (ownDisplay.isNull())
                qunsetenv("DISPLAY");
            else
                qputenv("DISPLAY", ownDisplay);
        }
        EXPECT_EQ(bits, c.Bits);
        const QString file = Path(QString("depth%1.avi").arg(c.Depth));
        TSaveAvi avi;
        avi.BitsPerPixel = bits;
        Save(file, avi, 6, 64, 48);
        TAVIFile read;
        read.Open(file);
        ASSERT_EQ(read.FrameCount(), 6u);
        for (int position = 0; position < 6; ++position)
            EXPECT_EQ(PatternNumberOf(*read.GetFrame(position)), position + 1);
    }
}

} // namespace
