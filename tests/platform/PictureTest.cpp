#include "platform/Picture.h"
#include "platform/BitmapGraphic.h"
#include "platform/Canvas.h"
#include "platform/Exceptions.h"
#include "platform/IconGraphic.h"
#include "platform/JpegFormat.h"
#include "platform/PictureFile.h"
#include "platform/StampPictureCache.h"
#include "support/PeakMemory.h"
#include "support/ProgressiveJpeg.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <zlib.h>

namespace {

QByteArray U16(uint32_t v) {
    QByteArray b(2, '\0');
    b[0] = char(v);
    b[1] = char(v >> 8);
    return b;
}

QByteArray U32(uint32_t v) {
    return U16(v & 0xFFFF) + U16(v >> 16);
}

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

QByteArray InfoHeader(int32_t width, int32_t height, int bits, uint32_t compression = 0,
                      uint32_t coloursUsed = 0) {
    return U32(40) + U32(uint32_t(width)) + U32(uint32_t(height)) + U16(1) + U16(bits) + U32(compression) +
           U32(0) + U32(0) + U32(0) + U32(coloursUsed) + U32(0);
}

QByteArray Palette(std::initializer_list<QRgb> colours, int entrySize = 4) {
    QByteArray b;
    for (QRgb c : colours) {
        b += Bytes({qBlue(c), qGreen(c), qRed(c)});
        if (entrySize == 4) b += '\0';
    }
    return b;
}

// Rows in file order, each padded to a multiple of 4 bytes.
QByteArray Rows(std::initializer_list<QByteArray> rows) {
    QByteArray b;
    for (QByteArray r : rows) {
        while (r.size() % 4)
            r += '\0';
        b += r;
    }
    return b;
}

// A bitmap file: file header, then the headers and colour table, then the pixels. A declared size or
// pixel offset of -1 is the true one.
QByteArray BmpFile(const QByteArray& headers, const QByteArray& bits, qint64 declaredSize = -1,
                   qint64 offBits = -1) {
    const qint64 size = 14 + headers.size() + bits.size();
    return "BM" + U32(uint32_t(declaredSize < 0 ? size : declaredSize)) + U32(0) +
           U32(uint32_t(offBits < 0 ? 14 + headers.size() : offBits)) + headers + bits;
}

QByteArray PngChunk(const char* type, const QByteArray& data) {
    const QByteArray body = QByteArray(type, 4) + data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()));
    const QByteArray length = Bytes({int(data.size() >> 24) & 0xFF, int(data.size() >> 16) & 0xFF,
                                     int(data.size() >> 8) & 0xFF, int(data.size()) & 0xFF});
    const QByteArray check =
        Bytes({int(crc >> 24) & 0xFF, int(crc >> 16) & 0xFF, int(crc >> 8) & 0xFF, int(crc) & 0xFF});
    return length + body + check;
}

QByteArray BigEndian32(uint32_t v) {
    return Bytes({int(v >> 24) & 0xFF, int(v >> 16) & 0xFF, int(v >> 8) & 0xFF, int(v) & 0xFF});
}

// An 8-bit RGB PNG of width x height grey pixels; the pixel data is zlib-compressed rows.
QByteArray PngFile(uint32_t width, uint32_t height, int colourType = 2, bool withData = true) {
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png += PngChunk("IHDR", BigEndian32(width) + BigEndian32(height) + Bytes({8, colourType, 0, 0, 0}));
    QByteArray raw;
    // Without data, a few rows' worth: enough for the reader to reach the pixels.
    for (uint32_t y = 0; y < (withData ? height : 1); ++y)
        raw += '\0' + QByteArray(int(width) * 3, char(0x80));
    png += PngChunk("IDAT", qCompress(raw).mid(4)); // qCompress prefixes the size to the zlib stream
    return png + PngChunk("IEND", QByteArray());
}

// A GIF written by giflib: a palette, an optional transparent index, an image placed on a screen.
struct TGifSpec {
    int ScreenWidth = 0, ScreenHeight = 0;
    int Left = 0, Top = 0, Width = 0, Height = 0;
    std::vector<QRgb> Palette;
    int Transparent = -1;
    bool Interlace = false;
    std::vector<uint8_t> Pixels; // rows top to bottom
};

int AppendGif(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

QByteArray GifFile(const TGifSpec& spec) {
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendGif, &error);
    std::vector<GifColorType> colours;
    for (QRgb c : spec.Palette)
        colours.push_back({GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))});
    ColorMapObject* map = GifMakeMapObject(int(colours.size()), colours.data());
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, spec.ScreenWidth, spec.ScreenHeight, 8, 0, map);
    if (spec.Transparent >= 0) {
        const GifByteType control[4] = {1, 0, 0, GifByteType(spec.Transparent)};
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    }
    EGifPutImageDesc(gif, spec.Left, spec.Top, spec.Width, spec.Height, spec.Interlace, nullptr);
    std::vector<int> order;
    if (spec.Interlace) {
        for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int y = start; y < spec.Height; y += step)
                order.push_back(y);
    } else {
        for (int y = 0; y < spec.Height; ++y)
            order.push_back(y);
    }
    for (int y : order)
        EGifPutLine(gif, const_cast<GifPixelType*>(spec.Pixels.data()) + y * spec.Width, spec.Width);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

// One icon file holding the given images, each as its directory entry's size and bit count.
struct TIconSpec {
    int Width, Height, BitCount;
    QByteArray Data;
};

QByteArray IcoFile(const std::vector<TIconSpec>& images) {
    QByteArray dir = U16(0) + U16(1) + U16(uint32_t(images.size()));
    QByteArray data;
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (const TIconSpec& i : images) {
        dir += Bytes({i.Width & 0xFF, i.Height & 0xFF, 0, 0}) + U16(1) + U16(i.BitCount) +
               U32(uint32_t(i.Data.size())) + U32(offset);
        offset += uint32_t(i.Data.size());
        data += i.Data;
    }
    return dir + data;
}

QByteArray QtEncoded(const QImage& image, const char* format, int quality = -1) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return out;
}

class PictureTest : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& data) {
        const QString path = Dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        return path;
    }

    // The picture as loaded through the registry, as straight ARGB pixels.
    QImage Load(const QString& name, const QByteArray& data, bool transparent = false) {
        TPicture picture;
        picture.LoadFromFile(Write(name, data));
        EXPECT_NE(picture.Graphic(), nullptr);
        picture.Graphic()->SetTransparent(transparent);
        return picture.Graphic()->ToImage();
    }

    QTemporaryDir Dir;
};

void ExpectPixels(const QImage& image, const std::vector<std::vector<QRgb>>& rows) {
    ASSERT_EQ(image.height(), int(rows.size()));
    for (int y = 0; y < image.height(); ++y) {
        ASSERT_EQ(image.width(), int(rows[y].size()));
        for (int x = 0; x < image.width(); ++x)
            EXPECT_EQ(image.pixel(x, y), rows[y][x]) << "at " << x << "," << y;
    }
}

constexpr QRgb kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF,
               kBlack = 0xFF000000, kClear = 0;

// A small image with a different colour at every pixel.
QImage Sample(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(40 * x + 10, 60 * y + 20, 200 - 30 * x));
    return image;
}

} // namespace

TEST_F(PictureTest, StandardFormatsAreRegisteredAndWindowsMetafilesAreNot) {
    for (const char* ext : {"bmp", "ico", "jpg", "jpeg", "gif", "png", "PNG", "Jpg"})
        EXPECT_TRUE(TPicture::IsRegistered(ext)) << ext;
    for (const char* ext : {"wmf", "emf", "tif", ""})
        EXPECT_FALSE(TPicture::IsRegistered(ext)) << ext;
    EXPECT_EQ(TPicture::Description("BMP"), "Bitmaps");
    EXPECT_EQ(TPicture::Extensions().mid(0, 6), QStringList({"bmp", "ico", "jpg", "jpeg", "gif", "png"}));
}

TEST_F(PictureTest, UnknownExtensionNamesItAsSpelt) {
    for (auto [name, message] : {std::pair{"chart.wmf", "Unknown picture file extension (.wmf)"},
                                 {"scan.Tif", "Unknown picture file extension (.Tif)"},
                                 {"noextension", "Unknown picture file extension (.)"}}) {
        TPicture picture;
        try {
            picture.LoadFromFile(Write(name, "BM"));
            ADD_FAILURE() << name;
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.message(), message);
        }
        // The stamp loader does not fall back for it either.
        EXPECT_THROW(LoadStampPicture(Dir.filePath(name)), EInvalidGraphic);
    }
}

TEST_F(PictureTest, ExtensionIsMatchedIgnoringCase) {
    const QImage sample = Sample(3, 2);
    const QImage loaded = Load("PIC.PNG", QtEncoded(sample, "PNG"));
    EXPECT_EQ(loaded.convertToFormat(QImage::Format_RGB32), sample);
}

TEST_F(PictureTest, RegisteredDecoderReplacesAndExtendsTheTable) {
    int calls = 0;
    TPicture::RegisterFileFormat("xyz", "Test pictures", [&](const QString&) {
        ++calls;
        return std::make_unique<TBitmapGraphic>(Sample(2, 2), false);
    });
    TPicture picture;
    picture.LoadFromFile(Write("a.XYZ", "anything"));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(picture.Graphic()->Width(), 2);
    EXPECT_EQ(TPicture::Description("xyz"), "Test pictures");
}

TEST_F(PictureTest, MissingFileIsAnOpenError) {
    const QString path = Dir.filePath("gone.png");
    TPicture picture;
    try {
        picture.LoadFromFile(path);
        ADD_FAILURE();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.message(), QString("Cannot open file \"%1\". No such file or directory").arg(path));
    }
    // The plain-bitmap reading cannot open it either, and says so.
    EXPECT_THROW(LoadStampPicture(path), EFOpenError);
}

TEST_F(PictureTest, BitmapsOfEveryDepthDecode) {
    // 24 bits as Qt writes them.
    const QImage sample = Sample(5, 3);
    EXPECT_EQ(Load("qt.bmp", QtEncoded(sample, "BMP")).convertToFormat(QImage::Format_RGB32), sample);

    // 8 bits with a colour table; the file's rows run bottom-up.
    ExpectPixels(Load("8.bmp", BmpFile(InfoHeader(3, 2, 8, 0, 4) + Palette({kRed, kGreen, kBlue, kWhite}),
                                       Rows({Bytes({0, 1, 2}), Bytes({3, 0, 1})}))),
                 {{kWhite, kRed, kGreen}, {kRed, kGreen, kBlue}});
    // 4 bits; index 5 lies past the table of 3 and draws black.
    ExpectPixels(Load("4.bmp", BmpFile(InfoHeader(3, 1, 4, 0, 3) + Palette({kRed, kGreen, kBlue}),
                                       Rows({Bytes({0x12, 0x50})}))),
                 {{kGreen, kBlue, kBlack}});
    // 1 bit.
    ExpectPixels(
        Load("1.bmp", BmpFile(InfoHeader(10, 1, 1) + Palette({kBlue, kWhite}), Rows({Bytes({0xA5, 0x80})}))),
        {{kWhite, kBlue, kWhite, kBlue, kBlue, kWhite, kBlue, kWhite, kWhite, kBlue}});
    // 16 bits, 5-6-5 through bit fields; 16 of 31 blue scales to 132.
    ExpectPixels(Load("16.bmp", BmpFile(InfoHeader(3, 1, 16, 3) + U32(0xF800) + U32(0x07E0) + U32(0x001F),
                                        Rows({U16(0xF800) + U16(0x07E0) + U16(0x0010)}))),
                 {{kRed, kGreen, qRgb(0, 0, 132)}});
    // 16 bits plain: 5-5-5.
    ExpectPixels(Load("555.bmp", BmpFile(InfoHeader(2, 1, 16), Rows({U16(0x7C00) + U16(0x001F)}))),
                 {{kRed, kBlue}});
    // 32 bits: the fourth byte is no alpha for a bitmap.
    ExpectPixels(Load("32.bmp", BmpFile(InfoHeader(2, 1, 32), Rows({Bytes({0, 0, 255, 0, 255, 0, 0, 7})}))),
                 {{kRed, kBlue}});
    // Top-down rows (negative height).
    ExpectPixels(Load("down.bmp", BmpFile(InfoHeader(1, 2, 24).replace(8, 4, U32(uint32_t(-2))),
                                          Rows({Bytes({0, 0, 255}), Bytes({255, 0, 0})}))),
                 {{kRed}, {kBlue}});
    // A core header with a three-byte colour table.
    ExpectPixels(Load("core.bmp", BmpFile(U32(12) + U16(2) + U16(1) + U16(1) + U16(8) +
                                              Palette({kRed, kBlue}, 3) + QByteArray(254 * 3, '\0'),
                                          Rows({Bytes({1, 0})}))),
                 {{kBlue, kRed}});
}

TEST_F(PictureTest, RunLengthBitmapsDecode) {
    const QByteArray palette = Palette({kBlack, kRed, kGreen, kBlue});
    // Bottom row: two of 1, then 2, 3, 2 as an absolute run (padded), end of line; top row: five of
    // 3; end of bitmap.
    const QByteArray rle8 = Bytes({2, 1, 0, 3, 2, 3, 2, 0, 0, 0, 5, 3, 0, 1});
    ExpectPixels(Load("rle8.bmp", BmpFile(InfoHeader(5, 2, 8, 1, 4) + palette, rle8)),
                 {{kBlue, kBlue, kBlue, kBlue, kBlue}, {kRed, kRed, kGreen, kBlue, kGreen}});
    const QByteArray rle4 = Bytes({4, 0x12, 0, 1});
    ExpectPixels(Load("rle4.bmp", BmpFile(InfoHeader(4, 1, 4, 2, 4) + palette, rle4)),
                 {{kRed, kGreen, kRed, kGreen}});
    // A delta that jumps past the image ends it; what no run reached keeps colour 0.
    ExpectPixels(
        Load("delta.bmp", BmpFile(InfoHeader(3, 1, 8, 1, 4) + palette, Bytes({1, 3, 0, 2, 200, 200}))),
        {{kBlue, kBlack, kBlack}});
}

TEST_F(PictureTest, BitmapTransparencyLeavesOutBottomLeftColour) {
    const QByteArray bmp =
        BmpFile(InfoHeader(2, 2, 24), Rows({Bytes({0, 0, 255, 255, 0, 0}), Bytes({0, 255, 0, 0, 0, 255})}));
    // Bottom-left is red: every red pixel goes, the others stay.
    ExpectPixels(Load("t.bmp", bmp, true), {{kGreen, kClear}, {kClear, kBlue}});
    ExpectPixels(Load("t.bmp", bmp, false), {{kGreen, kRed}, {kRed, kBlue}});
}

TEST_F(PictureTest, MonochromeBitmapLeavesOutWhiteWhateverItsCorner) {
    // Bottom-left is black, yet a 1-bit bitmap's transparent colour is white.
    const QByteArray bmp = BmpFile(InfoHeader(2, 1, 1) + Palette({kBlack, kWhite}), Rows({Bytes({0x40})}));
    TPicture picture;
    picture.LoadFromFile(Write("mono.bmp", bmp));
    auto* bitmap = dynamic_cast<TBitmapGraphic*>(picture.Graphic());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_TRUE(bitmap->Monochrome());
    EXPECT_EQ(bitmap->TransparentColor(), kWhite);
    ExpectPixels(Load("mono.bmp", bmp, true), {{kBlack, kClear}});
}

TEST_F(PictureTest, DrawClipsToTheCanvasAndItsClipRegion) {
    TBitmapGraphic bitmap(Sample(4, 4), false);
    QImage target(3, 3, QImage::Format_RGB32);
    target.fill(kWhite);
    Canvas canvas(target);
    bitmap.Draw(canvas, -2, -1);
    EXPECT_EQ(target.pixel(0, 0), Sample(4, 4).pixel(2, 1));
    EXPECT_EQ(target.pixel(1, 2), Sample(4, 4).pixel(3, 3));
    EXPECT_EQ(target.pixel(2, 0), kWhite);

    target.fill(kWhite);
    canvas.ClipRegion = QRegion(1, 1, 1, 1);
    bitmap.Draw(canvas, 0, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(target.pixel(x, y), (x == 1 && y == 1) ? Sample(4, 4).pixel(1, 1) : kWhite)
                << x << "," << y;
}

TEST_F(PictureTest, PngKeepsItsAlphaAndIsBlendedWithIt) {
    QImage sample(3, 1, QImage::Format_ARGB32);
    sample.setPixel(0, 0, qRgba(255, 0, 0, 128));
    sample.setPixel(1, 0, qRgba(0, 0, 255, 255));
    sample.setPixel(2, 0, qRgba(0, 255, 0, 0));
    const QImage loaded = Load("alpha.png", QtEncoded(sample, "PNG"), /*transparent=*/false);
    EXPECT_EQ(loaded.pixel(0, 0), qRgba(255, 0, 0, 128));
    EXPECT_EQ(loaded.pixel(1, 0), qRgba(0, 0, 255, 255));
    EXPECT_EQ(qAlpha(loaded.pixel(2, 0)), 0);

    TPicture picture;
    picture.LoadFromFile(Dir.filePath("alpha.png"));
    QImage target(3, 1, QImage::Format_RGB32);
    target.fill(kWhite);
    Canvas canvas(target);
    picture.Graphic()->Draw(canvas, 0, 0);
    EXPECT_EQ(target.pixel(0, 0), qRgb(255, 127, 127));
    EXPECT_EQ(target.pixel(1, 0), kBlue);
    EXPECT_EQ(target.pixel(2, 0), kWhite);
}

TEST_F(PictureTest, PngOfOtherPixelFormatsDecode) {
    QImage grey(2, 1, QImage::Format_Grayscale8);
    grey.scanLine(0)[0] = 0x20;
    grey.scanLine(0)[1] = 0xE0;
    ExpectPixels(Load("grey.png", QtEncoded(grey, "PNG")),
                 {{qRgb(0x20, 0x20, 0x20), qRgb(0xE0, 0xE0, 0xE0)}});

    QImage indexed(2, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgba(10, 20, 30, 255), qRgba(0, 0, 0, 0)});
    indexed.setPixel(0, 0, 0);
    indexed.setPixel(1, 0, 1);
    const QImage fromPalette = Load("pal.png", QtEncoded(indexed, "PNG"));
    EXPECT_EQ(fromPalette.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(qAlpha(fromPalette.pixel(1, 0)), 0);

    QImage deep(1, 1, QImage::Format_RGBA64);
    deep.setPixelColor(0, 0, QColor::fromRgba64(0xFFFF, 0x8080, 0x0000, 0xFFFF));
    EXPECT_EQ(Load("deep.png", QtEncoded(deep, "PNG")).pixel(0, 0), qRgb(255, 128, 0));
}

TEST_F(PictureTest, JpegDecodesAsQtsReaderDoes) {
    // Flat blocks as large as the encoder's colour blocks, so chroma subsampling blurs nothing.
    QImage sample(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            sample.setPixel(x, y,
                            x < 16 ? (y < 16 ? qRgb(200, 30, 30) : qRgb(30, 200, 30))
                                   : (y < 16 ? qRgb(30, 30, 200) : qRgb(220, 220, 40)));
    for (const char* name : {"photo.jpg", "photo.jpeg"}) {
        const QByteArray jpeg = QtEncoded(sample, "JPEG", 95);
        const QImage ours = Load(name, jpeg);
        const QImage qts = QImage::fromData(jpeg).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(ours.size(), QSize(32, 32));
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const QRgb a = ours.pixel(x, y), b = qts.pixel(x, y), s = sample.pixel(x, y);
                EXPECT_EQ(qAlpha(a), 255);
                EXPECT_NEAR(qRed(a), qRed(b), 2);
                EXPECT_NEAR(qGreen(a), qGreen(b), 2);
                EXPECT_NEAR(qBlue(a), qBlue(b), 2);
                // Away from the edges, which the decoder's chroma upsampling blends.
                if (x % 16 < 3 || x % 16 > 12 || y % 16 < 3 || y % 16 > 12) continue;
                EXPECT_NEAR(qRed(a), qRed(s), 12);
                EXPECT_NEAR(qGreen(a), qGreen(s), 12);
                EXPECT_NEAR(qBlue(a), qBlue(s), 12);
            }
    }
    QImage grey(8, 8, QImage::Format_Grayscale8);
    grey.fill(0x60);
    const QImage fromGrey = Load("grey.jpg", QtEncoded(grey, "JPEG", 95));
    EXPECT_NEAR(qRed(fromGrey.pixel(3, 3)), 0x60, 2);
    EXPECT_EQ(qRed(fromGrey.pixel(3, 3)), qBlue(fromGrey.pixel(3, 3)));
}

TEST_F(PictureTest, GifShowsItsFirstImageWithTransparentIndexLeftOut) {
    TGifSpec spec;
    spec.ScreenWidth = 4;
    spec.ScreenHeight = 3;
    spec.Left = 1;
    spec.Top = 1;
    spec.Width = 3;
    spec.Height = 2;
    spec.Palette = {kRed, kGreen, kBlue, kWhite};
    spec.Transparent = 1;
    spec.Pixels = {0, 1, 2, 3, 2, 0};
    // The screen outside the image is transparent too.
    ExpectPixels(
        Load("anim.gif", GifFile(spec)),
        {{kClear, kClear, kClear, kClear}, {kClear, kRed, kClear, kBlue}, {kClear, kWhite, kBlue, kRed}});
}

TEST_F(PictureTest, InterlacedGifRowsLandInPlace) {
    TGifSpec spec;
    spec.ScreenWidth = spec.Width = 1;
    spec.ScreenHeight = spec.Height = 10;
    spec.Interlace = true;
    for (int i = 0; i < 16; ++i)
        spec.Palette.push_back(qRgb(i * 10, 0, 0));
    for (int y = 0; y < 10; ++y)
        spec.Pixels.push_back(uint8_t(y));
    const QImage loaded = Load("inter.gif", GifFile(spec));
    ASSERT_EQ(loaded.size(), QSize(1, 10));
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(loaded.pixel(0, y), qRgb(y * 10, 0, 0)) << y;
}

namespace {

// A 2 x 2 icon image of 24 bits with its AND mask: top row black (masked) and red, bottom row white
// (masked: inverts) and blue.
QByteArray MaskedIconImage() {
    const QByteArray header = InfoHeader(2, 4, 24);
    const QByteArray colour = Rows({Bytes({255, 255, 255, 255, 0, 0}), Bytes({0, 0, 0, 0, 0, 255})});
    const QByteArray mask = Rows({Bytes({0x80}), Bytes({0x80})});
    return header + colour + mask;
}

QByteArray AlphaIconImage(int side) {
    QByteArray pixels;
    for (int i = 0; i < side * side; ++i)
        pixels += Bytes({0, 255, 0, 200});
    return InfoHeader(side, side * 2, 32) + pixels + QByteArray(side * 4 * ((side + 31) / 32), '\0');
}

} // namespace

TEST_F(PictureTest, IconDrawsThroughItsMask) {
    TPicture picture;
    picture.LoadFromFile(Write("masked.ico", IcoFile({{2, 2, 24, MaskedIconImage()}})));
    ASSERT_NE(dynamic_cast<TIconGraphic*>(picture.Graphic()), nullptr);
    QImage target(2, 2, QImage::Format_RGB32);
    target.fill(qRgb(0x10, 0x80, 0xF0));
    Canvas canvas(target);
    picture.Graphic()->Draw(canvas, 0, 0);
    EXPECT_EQ(target.pixel(0, 0), qRgb(0x10, 0x80, 0xF0)); // screen shows through
    EXPECT_EQ(target.pixel(1, 0), kRed);
    EXPECT_EQ(target.pixel(0, 1), qRgb(0xEF, 0x7F, 0x0F)); // screen inverted
    EXPECT_EQ(target.pixel(1, 1), kBlue);
    ExpectPixels(picture.Graphic()->ToImage(), {{kClear, kRed}, {kClear, kBlue}});
}

TEST_F(PictureTest, IconTakesTheImageNearestThirtyTwoPixels) {
    const QImage loaded = Load("multi.ico", IcoFile({{2, 2, 24, MaskedIconImage()},
                                                     {32, 32, 32, AlphaIconImage(32)},
                                                     {48, 48, 32, AlphaIconImage(48)}}));
    ASSERT_EQ(loaded.size(), QSize(32, 32));
    EXPECT_EQ(loaded.pixel(5, 5), qRgba(0, 255, 0, 200));
    // An image stored as PNG inside the icon.
    QImage sample(3, 3, QImage::Format_ARGB32);
    sample.fill(qRgba(1, 2, 3, 100));
    EXPECT_EQ(Load("png.ico", IcoFile({{3, 3, 32, QtEncoded(sample, "PNG")}})).pixel(1, 1),
              qRgba(1, 2, 3, 100));
}

TEST_F(PictureTest, StampFallsBackToPlainBitmapOnStreamErrors) {
    const QByteArray headers = InfoHeader(2, 2, 24);
    const QByteArray bits = Rows({Bytes({0, 0, 255, 255, 0, 0}), Bytes({0, 255, 0, 255, 255, 255})});
    // The file header claims more bytes than the file has: the registry's reader fails with a
    // stream error, the plain-bitmap reading draws it.
    const QString path = Write("long.bmp", BmpFile(headers, bits, 5000));
    TPicture picture;
    EXPECT_THROW(picture.LoadFromFile(path), EReadError);
    const std::unique_ptr<TGraphic> stamp = LoadStampPicture(path);
    ExpectPixels(stamp->ToImage(), {{kGreen, kWhite}, {kRed, kBlue}});

    // The size is that of the decoded bitmap: a top-down one has a negative height field.
    const QString down =
        Write("down.bmp", BmpFile(InfoHeader(2, -3, 24),
                                  Rows({Bytes({0, 0, 255, 0, 0, 255}), Bytes({0, 255, 0, 0, 255, 0}),
                                        Bytes({255, 0, 0, 255, 0, 0})}),
                                  9999));
    ExpectPixels(LoadStampPicture(down)->ToImage(), {{kRed, kRed}, {kGreen, kGreen}, {kBlue, kBlue}});
    // A core header holds 16-bit sizes where an info header has its height.
    QByteArray coreBits;
    for (int i = 0; i < 4; ++i)
        coreBits += Rows({Bytes({0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255})});
    const QString core =
        Write("core.bmp", BmpFile(U32(12) + U16(4) + U16(4) + U16(1) + U16(24), coreBits, 9999));
    const std::unique_ptr<TGraphic> fromCore = LoadStampPicture(core);
    EXPECT_EQ(QSize(fromCore->Width(), fromCore->Height()), QSize(4, 4));
    EXPECT_EQ(fromCore->ToImage().pixel(3, 3), kRed);
}

TEST_F(PictureTest, FallbackRejectsWhatIsNoBitmap) {
    struct Case {
        const char* Name;
        QByteArray Data;
    } cases[] = {
        {"short.png", QByteArray("\x89PNG\r\n", 6)},
        {"empty.jpg", QByteArray()},
        {"cut.gif", QByteArray("GIF89a\x02", 7)},
        {"tiny.bmp", QByteArray("BM")},
        // "BM" but fewer than 40 bytes after the file header.
        {"short.bmp", BmpFile(U32(12) + U16(1) + U16(1) + U16(1) + U16(24), Rows({Bytes({1, 2, 3})}), 500)},
        // Sizes no bitmap may have, behind a file size that sends the load to the fallback.
        {"huge.bmp", BmpFile(InfoHeader(100000, 100000, 24), QByteArray(16, '\0'), 1 << 30)},
        {"wide.bmp", BmpFile(InfoHeader(-4, 4, 24), QByteArray(64, '\0'), 1 << 30)},
        {"many.bmp", BmpFile(InfoHeader(9000, 9000, 1), QByteArray(16, '\0'), 1 << 30)},
        {"cut.bmp", BmpFile(InfoHeader(64, 64, 24), QByteArray(100, '\0'), 1 << 30)},
    };
    for (const Case& c : cases) {
        const QString path = Write(c.Name, c.Data);
        TPicture picture;
        EXPECT_THROW(picture.LoadFromFile(path), EStreamError) << c.Name;
        try {
            LoadStampPicture(path);
            ADD_FAILURE() << c.Name;
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.message(), "Invalid image file") << c.Name;
        }
    }
}

TEST_F(PictureTest, HostileFilesGiveCleanErrors) {
    const QByteArray goodPng = PngFile(4, 4);
    const QByteArray goodJpeg = QtEncoded(Sample(32, 32), "JPEG", 90);
    const qsizetype sof = goodJpeg.indexOf("\xFF\xC0");
    auto jpegWithSize = [&](int width, int height) {
        QByteArray j = goodJpeg;
        j.replace(sof + 5, 4, Bytes({height >> 8, height & 0xFF, width >> 8, width & 0xFF}));
        return j;
    };
    TGifSpec gif;
    gif.ScreenWidth = gif.Width = 16;
    gif.ScreenHeight = gif.Height = 16;
    gif.Palette = {kRed, kGreen, kBlue, kWhite};
    gif.Pixels.assign(256, 0);
    for (int i = 0; i < 256; ++i)
        gif.Pixels[i] = uint8_t((i * 7 + i / 5) % 4);
    const QByteArray goodGif = GifFile(gif);
    const QByteArray gifHeader = QByteArray("GIF89a") + U16(2) + U16(2) + Bytes({0, 0, 0});

    struct Case {
        const char* Name;
        QByteArray Data;
        bool StreamError; // else the decoder rejects the data
    } cases[] = {
        // Bitmaps.
        {"empty.bmp", QByteArray(), true},
        {"header.bmp", QByteArray("BM\x10\0\0\0", 6), true},
        {"sign.bmp", "XY" + BmpFile(InfoHeader(1, 1, 24), Rows({Bytes({1, 2, 3})})).mid(2), false},
        {"negwidth.bmp", BmpFile(InfoHeader(-5, 1, 24), QByteArray(32, '\0')), false},
        {"zerowidth.bmp", BmpFile(InfoHeader(0, 1, 24), QByteArray(32, '\0')), false},
        {"minheight.bmp", BmpFile(InfoHeader(1, INT32_MIN, 24), QByteArray(32, '\0')), false},
        {"side.bmp", BmpFile(InfoHeader(40000, 1, 24), QByteArray(32, '\0')), false},
        {"total.bmp", BmpFile(InfoHeader(8192, 8193, 1), QByteArray(32, '\0')), false},
        {"max.bmp", BmpFile(InfoHeader(INT32_MAX, INT32_MAX, 32), QByteArray(32, '\0')), false},
        {"hsize0.bmp", BmpFile(U32(0) + QByteArray(36, '\0'), QByteArray(32, '\0')), false},
        {"hsize.bmp", BmpFile(U32(1000) + QByteArray(36, '\0'), QByteArray(32, '\0')), false},
        {"bits.bmp", BmpFile(InfoHeader(1, 1, 7), QByteArray(32, '\0')), false},
        {"jpegbmp.bmp", BmpFile(InfoHeader(1, 1, 24, 4), QByteArray(32, '\0')), false},
        {"rle24.bmp", BmpFile(InfoHeader(1, 1, 24, 1), QByteArray(32, '\0')), false},
        {"rledown.bmp", BmpFile(InfoHeader(1, -1, 8, 1), QByteArray(32, '\0')), false},
        {"colours.bmp", BmpFile(InfoHeader(1, 1, 8, 0, 0xFFFFFFFF), QByteArray(32, '\0')), false},
        {"table.bmp", BmpFile(InfoHeader(1, 1, 8), QByteArray(20, '\0'), -1, 14 + 40 + 1024), true},
        {"pixels.bmp", BmpFile(InfoHeader(100, 100, 24), QByteArray(10, '\0')), true},
        {"cuthead.bmp", BmpFile(InfoHeader(1, 1, 24).left(20), QByteArray()), true},
        {"masks.bmp", BmpFile(InfoHeader(1, 1, 16, 3), QByteArray()), true},
        {"holes.bmp",
         BmpFile(InfoHeader(1, 1, 16, 3) + U32(0xF00F) + U32(0x0F00) + U32(0xF0), QByteArray(4, '\0')),
         false},
        {"core32.bmp", BmpFile(U32(12) + U16(1) + U16(1) + U16(1) + U16(32), QByteArray(4, '\0')), false},
        {"rlecut.bmp", BmpFile(InfoHeader(4, 4, 8, 1, 2) + Palette({kRed, kBlue}), Bytes({4, 1, 0, 0, 4})),
         true},
        {"rleabs.bmp", BmpFile(InfoHeader(4, 4, 8, 1, 2) + Palette({kRed, kBlue}), Bytes({0, 200, 1, 1})),
         true},
        // Icons.
        {"short.ico", QByteArray("\0\0\1\0", 4), true},
        {"reserved.ico", U16(1) + U16(1) + U16(1), false},
        {"cursor.ico", U16(0) + U16(2) + U16(1) + QByteArray(16, '\0'), false},
        {"none.ico", U16(0) + U16(1) + U16(0), false},
        {"dir.ico", U16(0) + U16(1) + U16(100) + QByteArray(16, '\0'), true},
        {"offset.ico",
         U16(0) + U16(1) + U16(1) + Bytes({2, 2, 0, 0}) + U16(1) + U16(24) + U32(40) + U32(0x7FFFFFF0), true},
        {"length.ico",
         U16(0) + U16(1) + U16(1) + Bytes({2, 2, 0, 0}) + U16(1) + U16(24) + U32(0xFFFFFFFF) + U32(22), true},
        {"big.ico", IcoFile({{0, 0, 32, InfoHeader(100000, 200000, 32)}}), false},
        {"down.ico", IcoFile({{2, 2, 24, InfoHeader(2, -4, 24) + QByteArray(40, '\0')}}), false},
        {"nomask.ico", IcoFile({{2, 2, 24, InfoHeader(2, 4, 24) + QByteArray(16, '\0')}}), true},
        {"cutpng.ico", IcoFile({{4, 4, 32, goodPng.left(30)}}), true},
        // GIF.
        {"sig.gif", QByteArray("GIF89a"), true},
        {"not.gif", QByteArray("JFIF89a and more bytes here"), false},
        {"noimage.gif", gifHeader + ";", false},
        {"nomap.gif", gifHeader + "," + U16(0) + U16(0) + U16(2) + U16(2) + Bytes({0, 2, 2, 0x4C, 0x01, 0}),
         false},
        {"huge.gif",
         gifHeader + "," + U16(0) + U16(0) + U16(65535) + U16(65535) + Bytes({0x80}) + QByteArray(6, '\0') +
             Bytes({2, 0}),
         false},
        {"empty.gif",
         gifHeader + "," + U16(0) + U16(0) + U16(0) + U16(0) + Bytes({0x80}) + QByteArray(6, '\0') +
             Bytes({2, 0}),
         false},
        {"cut.gif", goodGif.left(goodGif.size() - 12), true},
        // PNG.
        {"sig.png", goodPng.left(8), true},
        {"zero.png", PngFile(0, 4), false},
        {"wide.png", PngFile(40000, 1, 2, false), false},
        {"area.png", PngFile(20000, 20000, 2, false), false},
        {"crc.png", QByteArray(goodPng).replace(29, 1, "\x55"), false},
        {"cut.png", goodPng.left(goodPng.size() - 20), true},
        {"zlib.png",
         goodPng.left(41) + PngChunk("IDAT", "garbage, no zlib stream") + PngChunk("IEND", QByteArray()),
         false},
        {"noplte.png", PngFile(2, 2, 3), false},
        // JPEG.
        {"soi.jpg", QByteArray("\xFF\xD8", 2), true},
        {"not.jpg", QByteArray("hello, world"), false},
        {"size.jpg", jpegWithSize(65000, 65000), false},
        {"zero.jpg", jpegWithSize(32, 0), false},
        {"half.jpg", goodJpeg.left(goodJpeg.size() / 2), true},
    };
    for (const Case& c : cases) {
        const QString path = Write(c.Name, c.Data);
        TPicture picture;
        try {
            picture.LoadFromFile(path);
            ADD_FAILURE() << c.Name << " loaded";
        } catch (const EStreamError& e) {
            EXPECT_TRUE(c.StreamError) << c.Name << ": " << e.message().toStdString();
            EXPECT_TRUE(dynamic_cast<const EReadError*>(&e)) << c.Name;
        } catch (const EInvalidGraphic& e) {
            EXPECT_FALSE(c.StreamError) << c.Name << ": " << e.message().toStdString();
            EXPECT_FALSE(e.message().isEmpty());
        }
        EXPECT_THROW(LoadStampPicture(path), EInvalidGraphic) << c.Name;
    }
}

TEST_F(PictureTest, DamagedFilesLoadOrFailWithOurErrors) {
    // Valid files of every format, then each with a few bytes changed or its end cut off: every load
    // must either succeed or throw one of our errors, and never crash or hang.
    TGifSpec gif;
    gif.ScreenWidth = gif.Width = 9;
    gif.ScreenHeight = gif.Height = 7;
    gif.Palette = {kRed, kGreen, kBlue, kWhite};
    gif.Transparent = 2;
    gif.Interlace = true;
    for (int i = 0; i < 63; ++i)
        gif.Pixels.push_back(uint8_t(i % 4));
    QImage alpha = Sample(6, 5).convertToFormat(QImage::Format_ARGB32);
    alpha.setPixel(0, 0, qRgba(1, 2, 3, 4));
    const std::pair<const char*, QByteArray> seeds[] = {
        {"seed.bmp", BmpFile(InfoHeader(3, 2, 8, 0, 4) + Palette({kRed, kGreen, kBlue, kWhite}),
                             Rows({Bytes({0, 1, 2}), Bytes({3, 0, 1})}))},
        {"seed.bmp", BmpFile(InfoHeader(5, 2, 8, 1, 4) + Palette({kBlack, kRed, kGreen, kBlue}),
                             Bytes({2, 1, 0, 3, 2, 3, 2, 0, 0, 0, 5, 3, 0, 1}))},
        {"seed.bmp", BmpFile(InfoHeader(3, 1, 16, 3) + U32(0xF800) + U32(0x07E0) + U32(0x001F),
                             Rows({QByteArray(6, 'x')}))},
        {"seed.ico", IcoFile({{2, 2, 24, MaskedIconImage()}, {4, 4, 32, AlphaIconImage(4)}})},
        {"seed.gif", GifFile(gif)},
        {"seed.png", QtEncoded(alpha, "PNG")},
        {"seed.jpg", QtEncoded(Sample(20, 12), "JPEG", 75)},
    };
    std::mt19937 random(20260101);
    int loaded = 0, failed = 0;
    for (const auto& [name, seed] : seeds) {
        for (int round = 0; round < 150; ++round) {
            QByteArray data = seed;
            const int changes = 1 + int(random() % 4);
            for (int i = 0; i < changes; ++i)
                data[int(random() % data.size())] = char(random());
            if (round % 5 == 0) data.truncate(int(random() % data.size()));
            const QString path = Write(name, data);
            try {
                const std::unique_ptr<TGraphic> g = LoadStampPicture(path);
                QImage target(8, 8, QImage::Format_RGB32);
                Canvas canvas(target);
                g->SetTransparent(true);
                g->Draw(canvas, -1, -1);
                ++loaded;
            } catch (const Exception&) {
                ++failed;
            }
        }
    }
    // Both outcomes occur: the damage is neither always fatal nor always harmless.
    EXPECT_GT(loaded, 0);
    EXPECT_GT(failed, 0);
}

namespace {

// A JPEG's frame header with another size: the entropy-coded data stays that of the small picture.
QByteArray WithJpegSize(QByteArray jpeg, int width, int height) {
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width);
    return jpeg;
}

// The file with its first scan (header and entropy-coded data) repeated before the end marker.
QByteArray WithFirstScanRepeated(const QByteArray& jpeg, int copies) {
    const qsizetype sos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    qsizetype end = sos + 2 + ((uchar(jpeg[sos + 2]) << 8) | uchar(jpeg[sos + 3]));
    // The data runs to the next marker: 0xFF followed by neither a stuffed zero nor a restart number.
    while (!(uchar(jpeg[end]) == 0xFF && jpeg[end + 1] != 0 && (uchar(jpeg[end + 1]) & 0xF8) != 0xD0))
        ++end;
    const QByteArray scan = jpeg.mid(sos, end - sos);
    return jpeg.left(jpeg.size() - 2) + scan.repeated(copies) + jpeg.right(2);
}

} // namespace

// A header of a few bytes can claim any size. Beyond the stamp limit the picture is refused as too
// large; within it, a file whose data cannot hold the picture fails before the picture is allocated,
// and as a stamp each gives the image error.
TEST_F(PictureTest, TinyFilesNeverCostTheSizeTheirHeaderClaims) {
    constexpr int kSide = 4000; // 64 MiB of pixels, within the limit
    static_assert(qint64(kSide) * kSide <= kMaxPicturePixels && qint64(8192) * 8192 > kMaxPicturePixels);
    TGifSpec tinyFrame;
    tinyFrame.ScreenWidth = tinyFrame.ScreenHeight = 8192;
    tinyFrame.Width = tinyFrame.Height = 1;
    tinyFrame.Palette = {kRed, kBlue};
    tinyFrame.Pixels = {0};
    TGifSpec large;
    large.ScreenWidth = large.ScreenHeight = large.Width = large.Height = kSide;
    large.Palette = {kRed, kBlue};
    large.Pixels.assign(size_t(kSide) * kSide, 1);
    const QByteArray smallJpeg = EncodeJpeg(Sample(8, 8), 80);

    struct Case {
        const char* Name;
        QByteArray Data;
        bool TooLarge; // else the data ends before the picture
    } cases[] = {
        {"screen.gif", GifFile(tinyFrame), true},
        {"cut.gif", GifFile(large).left(60), false},
        {"big.png", PngFile(8192, 8192, 2, false), true},
        {"cut.png", PngFile(kSide, kSide, 2, false).left(80), false},
        {"rows.png", PngFile(kSide, kSide, 2, false), false},
        {"big.jpg", WithJpegSize(smallJpeg, 8192, 8192), true},
        {"cut.jpg", WithJpegSize(smallJpeg, kSide, kSide), false},
        {"big.bmp", BmpFile(InfoHeader(8192, 8192, 8, 1, 2) + Palette({kRed, kBlue}), Bytes({0, 1})), true},
        {"cut.bmp", BmpFile(InfoHeader(kSide, kSide, 8, 1, 2) + Palette({kRed, kBlue}), Bytes({4, 1, 0, 0})),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = Write(c.Name, c.Data);
        const TPeakMemoryGrowth growth;
        TPicture picture;
        try {
            picture.LoadFromFile(path);
            ADD_FAILURE() << "loaded";
        } catch (const EInvalidGraphic& e) {
            EXPECT_TRUE(c.TooLarge) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains("too large")) << e.message().toStdString();
        } catch (const EReadError&) {
            EXPECT_FALSE(c.TooLarge);
        }
        try {
            LoadStampPicture(path);
            ADD_FAILURE() << "stamp loaded";
        } catch (const EInvalidGraphic&) {
        }
        EXPECT_LT(growth.MiB(), 16) << "a file of " << c.Data.size() << " bytes";
    }
}

// Each scan of a progressive JPEG is a pass over every pixel: a file that repeats scans is refused
// once scans times pixels passes what a real file needs, while real progressive files decode.
TEST_F(PictureTest, ProgressiveJpegWorkIsBoundedByScansTimesPixels) {
    const QByteArray real = ProgressiveJpeg(2048);
    const QImage decoded = Load("real.jpg", real);
    EXPECT_EQ(decoded.size(), QSize(2048, 2048));
    EXPECT_EQ(qGray(decoded.pixel(320, 0)), 20);

    const QByteArray repeated = WithFirstScanRepeated(real, 300);
    const TPeakMemoryGrowth growth;
    try {
        Load("repeated.jpg", repeated);
        ADD_FAILURE() << "decoded";
    } catch (const EInvalidGraphic& e) {
        EXPECT_TRUE(e.message().contains("too many scans")) << e.message().toStdString();
    }
    EXPECT_LT(growth.MiB(), 64);
}

// A stamp is decoded once while its file stays the same; a changed file shows its new picture.
TEST_F(PictureTest, StampPicturesAreKeptWhileTheirFileStaysTheSame) {
    ClearStampPictureCache();
    const QString path = Write("stamp.bmp", QtEncoded(Sample(4, 4).copy().scaled(4, 4), "BMP"));
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
    const std::shared_ptr<const TGraphic> first = CachedStampPicture(path, false);
    EXPECT_EQ(CachedStampPicture(path, false), first) << "read once";

    // The same size and modification time: taken as the same file.
    QImage other(4, 4, QImage::Format_RGB32);
    other.fill(kRed);
    Write("stamp.bmp", QtEncoded(other, "BMP"));
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    EXPECT_EQ(CachedStampPicture(path, false), first);

    const struct timespec later[2] = {before.st_atim, {before.st_mtim.tv_sec + 1, before.st_mtim.tv_nsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), later, 0), 0);
    const std::shared_ptr<const TGraphic> changed = CachedStampPicture(path, false);
    EXPECT_NE(changed, first);
    EXPECT_EQ(changed->ToImage().pixel(0, 0), kRed);
    EXPECT_NE(CachedStampPicture(path, true), changed) << "the transparency is part of the picture";

    ASSERT_TRUE(QFile::remove(path));
    EXPECT_THROW(CachedStampPicture(path, false), EFOpenError);
}

// A FIFO (or any file that is not a regular one) named as a picture is refused at once: opening it
// would wait for a writer for ever.
TEST_F(PictureTest, APictureThatIsNoRegularFileIsRefusedAtOnce) {
    const QString path = Dir.filePath("fifo.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const QString device = Dir.filePath("zero.bmp");
    ASSERT_TRUE(QFile::link("/dev/zero", device));
    for (const QString& name : {path, device}) {
        try {
            LoadStampPicture(name);
            ADD_FAILURE() << "loaded";
        } catch (const EFOpenError& e) {
            EXPECT_TRUE(e.message().contains("Not a regular file")) << e.message().toStdString();
        }
    }
}
