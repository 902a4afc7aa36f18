#include "AviFixtures.h"
#include "avi/AviReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

constexpr int Frames = 30;

std::vector<int> AllPositions() {
    std::vector<int> positions;
    for (int i = 0; i < Frames; ++i)
        positions.push_back(i);
    return positions;
}

// Frames decoded in order from the first.
std::vector<QImage> InOrder(TAVIFile& reader) {
    std::vector<QImage> frames;
    for (int i = 0; i < int(reader.FrameCount()); ++i) {
        const QImage* frame = reader.GetFrame(i);
        frames.push_back(frame ? frame->copy() : QImage());
    }
    return frames;
}

class SecondReader : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString Path(const QString& name) const { return Dir.filePath(name); }
};

} // namespace

// A second reader for another thread reads the very file the first has open, even once another file
// has taken its name, and takes nothing of the first but the open file.
TEST_F(SecondReader, ReadsTheFileTheFirstHasOpenWhateverBecomesOfItsName) {
    const QString file = Path("a.avi"), other = Path("b.avi");
    ASSERT_TRUE(WriteMsvcRecording(file, 64, 48, AllPositions()));
    ASSERT_TRUE(WriteMsvcRecording(other, 32, 24, {0, 1, 2}));
    TAVIFile first;
    first.Open(file);
    const std::vector<QImage> expected = InOrder(first);
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QFile::rename(other, file));

    const int descriptors = OpenDescriptorCount();
    {
        TAVIFile second;
        second.OpenSameFileAs(first);
        EXPECT_TRUE(second.Opened());
        EXPECT_EQ(second.FileName(), first.FileName());
        EXPECT_EQ(second.FrameCount(), first.FrameCount());
        EXPECT_EQ(QSize(second.Width(), second.Height()), QSize(64, 48));
        EXPECT_EQ(second.FrameDelay(), first.FrameDelay());
        EXPECT_EQ(second.RateNumerator(), first.RateNumerator());
        EXPECT_EQ(second.RateDenominator(), first.RateDenominator());
        // Backwards, so that each frame is decoded again from its key frame.
        for (int i = Frames - 1; i >= 0; --i) {
            QImage frame;
            ASSERT_TRUE(second.ReadFrame(i, frame)) << i;
            EXPECT_EQ(frame, expected[i]) << i;
        }
        EXPECT_EQ(OpenDescriptorCount(), descriptors + 1);
        // The first goes on where it stood: its decoder is its own.
        EXPECT_EQ(*first.GetFrame(Frames - 1), expected[Frames - 1]);
        first.Close();
        EXPECT_EQ(*second.GetFrame(7), expected[7]) << "the second keeps the file open";
    }
    EXPECT_EQ(OpenDescriptorCount(), descriptors - 1);

    TAVIFile closed, second;
    EXPECT_THROW(second.OpenSameFileAs(closed), EAviException);
    EXPECT_FALSE(second.Opened());
}

TEST_F(SecondReader, ReadFrameFillsTheCallersImageAndGivesNoneOutsideTheStream) {
    const QString file = Path("a.avi");
    ASSERT_TRUE(WriteMsvcRecording(file, 64, 48, AllPositions()));
    TAVIFile reader;
    reader.Open(file);
    const std::vector<QImage> expected = InOrder(reader);
    QImage kept;
    ASSERT_TRUE(reader.ReadFrame(3, kept));
    EXPECT_EQ(kept, expected[3]);
    // The next frame leaves the one handed out as it was: the decoder builds on a copy of its own.
    const QImage snapshot = kept.copy();
    QImage next;
    ASSERT_TRUE(reader.ReadFrame(4, next));
    EXPECT_EQ(next, expected[4]);
    EXPECT_EQ(kept, snapshot);
    for (int index : {-1, Frames, Frames + 100}) {
        QImage image = snapshot;
        EXPECT_FALSE(reader.ReadFrame(index, image)) << index;
        EXPECT_TRUE(image.isNull()) << index;
    }
    TAVIFile closed;
    QImage image = snapshot;
    EXPECT_FALSE(closed.ReadFrame(0, image));
    EXPECT_TRUE(image.isNull());
}

// Two readers of one open file decode on two threads at once, each giving the frames in order.
TEST_F(SecondReader, TwoReadersOfOneFileDecodeOnTwoThreadsAtOnce) {
    const QString file = Path("a.avi");
    ASSERT_TRUE(WriteMsvcRecording(file, 64, 48, AllPositions()));
    TAVIFile first;
    first.Open(file);
    const std::vector<QImage> expected = InOrder(first);
    TAVIFile second;
    second.OpenSameFileAs(first);
    std::vector<QImage> fromThread;
    std::thread worker([&] {
        for (int round = 0; round < 5; ++round)
            for (int i = 0; i < Frames; ++i) {
                QImage frame;
                second.ReadFrame(i, frame);
                fromThread.push_back(frame);
            }
    });
    std::vector<QImage> here;
    for (int round = 0; round < 5; ++round)
        for (int i = Frames - 1; i >= 0; --i)
            here.push_back(first.GetFrame(i)->copy());
    worker.join();
    ASSERT_EQ(fromThread.size(), size_t(5 * Frames));
    ASSERT_EQ(here.size(), size_t(5 * Frames));
    for (int k = 0; k < 5 * Frames; ++k) {
        EXPECT_EQ(fromThread[k], expected[k % Frames]) << k;
        EXPECT_EQ(here[k], expected[Frames - 1 - k % Frames]) << k;
    }
}
