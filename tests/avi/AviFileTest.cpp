#include "platform/AviFile.h"
#include "AviFixtures.h"
#include "avi/AviReader.h"
#include "platform/BitmapInfoHeader.h"
#include "recorder/PackedDib.h"
#include "support/AviProbe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <gmock/gmock.h>
#include <sys/resource.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/codec_id.h>
}

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

constexpr std::uint32_t KeyFrameFlag = 0x10; // AVIIF_KEYFRAME in an idx1 entry

TBitmapInfoHeader RawHeader(int width, int height, int bits) {
    TBitmapInfoHeader h;
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<std::uint16_t>(bits);
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<std::uint32_t>(DibRowBytes(bits, width) * height);
    return h;
}

TBitmapInfoHeader Msvc16Header(int width, int height) {
    TBitmapInfoHeader h = RawHeader(width, height, 16);
    h.biCompression = MakeFourCC('M', 'S', 'V', 'C');
    return h;
}

// A frame whose every byte tells which position it was written for.
std::vector<std::uint8_t> FrameFor(int position, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(position * 16 + i % 7);
    return bytes;
}

class AviFileTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString Path(const QString& name) const { return Dir.filePath(name); }

    // Opens a file with its stream and format set; the writer is left open.
    void Start(TAviFileWriter& w, const QString& file, const TBitmapInfoHeader& h, int fps = 10) {
        ASSERT_EQ(w.Open(file), AVIERR_OK);
        ASSERT_EQ(w.CreateStream(fps), AVIERR_OK);
        ASSERT_EQ(w.SetFormat(&h, sizeof h), AVIERR_OK);
    }
};

TEST_F(AviFileTest, SkippedPositionsStayEmptyAndCountInTheLength) {
    const TBitmapInfoHeader h = RawHeader(5, 3, 32);
    const QString file = Path("gaps.avi");
    TAviFileWriter w;
    Start(w, file, h, 15);
    for (int position : {0, 1, 2, 5, 6}) {
        const auto frame = FrameFor(position, h.biSizeImage);
        ASSERT_EQ(w.Write(position, frame.data(), frame.size(), false), AVIERR_OK) << position;
    }
    EXPECT_EQ(w.Length(), 7);
    ASSERT_EQ(w.Close(), AVIERR_OK);
    EXPECT_FALSE(w.IsOpen());

    const TRiffLayout riff = ReadRiffLayout(file);
    EXPECT_EQ(riff.Scale, 1u);
    EXPECT_EQ(riff.Rate, 15u);
    EXPECT_EQ(riff.Length, 7u);
    EXPECT_EQ(riff.MainHeaderFrames, 7u);
    ASSERT_EQ(riff.Index.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        const bool empty = i == 3 || i == 4;
        EXPECT_EQ(riff.Index[i].ChunkId, MakeFourCC('0', '0', 'd', 'c')) << i;
        EXPECT_EQ(riff.Index[i].Size, empty ? 0u : h.biSizeImage) << i;
        // Uncompressed frames are key frames whatever the caller said; empty ones are not.
        EXPECT_EQ(riff.Index[i].Flags & KeyFrameFlag, empty ? 0u : KeyFrameFlag) << i;
    }

    const TProbedStream read = ProbeAvi(file);
    ASSERT_TRUE(read.Opened);
    EXPECT_EQ(read.CodecId, AV_CODEC_ID_RAWVIDEO);
    EXPECT_EQ(read.FrameCount, 7);
    EXPECT_EQ(read.TimeBaseNum, 1);
    EXPECT_EQ(read.TimeBaseDen, 15);
    EXPECT_EQ(read.FrameRateNum, 15);
    EXPECT_EQ(read.FrameRateDen, 1);
    EXPECT_EQ(read.Width, 5);
    EXPECT_EQ(read.Height, 3);
    EXPECT_THAT(read.IndexTimestamps, ElementsAre(0, 1, 2, 5, 6));
    ASSERT_EQ(read.Packets.size(), 5u);
    const int positions[] = {0, 1, 2, 5, 6};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(read.Packets[i].Position, positions[i]);
        EXPECT_TRUE(read.Packets[i].KeyFrame);
        EXPECT_EQ(read.Packets[i].Bytes, FrameFor(positions[i], h.biSizeImage)) << positions[i];
    }
}

TEST_F(AviFileTest, LateFirstFrameKeepsItsPosition) {
    const TBitmapInfoHeader h = RawHeader(4, 2, 24);
    const QString file = Path("late.avi");
    TAviFileWriter w;
    Start(w, file, h);
    for (int position : {3, 4}) {
        const auto frame = FrameFor(position, h.biSizeImage);
        ASSERT_EQ(w.Write(position, frame.data(), frame.size(), true), AVIERR_OK);
    }
    ASSERT_EQ(w.Close(), AVIERR_OK);

    const TRiffLayout riff = ReadRiffLayout(file);
    EXPECT_EQ(riff.Length, 5u);
    ASSERT_EQ(riff.Index.size(), 5u);
    EXPECT_THAT((std::vector<std::uint32_t>{riff.Index[0].Size, riff.Index[1].Size, riff.Index[2].Size,
                                            riff.Index[3].Size, riff.Index[4].Size}),
                ElementsAre(0u, 0u, 0u, h.biSizeImage, h.biSizeImage));
    const TProbedStream read = ProbeAvi(file);
    ASSERT_EQ(read.Packets.size(), 2u);
    EXPECT_EQ(read.Packets[0].Position, 3);
    EXPECT_EQ(read.Packets[0].Bytes, FrameFor(3, h.biSizeImage));
    EXPECT_EQ(read.Packets[1].Position, 4);
}

TEST_F(AviFileTest, RepeatedOrEarlierPositionIsRefusedAndNothingIsAppended) {
    const TBitmapInfoHeader h = RawHeader(2, 2, 32);
    const QString file = Path("repeat.avi");
    TAviFileWriter w;
    Start(w, file, h);
    const auto frame = [&](int p) { return FrameFor(p, h.biSizeImage); };
    ASSERT_EQ(w.Write(0, frame(0).data(), h.biSizeImage, true), AVIERR_OK);
    EXPECT_EQ(w.Write(0, frame(9).data(), h.biSizeImage, true), AVIERR_BADPARAM);
    ASSERT_EQ(w.Write(2, frame(2).data(), h.biSizeImage, true), AVIERR_OK);
    EXPECT_EQ(w.Write(2, frame(9).data(), h.biSizeImage, true), AVIERR_BADPARAM);
    EXPECT_EQ(w.Write(1, frame(9).data(), h.biSizeImage, true), AVIERR_BADPARAM);
    EXPECT_EQ(w.Write(-1, frame(9).data(), h.biSizeImage, true), AVIERR_BADPARAM);
    EXPECT_EQ(w.Length(), 3);
    ASSERT_EQ(w.Write(3, frame(3).data(), h.biSizeImage, true), AVIERR_OK);
    ASSERT_EQ(w.Close(), AVIERR_OK);

    EXPECT_EQ(ReadRiffLayout(file).Length, 4u);
    const TProbedStream read = ProbeAvi(file);
    ASSERT_EQ(read.Packets.size(), 3u);
    EXPECT_EQ(read.Packets[0].Bytes, frame(0));
    EXPECT_EQ(read.Packets[1].Position, 2);
    EXPECT_EQ(read.Packets[1].Bytes, frame(2));
    EXPECT_EQ(read.Packets[2].Position, 3);
    EXPECT_EQ(read.Packets[2].Bytes, frame(3));
}

TEST_F(AviFileTest, CompressedPacketsAreStoredAsGivenUnderTheMicrosoftVideo1Code) {
    const TBitmapInfoHeader h = Msvc16Header(8, 4);
    const QString file = Path("msvc.avi");
    TAviFileWriter w;
    Start(w, file, h, 25);
    const std::vector<std::vector<std::uint8_t>> packets = {{1, 2, 3, 4, 5}, {0xFF}, {9, 8, 7}};
    const bool keys[] = {true, false, true};
    const int positions[] = {0, 1, 3};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(w.Write(positions[i], packets[i].data(), packets[i].size(), keys[i]), AVIERR_OK);
    ASSERT_EQ(w.Close(), AVIERR_OK);

    const TRiffLayout riff = ReadRiffLayout(file);
    EXPECT_EQ(riff.StreamHandler, MakeFourCC('M', 'S', 'V', 'C'));
    ASSERT_GE(riff.StreamFormat.size(), 40u);
    TBitmapInfoHeader stored;
    std::memcpy(&stored, riff.StreamFormat.data(), sizeof stored);
    EXPECT_EQ(stored.biCompression, MakeFourCC('M', 'S', 'V', 'C'));
    EXPECT_EQ(stored.biWidth, 8);
    EXPECT_EQ(stored.biHeight, 4);
    EXPECT_EQ(stored.biBitCount, 16);
    EXPECT_EQ(riff.Rate, 25u);
    EXPECT_EQ(riff.Length, 4u);
    ASSERT_EQ(riff.Index.size(), 4u);
    EXPECT_EQ(riff.Index[0].Flags & KeyFrameFlag, KeyFrameFlag);
    EXPECT_EQ(riff.Index[1].Flags & KeyFrameFlag, 0u);
    EXPECT_EQ(riff.Index[2].Size, 0u);
    EXPECT_EQ(riff.Index[3].Flags & KeyFrameFlag, KeyFrameFlag);

    const TProbedStream read = ProbeAvi(file);
    EXPECT_EQ(read.CodecId, AV_CODEC_ID_MSVIDEO1);
    ASSERT_EQ(read.Packets.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(read.Packets[i].Position, positions[i]);
        EXPECT_EQ(read.Packets[i].KeyFrame, keys[i]);
        EXPECT_EQ(read.Packets[i].Bytes, packets[i]);
    }
}

// A block made from a picture reads back through FFmpeg's decoder as the same picture, upright:
// bottom-up rows, the colour table and the unused top byte all come through.
TEST_F(AviFileTest, PackedBlocksDecodeUpright) {
    QImage picture(5, 3, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(255, 0, 0),     qRgb(0, 255, 0), qRgb(0, 0, 255),
                            qRgb(255, 255, 255), qRgb(0, 0, 0),   qRgb(51, 102, 153)};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            picture.setPixel(x, y, colours[(x + 2 * y) % 6]);

    struct Case {
        int bits;
        int tolerance; // 5-5-5 keeps 5 bits a channel; the others hold these colours exactly
    } cases[] = {{32, 0}, {24, 0}, {16, 7}, {8, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        TPackedDib block = MakeDIB(picture, c.bits);
        ASSERT_TRUE(block);
        const QString file = Path(QString("upright%1.avi").arg(c.bits));
        TAviFileWriter w;
        ASSERT_EQ(w.Open(file), AVIERR_OK);
        ASSERT_EQ(w.CreateStream(10), AVIERR_OK);
        ASSERT_EQ(w.SetFormat(block.Data(), block.FormatSize()), AVIERR_OK);
        ASSERT_EQ(w.Write(0, block.Bits(), block.BitsSize(), true), AVIERR_OK);
        ASSERT_EQ(w.Close(), AVIERR_OK);

        const QImage decoded = DecodeFirstFrame(file);
        ASSERT_EQ(decoded.size(), picture.size());
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                const QRgb want = picture.pixel(x, y), got = decoded.pixel(x, y);
                EXPECT_EQ(qAlpha(got), 255) << x << "," << y;
                EXPECT_LE(std::abs(qRed(got) - qRed(want)), c.tolerance) << x << "," << y;
                EXPECT_LE(std::abs(qGreen(got) - qGreen(want)), c.tolerance) << x << "," << y;
                EXPECT_LE(std::abs(qBlue(got) - qBlue(want)), c.tolerance) << x << "," << y;
            }
        if (c.bits == 8) {
            const TRiffLayout riff = ReadRiffLayout(file);
            ASSERT_EQ(riff.StreamFormat.size(), 40u + 1024u);
            EXPECT_EQ(std::memcmp(riff.StreamFormat.data() + 40, block.Data() + 40, 1024), 0);
        }
    }
}

TEST_F(AviFileTest, UnopenablePathsGiveTheFileOpenCode) {
    QFile plain(Path("plain.txt"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    std::vector<QString> paths = {
        Path("no such folder/x.avi"), // missing folder
        Path("plain.txt/x.avi"),      // a file where a folder should be
        Dir.path(),                   // a folder
        "/sys/x.avi",                 // access denied even to the superuser
        "",
    };
    if (geteuid() != 0) {
        // Permissions bind everyone but the superuser.
        const QString locked = Path("locked");
        ASSERT_TRUE(QDir().mkdir(locked));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        paths.push_back(locked + "/x.avi");
        const QString readOnly = Path("readonly.avi");
        QFile f(readOnly);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
        paths.push_back(readOnly);
    }
    for (const QString& path : paths) {
        TAviFileWriter w;
        EXPECT_EQ(w.Open(path), AVIERR_FILEOPEN) << path.toStdString();
        EXPECT_FALSE(w.IsOpen());
        EXPECT_EQ(w.CreateStream(10), AVIERR_BADHANDLE);
    }
}

TEST_F(AviFileTest, NamesAreFileNamesNotProtocols) {
    // Relative, a name like this one would otherwise select FFmpeg's pipe protocol.
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Dir.path()));
    const TBitmapInfoHeader h = RawHeader(1, 1, 24);
    TAviFileWriter w;
    const AviResult opened = w.Open("pipe:1.avi");
    const AviResult created = w.CreateStream(10);
    const AviResult formatted = w.SetFormat(&h, sizeof h);
    const std::uint8_t pixel[4] = {1, 2, 3, 0};
    const AviResult written = w.Write(0, pixel, sizeof pixel, true);
    const AviResult closed = w.Close();
    QDir::setCurrent(saved);
    EXPECT_EQ(opened, AVIERR_OK);
    EXPECT_EQ(created, AVIERR_OK);
    EXPECT_EQ(formatted, AVIERR_OK);
    EXPECT_EQ(written, AVIERR_OK);
    EXPECT_EQ(closed, AVIERR_OK);
    EXPECT_EQ(ReadRiffLayout(Path("pipe:1.avi")).Length, 1u);
}

TEST_F(AviFileTest, CallsOutOfOrderOrWithRefusedValues) {
    const TBitmapInfoHeader h = RawHeader(2, 2, 32);
    const std::vector<std::uint8_t> frame(h.biSizeImage);
    TAviFileWriter w;
    EXPECT_EQ(w.CreateStream(10), AVIERR_BADHANDLE);
    EXPECT_EQ(w.SetFormat(&h, sizeof h), AVIERR_BADHANDLE);
    EXPECT_EQ(w.Write(0, frame.data(), frame.size(), true), AVIERR_BADHANDLE);
    EXPECT_EQ(w.Close(), AVIERR_OK);

    ASSERT_EQ(w.Open(Path("order.avi")), AVIERR_OK);
    EXPECT_EQ(w.Open(Path("other.avi")), AVIERR_BADHANDLE);
    EXPECT_EQ(w.SetFormat(&h, sizeof h), AVIERR_BADHANDLE);
    EXPECT_EQ(w.CreateStream(0), AVIERR_BADPARAM);
    EXPECT_EQ(w.CreateStream(1001), AVIERR_BADPARAM);
    ASSERT_EQ(w.CreateStream(1000), AVIERR_OK);
    EXPECT_EQ(w.CreateStream(10), AVIERR_UNSUPPORTED);
    EXPECT_EQ(w.Write(0, frame.data(), frame.size(), true), AVIERR_BADHANDLE);
    ASSERT_EQ(w.SetFormat(&h, sizeof h), AVIERR_OK);
    EXPECT_EQ(w.SetFormat(&h, sizeof h), AVIERR_UNSUPPORTED);
    EXPECT_EQ(w.Write(0, frame.data(), frame.size() - 1, true), AVIERR_BADFORMAT);
    EXPECT_EQ(w.Write(0, frame.data(), 0, true), AVIERR_BADPARAM);
    EXPECT_EQ(w.Write(0, nullptr, frame.size(), true), AVIERR_BADPARAM);
    EXPECT_EQ(w.Length(), 0);
    EXPECT_EQ(w.Close(), AVIERR_OK);
    EXPECT_EQ(w.Close(), AVIERR_OK);
    EXPECT_EQ(ReadRiffLayout(Path("order.avi")).Rate, 1000u);
}

TEST_F(AviFileTest, RefusedFormatsLeaveTheStreamReadyForAnother) {
    struct Case {
        const char* what;
        TBitmapInfoHeader header;
        std::size_t size;
    };
    auto with = [](auto change) {
        TBitmapInfoHeader h = RawHeader(4, 4, 24);
        change(h);
        return h;
    };
    const Case cases[] = {
        {"larger header", with([](auto& h) { h.biSize = 108; }), 108},
        {"no planes", with([](auto& h) { h.biPlanes = 0; }), 40},
        {"top-down rows", with([](auto& h) { h.biHeight = -4; }), 40},
        {"zero width", with([](auto& h) { h.biWidth = 0; }), 40},
        {"bit fields", with([](auto& h) { h.biCompression = 3; }), 40},
        {"12 bits", with([](auto& h) { h.biBitCount = 12; }), 40},
        {"wrong image size", with([](auto& h) { h.biSizeImage = 7; }), 40},
        {"unknown code", with([](auto& h) { h.biCompression = MakeFourCC('X', 'V', 'I', 'D'); }), 40},
        {"24-bit Video 1", with([](auto& h) { h.biCompression = MakeFourCC('C', 'R', 'A', 'M'); }), 40},
        {"table missing", with([](auto& h) {
             h.biBitCount = 8;
             h.biSizeImage = 16;
             h.biClrUsed = 256;
         }),
         40},
        {"table too long", with([](auto& h) {
             h.biBitCount = 4;
             h.biSizeImage = 8;
             h.biClrUsed = 17;
         }),
         40 + 68},
        {"short header", RawHeader(4, 4, 24), 39},
    };
    TAviFileWriter w;
    ASSERT_EQ(w.Open(Path("refused.avi")), AVIERR_OK);
    ASSERT_EQ(w.CreateStream(10), AVIERR_OK);
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes(std::max<std::size_t>(c.size, sizeof c.header));
        std::memcpy(bytes.data(), &c.header, sizeof c.header);
        EXPECT_EQ(w.SetFormat(bytes.data(), c.size), AVIERR_BADFORMAT) << c.what;
    }
    EXPECT_EQ(w.SetFormat(nullptr, 40), AVIERR_BADFORMAT);
    const TBitmapInfoHeader good = RawHeader(4, 4, 24);
    ASSERT_EQ(w.SetFormat(&good, sizeof good), AVIERR_OK);
    const std::vector<std::uint8_t> frame(good.biSizeImage, 0x5A);
    ASSERT_EQ(w.Write(0, frame.data(), frame.size(), true), AVIERR_OK);
    ASSERT_EQ(w.Close(), AVIERR_OK);
    const TProbedStream read = ProbeAvi(Path("refused.avi"));
    ASSERT_EQ(read.Packets.size(), 1u);
    EXPECT_EQ(read.Packets[0].Bytes, frame);
}

TEST_F(AviFileTest, ShortTableIsPaddedToTheFullOne) {
    TBitmapInfoHeader h = RawHeader(4, 1, 4);
    h.biClrUsed = 2;
    std::uint8_t format[40 + 8];
    std::memcpy(format, &h, 40);
    const std::uint32_t table[2] = {0x00112233, 0x00445566};
    std::memcpy(format + 40, table, sizeof table);
    TAviFileWriter w;
    ASSERT_EQ(w.Open(Path("short.avi")), AVIERR_OK);
    ASSERT_EQ(w.CreateStream(10), AVIERR_OK);
    ASSERT_EQ(w.SetFormat(format, sizeof format), AVIERR_OK);
    const std::uint8_t pixels[4] = {0x01, 0x10, 0, 0};
    ASSERT_EQ(w.Write(0, pixels, sizeof pixels, true), AVIERR_OK);
    ASSERT_EQ(w.Close(), AVIERR_OK);
    const TRiffLayout riff = ReadRiffLayout(Path("short.avi"));
    ASSERT_EQ(riff.StreamFormat.size(), 40u + 64u);
    std::uint32_t stored[16];
    std::memcpy(stored, riff.StreamFormat.data() + 40, sizeof stored);
    EXPECT_EQ(stored[0], 0x00112233u);
    EXPECT_EQ(stored[1], 0x00445566u);
    EXPECT_EQ(stored[2], 0u);
    EXPECT_EQ(stored[15], 0u);
}

TEST_F(AviFileTest, FullDiskIsAWriteError) {
    // /dev/full takes the open and refuses every byte, as a full disk does.
    const TBitmapInfoHeader h = RawHeader(2, 2, 32);
    TAviFileWriter w;
    ASSERT_EQ(w.Open("/dev/full"), AVIERR_OK);
    ASSERT_EQ(w.CreateStream(10), AVIERR_OK);
    EXPECT_EQ(w.SetFormat(&h, sizeof h), AVIERR_FILEWRITE);
    EXPECT_EQ(w.Close(), AVIERR_FILEWRITE);
}

// A full disk mid-recording: the failure is answered, and the file is completed all the same with
// every frame written before it, so that players and our reader find them.
TEST_F(AviFileTest, WriteErrorMidwayIsReportedAndTheFileKeepsEveryFrameBeforeIt) {
    const TBitmapInfoHeader h = RawHeader(64, 64, 32); // 16 KiB a frame
    const QString file = Path("limited.avi");
    int position = 0;
    {
        FileSizeLimit limit(64 * 1024);
        TAviFileWriter w;
        Start(w, file, h);
        AviResult result = AVIERR_OK;
        while (position < 10) {
            const auto frame = FrameFor(position, h.biSizeImage);
            if ((result = w.Write(position, frame.data(), frame.size(), true)) != AVIERR_OK) break;
            ++position;
        }
        EXPECT_EQ(result, AVIERR_FILEWRITE);
        EXPECT_GT(position, 0);
        EXPECT_LT(position, 10);
        const auto frame = FrameFor(position + 1, h.biSizeImage);
        EXPECT_EQ(w.Write(position + 1, frame.data(), frame.size(), true), AVIERR_FILEWRITE);
        EXPECT_EQ(w.Close(), AVIERR_FILEWRITE);
    }
    const TRiffLayout riff = ReadRiffLayout(file);
    EXPECT_EQ(riff.Length, std::uint32_t(position));
    EXPECT_EQ(riff.MainHeaderFrames, std::uint32_t(position));
    ASSERT_EQ(riff.Index.size(), std::size_t(position));
    for (int i = 0; i < position; ++i)
        EXPECT_EQ(riff.Index[i].Flags & KeyFrameFlag, KeyFrameFlag) << i;
    const TProbedStream read = ProbeAvi(file);
    ASSERT_TRUE(read.Opened);
    EXPECT_EQ(read.FrameCount, position);
    ASSERT_EQ(read.Packets.size(), std::size_t(position));
    for (int i = 0; i < position; ++i)
        EXPECT_EQ(read.Packets[i].Bytes, FrameFor(i, h.biSizeImage)) << i;
}

// Where even the index finds no room, the last frames give up theirs: the file stays complete.
TEST_F(AviFileTest, AnIndexWithoutRoomTakesThatOfTheLastFrames) {
    const TBitmapInfoHeader h = RawHeader(64, 64, 32);
    const QString file = Path("unfinished.avi"), copy = Path("copy.avi");
    TAviFileWriter w;
    Start(w, file, h);
    std::vector<bool> keys;
    for (int position = 0; position < 6; ++position) {
        const auto frame = FrameFor(position, h.biSizeImage);
        ASSERT_EQ(w.Write(position, frame.data(), frame.size(), true), AVIERR_OK);
        keys.push_back(true);
    }
    // The file as a crash leaves it: every frame on the disk, no index, and a torn last chunk.
    ASSERT_TRUE(QFile::copy(file, copy));
    ASSERT_EQ(w.Close(), AVIERR_OK);
    QFile torn(copy);
    const qint64 chunk = 8 + h.biSizeImage;
    const qint64 sixthChunk = torn.size() - chunk;
    ASSERT_TRUE(torn.resize(torn.size() - 100));
    int kept = 0;
    {
        // Once the torn chunk is cut off, room for 50 bytes: an index of five frames takes 88.
        FileSizeLimit limit(sixthChunk + 50);
        kept = CompleteWrittenAvi(QFile::encodeName(copy), keys);
    }
    EXPECT_EQ(kept, 4); // the torn sixth and the fifth, whose room the index took
    const TRiffLayout riff = ReadRiffLayout(copy);
    EXPECT_EQ(riff.Length, 4u);
    EXPECT_EQ(riff.Index.size(), 4u);
    const TProbedStream read = ProbeAvi(copy);
    ASSERT_EQ(read.Packets.size(), 4u);
    EXPECT_EQ(read.Packets[3].Bytes, FrameFor(3, h.biSizeImage));
}

TEST_F(AviFileTest, DestructionCompletesTheFile) {
    const TBitmapInfoHeader h = RawHeader(3, 1, 24);
    const QString file = Path("scoped.avi");
    {
        TAviFileWriter w;
        Start(w, file, h);
        const std::vector<std::uint8_t> frame(h.biSizeImage, 1);
        ASSERT_EQ(w.Write(0, frame.data(), frame.size(), true), AVIERR_OK);
        ASSERT_EQ(w.Write(2, frame.data(), frame.size(), true), AVIERR_OK);
    }
    const TRiffLayout riff = ReadRiffLayout(file);
    EXPECT_EQ(riff.Length, 3u);
    EXPECT_EQ(riff.Index.size(), 3u);
}

TEST_F(AviFileTest, ReopenAfterCloseWritesANewFile) {
    const TBitmapInfoHeader h = RawHeader(3, 1, 24);
    const std::vector<std::uint8_t> frame(h.biSizeImage, 1);
    TAviFileWriter w;
    Start(w, Path("first.avi"), h);
    ASSERT_EQ(w.Write(4, frame.data(), frame.size(), true), AVIERR_OK);
    ASSERT_EQ(w.Close(), AVIERR_OK);
    Start(w, Path("second.avi"), h);
    EXPECT_EQ(w.Length(), 0);
    ASSERT_EQ(w.Write(0, frame.data(), frame.size(), true), AVIERR_OK);
    ASSERT_EQ(w.Close(), AVIERR_OK);
    EXPECT_EQ(ReadRiffLayout(Path("first.avi")).Length, 5u);
    EXPECT_EQ(ReadRiffLayout(Path("second.avi")).Length, 1u);
}

} // namespace

namespace {

// Past 1 GiB the muxer goes on in OpenDML parts: the stream header still counts every position,
// the main header only those of the first part, and a reader finds every frame through the
// OpenDML index.
TEST_F(AviFileTest, FilesPastOneGibibyteGoOnInOpenDmlParts) {
    const TBitmapInfoHeader h = RawHeader(1024, 1024, 32); // 4 MiB a frame
    const int frames = 280;                                // 1.1 GiB
    const int skipped = 270;                               // an empty position in the second part
    const QString file = Path("large.avi");
    std::vector<std::uint8_t> frame(h.biSizeImage);
    TAviFileWriter w;
    Start(w, file, h);
    for (int position = 0; position < frames; ++position) {
        if (position == skipped) continue;
        std::memset(frame.data(), position & 0xFF, 64); // a mark at the start of each frame
        ASSERT_EQ(w.Write(position, frame.data(), frame.size(), true), AVIERR_OK) << position;
    }
    ASSERT_EQ(w.Close(), AVIERR_OK);
    EXPECT_GT(QFileInfo(file).size(), 1024ll * 1024 * 1024);

    const TRiffLayout riff = ReadRiffLayout(file);
    ASSERT_GE(riff.RiffForms.size(), 2u);
    EXPECT_EQ(riff.RiffForms[0], MakeFourCC('A', 'V', 'I', ' '));
    EXPECT_EQ(riff.RiffForms[1], MakeFourCC('A', 'V', 'I', 'X'));
    EXPECT_TRUE(riff.HasOpenDmlIndex);
    EXPECT_EQ(riff.Length, std::uint32_t(frames));
    EXPECT_LT(riff.MainHeaderFrames, std::uint32_t(frames));

    const TProbedStream read = ProbeAvi(file, false);
    ASSERT_TRUE(read.Opened);
    EXPECT_EQ(read.FrameCount, frames);
    ASSERT_EQ(read.IndexTimestamps.size(), std::size_t(frames - 1));
    EXPECT_EQ(read.IndexTimestamps[skipped - 1], skipped - 1);
    EXPECT_EQ(read.IndexTimestamps[skipped], skipped + 1);
    EXPECT_EQ(read.IndexTimestamps.back(), frames - 1);
    // The last frame, in the second part, holds what was written for its position.
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    ASSERT_TRUE(f.seek(read.IndexPositions.back()));
    const QByteArray chunk = f.read(8 + 64);
    ASSERT_EQ(chunk.size(), 8 + 64);
    EXPECT_EQ(chunk.left(4), QByteArray("00dc"));
    EXPECT_EQ(std::uint8_t(chunk[8]), std::uint8_t((frames - 1) & 0xFF));
    EXPECT_EQ(std::uint8_t(chunk[8 + 63]), std::uint8_t((frames - 1) & 0xFF));
    f.close();

    // Our reader counts every frame of every part, and finds each one.
    TAVIFile avi;
    ASSERT_NO_THROW(avi.Open(file));
    EXPECT_EQ(avi.FrameCount(), std::uint32_t(frames));
    for (int position : {frames - 1, skipped, 3, skipped + 1}) {
        const int shows = position == skipped ? skipped - 1 : position;
        const QImage* frame = avi.GetFrame(position);
        ASSERT_NE(frame, nullptr) << position;
        EXPECT_EQ(qBlue(frame->pixel(0, h.biHeight - 1)), shows & 0xFF) << position; // rows run bottom-up
    }
    avi.Close();
    QFile::remove(file);
}

} // namespace
