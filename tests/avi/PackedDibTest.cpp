#include "recorder/PackedDib.h"

#include <QImage>
#include <cstring>
#include <gmock/gmock.h>

namespace {

std::uint32_t TableEntry(const TPackedDib& b, int i) {
    std::uint32_t v;
    std::memcpy(&v, b.Data() + 40 + 4 * i, 4);
    return v;
}

const std::uint8_t* Row(const TPackedDib& b, int rowFromBottom) {
    return b.Bits() +
           std::size_t(rowFromBottom) * std::size_t(DibRowBytes(b.Header().biBitCount, b.Header().biWidth));
}

TEST(PackedDib, LayoutAtEachDepth) {
    struct Case {
        int bits, width, height;
        int rowBytes;
        std::uint32_t colors;
    } cases[] = {
        {24, 1, 2, 4, 0},  {32, 3, 2, 12, 0}, {16, 3, 1, 8, 0},       {16, 2, 1, 4, 0}, {24, 4, 3, 12, 0},
        {8, 1, 1, 4, 256}, {8, 5, 2, 8, 256}, {4, 3, 2, 4, 16},       {4, 9, 1, 8, 16}, {1, 1, 1, 4, 2},
        {1, 33, 2, 8, 2},  {32, 1, 1, 4, 0},  {24, 1366, 1, 4100, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bits << " bits, " << c.width << " x " << c.height);
        QImage picture(c.width, c.height, QImage::Format_RGB32);
        picture.fill(Qt::white);
        const TPackedDib b = MakeDIB(picture, c.bits);
        ASSERT_TRUE(b);
        const TBitmapInfoHeader& h = b.Header();
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, c.width);
        EXPECT_EQ(h.biHeight, c.height);
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, c.bits);
        EXPECT_EQ(h.biCompression, BI_RGB);
        EXPECT_EQ(h.biSizeImage, std::uint32_t(c.rowBytes * c.height));
        EXPECT_EQ(h.biXPelsPerMeter, 0);
        EXPECT_EQ(h.biYPelsPerMeter, 0);
        EXPECT_EQ(h.biClrUsed, c.colors);
        EXPECT_EQ(h.biClrImportant, 0u);
        EXPECT_EQ(b.FormatSize(), 40u + 4u * c.colors);
        EXPECT_EQ(b.Size(), b.FormatSize() + std::size_t(c.rowBytes * c.height));
        EXPECT_EQ(b.Bits(), b.Data() + b.FormatSize());
        EXPECT_EQ(b.BitsSize(), std::size_t(c.rowBytes * c.height));
    }
}

TEST(PackedDib, RowsRunBottomUpWithZeroPadding) {
    QImage picture(1, 2, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(10, 20, 30)); // top
    picture.setPixel(0, 1, qRgb(40, 50, 60)); // bottom
    const TPackedDib b24 = MakeDIB(picture, 24);
    ASSERT_TRUE(b24);
    const std::uint8_t expected24[8] = {60, 50, 40, 0, 30, 20, 10, 0};
    EXPECT_EQ(std::memcmp(b24.Bits(), expected24, 8), 0);

    const TPackedDib b32 = MakeDIB(picture, 32);
    ASSERT_TRUE(b32);
    const std::uint8_t expected32[8] = {60, 50, 40, 0xFF, 30, 20, 10, 0xFF};
    EXPECT_EQ(std::memcmp(b32.Bits(), expected32, 8), 0);
    // A grab may leave the unused byte 0; the block still says opaque.
    std::uint32_t grabbed[2] = {0x000A141E, 0x0028323C};
    const TPackedDib fromGrab =
        MakeDIB(QImage(reinterpret_cast<uchar*>(grabbed), 1, 2, 4, QImage::Format_RGB32), 32);
    ASSERT_TRUE(fromGrab);
    EXPECT_EQ(std::memcmp(fromGrab.Bits(), expected32, 8), 0);

    const TPackedDib b16 = MakeDIB(picture, 16);
    ASSERT_TRUE(b16);
    const std::uint16_t bottom = (40 >> 3) << 10 | (50 >> 3) << 5 | 60 >> 3;
    const std::uint16_t top = (10 >> 3) << 10 | (20 >> 3) << 5 | 30 >> 3;
    const std::uint8_t expected16[8] = {std::uint8_t(bottom), std::uint8_t(bottom >> 8), 0, 0,
                                        std::uint8_t(top),    std::uint8_t(top >> 8),    0, 0};
    EXPECT_EQ(std::memcmp(b16.Bits(), expected16, 8), 0);
}

TEST(PackedDib, PalettedDepthsTakeTheNearestColourOfAFixedTable) {
    QImage picture(9, 1, QImage::Format_RGB32);
    const QRgb colours[9] = {qRgb(255, 0, 0),     qRgb(0, 0, 0),       qRgb(255, 255, 255),
                             qRgb(128, 128, 128), qRgb(0, 0, 255),     qRgb(250, 10, 5),
                             qRgb(51, 102, 153),  qRgb(120, 120, 120), qRgb(0, 128, 0)};
    for (int x = 0; x < 9; ++x)
        picture.setPixel(x, 0, colours[x]);

    const TPackedDib b8 = MakeDIB(picture, 8);
    ASSERT_TRUE(b8);
    auto colour8 = [&](int x) { return TableEntry(b8, Row(b8, 0)[x]) | 0xFF000000u; };
    EXPECT_EQ(colour8(0), qRgb(255, 0, 0));
    EXPECT_EQ(colour8(1), qRgb(0, 0, 0));
    EXPECT_EQ(colour8(2), qRgb(255, 255, 255));
    EXPECT_EQ(colour8(5), qRgb(255, 0, 0));
    EXPECT_EQ(colour8(6), qRgb(51, 102, 153));
    // Greys between the cube's steps find a grey of the ramp, not a cube step 25 away.
    EXPECT_LE(std::abs(qRed(colour8(3)) - 128), 3);
    EXPECT_EQ(qRed(colour8(3)), qGreen(colour8(3)));
    EXPECT_LE(std::abs(qRed(colour8(7)) - 120), 3);
    // Every block carries the same table, so every frame of a stream reads with the first's format.
    QImage other(2, 2, QImage::Format_RGB32);
    other.fill(qRgb(1, 2, 3));
    const TPackedDib again = MakeDIB(other, 8);
    EXPECT_EQ(std::memcmp(again.Data() + 40, b8.Data() + 40, 1024), 0);

    const TPackedDib b4 = MakeDIB(picture, 4);
    ASSERT_TRUE(b4);
    const std::uint8_t* row4 = Row(b4, 0);
    auto index4 = [&](int x) { return x % 2 ? row4[x / 2] & 0x0F : row4[x / 2] >> 4; };
    EXPECT_EQ(index4(0), 9);  // red
    EXPECT_EQ(index4(1), 0);  // black
    EXPECT_EQ(index4(2), 15); // white
    EXPECT_EQ(index4(3), 8);  // grey
    EXPECT_EQ(index4(4), 12); // blue
    EXPECT_EQ(index4(8), 2);  // green
    EXPECT_EQ(TableEntry(b4, 9), 0x00FF0000u);
    EXPECT_EQ(TableEntry(b4, 7), 0x00C0C0C0u);
    EXPECT_EQ(row4[4] & 0x0F, 0); // the half byte after the last pixel
    EXPECT_EQ(row4[5], 0);

    const TPackedDib b1 = MakeDIB(picture, 1);
    ASSERT_TRUE(b1);
    // Most significant bit first: red 0, black 0, white 1, grey 128 1 (nearer white than black), blue 0,
    // red 0, 51/102/153 0, grey 120 0, then green 0.
    EXPECT_EQ(Row(b1, 0)[0], 0x30);
    EXPECT_EQ(Row(b1, 0)[1], 0x00);
    EXPECT_EQ(TableEntry(b1, 0), 0x000000u);
    EXPECT_EQ(TableEntry(b1, 1), 0xFFFFFFu);
}

TEST(PackedDib, OtherImageFormatsAreConverted) {
    QImage picture(2, 1, QImage::Format_ARGB32_Premultiplied);
    picture.setPixel(0, 0, qRgba(200, 100, 50, 255));
    picture.setPixel(1, 0, qRgba(0, 0, 0, 255));
    const TPackedDib b = MakeDIB(picture, 24);
    ASSERT_TRUE(b);
    const std::uint8_t expected[8] = {50, 100, 200, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(b.Bits(), expected, 8), 0);
}

TEST(PackedDib, NoneForNullPicturesAndOtherDepths) {
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.fill(Qt::red);
    for (int bits : {0, 2, 15, 48, -8})
        EXPECT_FALSE(MakeDIB(picture, bits)) << bits;
    EXPECT_FALSE(MakeDIB(QImage(), 32));
}

TEST(PackedDib, FreeLeavesNone) {
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    TPackedDib b = MakeDIB(picture, 32);
    ASSERT_TRUE(b);
    FreeDIB(b);
    EXPECT_FALSE(b);
    EXPECT_EQ(b.Size(), 0u);
    FreeDIB(b);
    EXPECT_FALSE(b);

    TPackedDib moved = MakeDIB(picture, 32);
    TPackedDib target = std::move(moved);
    EXPECT_TRUE(target);
    EXPECT_FALSE(moved);
}

} // namespace
