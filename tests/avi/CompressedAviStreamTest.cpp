#include "platform/CompressedAviStream.h"
#include "platform/AviFile.h"
#include "recorder/PackedDib.h"
#include "support/AviProbe.h"

#include <QTemporaryDir>
#include <cstring>
#include <gmock/gmock.h>
#include <stdexcept>

namespace {

// A test double for a compressor: it records what it was handed and answers with a packet that
// names the frame, every second frame a key frame.
class TRecordingCompressor : public TVideoCompressor {
public:
    struct TLog {
        int Width = 0, Height = 0;
        TCompressOptions Options;
        int Calls = 0;
        std::vector<int> ForcedBefore; // the call numbers that came after a ForceKeyFrame
        bool Forced = false;
        std::vector<QRgb> TopLeft, BottomLeft; // as read through topRow and stride
    };

    TRecordingCompressor(int width, int height, TLog& log) : W(width), H(height), Log(log) {}
    std::uint32_t FourCC() const override { return MakeFourCC('M', 'S', 'V', 'C'); }
    int BitCount() const override { return 16; }
    int PaddedWidth() const override { return (W + 3) & ~3; }
    int PaddedHeight() const override { return (H + 3) & ~3; }
    const std::vector<std::uint8_t>& Encode(const std::uint8_t* topRow, std::ptrdiff_t stride,
                                            bool& isKeyFrame) override {
        auto pixel = [](const std::uint8_t* p) { return qRgb(p[2], p[1], p[0]); };
        Log.TopLeft.push_back(pixel(topRow));
        Log.BottomLeft.push_back(pixel(topRow + (H - 1) * stride));
        isKeyFrame = Log.Calls % 2 == 0 || Log.Forced;
        if (Log.Forced) Log.ForcedBefore.push_back(Log.Calls);
        Log.Forced = false;
        Packet.assign({std::uint8_t(0xC0), std::uint8_t(Log.Calls)});
        ++Log.Calls;
        return Packet;
    }
    void ForceKeyFrame() override { Log.Forced = true; }

private:
    int W, H;
    TLog& Log;
    std::vector<std::uint8_t> Packet;
};

QImage Picture(int width, int height, QRgb top, QRgb bottom) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(qRgb(9, 9, 9));
    for (int x = 0; x < width; ++x) {
        picture.setPixel(x, 0, top);
        picture.setPixel(x, height - 1, bottom);
    }
    return picture;
}

class CompressedAviStreamTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    TAviFileWriter File;
    TRecordingCompressor::TLog Log;
    const TCompressOptions Options{MakeFourCC('M', 'S', 'V', 'C'), 5, 6550};

    TVideoCompressorFactory Factory() {
        return [this](int w, int h, const TCompressOptions& o) -> std::unique_ptr<TVideoCompressor> {
            Log.Width = w;
            Log.Height = h;
            Log.Options = o;
            if (o.Handler != MakeFourCC('M', 'S', 'V', 'C')) return nullptr;
            return std::make_unique<TRecordingCompressor>(w, h, Log);
        };
    }

    void SetUp() override {
        ASSERT_EQ(File.Open(Dir.filePath("c.avi")), AVIERR_OK);
        ASSERT_EQ(File.CreateStream(10), AVIERR_OK);
    }
};

TEST_F(CompressedAviStreamTest, FramesGoThroughTheCompressorAtTheirPositions) {
    TCompressedAviStream stream(File, Options, Factory());
    TPackedDib first = MakeDIB(Picture(6, 3, qRgb(255, 0, 0), qRgb(0, 0, 255)), 32);
    ASSERT_EQ(stream.SetFormat(first.Data(), first.FormatSize()), AVIERR_OK);
    EXPECT_EQ(Log.Width, 6);
    EXPECT_EQ(Log.Height, 3);
    EXPECT_EQ(Log.Options.KeyFrameEvery, 5);
    EXPECT_EQ(Log.Options.Quality, 6550);
    EXPECT_EQ(Log.Calls, 0); // the first block only gives the format

    const int positions[] = {0, 1, 4};
    for (int i = 0; i < 3; ++i) {
        TPackedDib b = MakeDIB(Picture(6, 3, qRgb(255, 0, i), qRgb(0, i, 255)), 32);
        ASSERT_EQ(stream.Write(positions[i], b.Bits(), b.BitsSize()), AVIERR_OK);
    }
    EXPECT_EQ(stream.Length(), 5);
    ASSERT_EQ(File.Close(), AVIERR_OK);

    // The compressor reads the picture upright from the bottom-up block.
    ASSERT_EQ(Log.TopLeft.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Log.TopLeft[i], qRgb(255, 0, i));
        EXPECT_EQ(Log.BottomLeft[i], qRgb(0, i, 255));
    }
    // The stream declares the compressor's format at its padded size.
    const TRiffLayout riff = ReadRiffLayout(Dir.filePath("c.avi"));
    ASSERT_GE(riff.StreamFormat.size(), 40u);
    TBitmapInfoHeader stored;
    std::memcpy(&stored, riff.StreamFormat.data(), sizeof stored);
    EXPECT_EQ(stored.biWidth, 8);
    EXPECT_EQ(stored.biHeight, 4);
    EXPECT_EQ(stored.biBitCount, 16);
    EXPECT_EQ(stored.biCompression, MakeFourCC('M', 'S', 'V', 'C'));
    EXPECT_EQ(riff.Length, 5u);

    const TProbedStream read = ProbeAvi(Dir.filePath("c.avi"));
    ASSERT_EQ(read.Packets.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(read.Packets[i].Position, positions[i]);
        EXPECT_EQ(read.Packets[i].KeyFrame, i % 2 == 0);
        EXPECT_EQ(read.Packets[i].Bytes, (std::vector<std::uint8_t>{0xC0, std::uint8_t(i)}));
    }
}

TEST_F(CompressedAviStreamTest, RefusedFramesNeverReachTheCompressor) {
    TCompressedAviStream stream(File, Options, Factory());
    TPackedDib b = MakeDIB(Picture(4, 4, qRgb(1, 2, 3), qRgb(4, 5, 6)), 32);
    ASSERT_EQ(stream.SetFormat(b.Data(), b.FormatSize()), AVIERR_OK);
    EXPECT_EQ(stream.SetFormat(b.Data(), b.FormatSize()), AVIERR_UNSUPPORTED);
    ASSERT_EQ(stream.Write(2, b.Bits(), b.BitsSize()), AVIERR_OK);
    EXPECT_EQ(stream.Write(2, b.Bits(), b.BitsSize()), AVIERR_BADPARAM);
    EXPECT_EQ(stream.Write(1, b.Bits(), b.BitsSize()), AVIERR_BADPARAM);
    TPackedDib larger = MakeDIB(Picture(8, 4, qRgb(1, 2, 3), qRgb(4, 5, 6)), 32);
    EXPECT_EQ(stream.Write(3, larger.Bits(), larger.BitsSize()), AVIERR_BADFORMAT);
    EXPECT_EQ(stream.Write(3, nullptr, b.BitsSize()), AVIERR_BADPARAM);
    EXPECT_EQ(Log.Calls, 1);
    EXPECT_EQ(stream.Length(), 3);
}

TEST_F(CompressedAviStreamTest, CompressorFailuresHaveTheirCodes) {
    TPackedDib b32 = MakeDIB(Picture(4, 4, qRgb(1, 2, 3), qRgb(4, 5, 6)), 32);
    TPackedDib b24 = MakeDIB(Picture(4, 4, qRgb(1, 2, 3), qRgb(4, 5, 6)), 24);
    {
        TCompressedAviStream none(File, Options, nullptr);
        EXPECT_EQ(none.SetFormat(b32.Data(), b32.FormatSize()), AVIERR_NOCOMPRESSOR);
        EXPECT_EQ(none.Write(0, b32.Bits(), b32.BitsSize()), AVIERR_BADHANDLE);
    }
    {
        TCompressOptions other = Options;
        other.Handler = MakeFourCC('X', 'V', 'I', 'D');
        TCompressedAviStream unknown(File, other, Factory());
        EXPECT_EQ(unknown.SetFormat(b32.Data(), b32.FormatSize()), AVIERR_NOCOMPRESSOR);
    }
    {
        TCompressedAviStream throwing(
            File, Options, [](int, int, const TCompressOptions&) -> std::unique_ptr<TVideoCompressor> {
                throw std::runtime_error("no");
            });
        EXPECT_EQ(throwing.SetFormat(b32.Data(), b32.FormatSize()), AVIERR_COMPRESSOR);
    }
    {
        TCompressedAviStream stream(File, Options, Factory());
        EXPECT_EQ(stream.SetFormat(b24.Data(), b24.FormatSize()), AVIERR_BADFORMAT);
        EXPECT_EQ(Log.Calls, 0);
        // The file's stream is still without a format: a working compressor can still set one.
        EXPECT_EQ(stream.SetFormat(b32.Data(), b32.FormatSize()), AVIERR_OK);
    }
}

TEST_F(CompressedAviStreamTest, AnEncodeThatThrowsIsACompressorError) {
    class TFailing : public TRecordingCompressor {
    public:
        using TRecordingCompressor::TRecordingCompressor;
        const std::vector<std::uint8_t>& Encode(const std::uint8_t*, std::ptrdiff_t, bool&) override {
            throw std::bad_alloc();
        }
    };
    TCompressedAviStream stream(File, Options, [this](int w, int h, const TCompressOptions&) {
        return std::make_unique<TFailing>(w, h, Log);
    });
    TPackedDib b = MakeDIB(Picture(4, 4, qRgb(1, 2, 3), qRgb(4, 5, 6)), 32);
    ASSERT_EQ(stream.SetFormat(b.Data(), b.FormatSize()), AVIERR_OK);
    EXPECT_EQ(stream.Write(0, b.Bits(), b.BitsSize()), AVIERR_MEMORY);
    EXPECT_EQ(stream.Length(), 0);
}

TEST_F(CompressedAviStreamTest, AnEmptyPacketIsACompressorError) {
    class TSilent : public TRecordingCompressor {
    public:
        using TRecordingCompressor::TRecordingCompressor;
        const std::vector<std::uint8_t>& Encode(const std::uint8_t*, std::ptrdiff_t, bool&) override {
            return Nothing;
        }

    private:
        std::vector<std::uint8_t> Nothing;
    };
    TCompressedAviStream stream(File, Options, [this](int w, int h, const TCompressOptions&) {
        return std::make_unique<TSilent>(w, h, Log);
    });
    TPackedDib b = MakeDIB(Picture(4, 4, qRgb(1, 2, 3), qRgb(4, 5, 6)), 32);
    ASSERT_EQ(stream.SetFormat(b.Data(), b.FormatSize()), AVIERR_OK);
    EXPECT_EQ(stream.Write(0, b.Bits(), b.BitsSize()), AVIERR_COMPRESSOR);
    EXPECT_EQ(stream.Length(), 0);
}

// A frame whose packet never reached the file must not be what the next ones are predicted from.
TEST_F(CompressedAviStreamTest, AfterAFrameTheFileDidNotTakeTheNextIsAKeyFrame) {
    class TFailingOnce : public TRecordingCompressor {
    public:
        using TRecordingCompressor::TRecordingCompressor;
        const std::vector<std::uint8_t>& Encode(const std::uint8_t* top, std::ptrdiff_t stride,
                                                bool& key) override {
            const std::vector<std::uint8_t>& packet = TRecordingCompressor::Encode(top, stride, key);
            return ++Calls == 3 ? Nothing : packet;
        }

    private:
        int Calls = 0;
        std::vector<std::uint8_t> Nothing;
    };
    TCompressedAviStream stream(File, Options, [this](int w, int h, const TCompressOptions&) {
        return std::make_unique<TFailingOnce>(w, h, Log);
    });
    TPackedDib b = MakeDIB(Picture(4, 4, qRgb(1, 2, 3), qRgb(4, 5, 6)), 32);
    ASSERT_EQ(stream.SetFormat(b.Data(), b.FormatSize()), AVIERR_OK);
    ASSERT_EQ(stream.Write(0, b.Bits(), b.BitsSize()), AVIERR_OK);
    ASSERT_EQ(stream.Write(1, b.Bits(), b.BitsSize()), AVIERR_OK);
    EXPECT_EQ(stream.Write(2, b.Bits(), b.BitsSize()), AVIERR_COMPRESSOR);
    ASSERT_EQ(stream.Write(2, b.Bits(), b.BitsSize()), AVIERR_OK);
    ASSERT_EQ(stream.Write(3, b.Bits(), b.BitsSize()), AVIERR_OK);
    EXPECT_THAT(Log.ForcedBefore, ::testing::ElementsAre(3));
    ASSERT_EQ(File.Close(), AVIERR_OK);

    const TProbedStream read = ProbeAvi(Dir.filePath("c.avi"));
    ASSERT_EQ(read.Packets.size(), 4u);
    EXPECT_TRUE(read.Packets[2].KeyFrame); // the fourth call, forced: an odd one would be predicted
    EXPECT_FALSE(read.Packets[1].KeyFrame);
}

} // namespace
