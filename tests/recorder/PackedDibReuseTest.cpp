#include "recorder/PackedDib.h"

#include <QImage>
#include <cstring>
#include <gtest/gtest.h>

namespace {

QImage Picture(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           qRgb((x * 31 + seed) & 0xFF, (y * 17 + seed * 3) & 0xFF, (x * y + seed) & 0xFF));
    return image;
}

bool SameBytes(const TPackedDib& a, const TPackedDib& b) {
    return a.Size() == b.Size() && std::memcmp(a.Data(), b.Data(), a.Size()) == 0;
}

} // namespace

// A recording hands each frame's block back for the next frame to fill: what was in it must never
// show through, at any depth (the sub-byte depths put their pixels together bit by bit).
TEST(PackedDibReuse, AReusedBlockHoldsTheNewPictureAlone) {
    for (int bits : {32, 24, 16, 8, 4, 1}) {
        const QImage now = Picture(13, 7, 1);
        TPackedDib old = MakeDIB(Picture(13, 7, 99), bits);
        ASSERT_TRUE(old) << bits;
        std::memset(const_cast<std::uint8_t*>(old.Bits()), 0xFF, old.BitsSize());
        const std::uint8_t* memory = old.Data();
        const TPackedDib reused = MakeDIB(now, bits, std::move(old));
        EXPECT_FALSE(old) << "the block given is taken";
        EXPECT_EQ(reused.Data(), memory) << "same memory at " << bits << " bits";
        EXPECT_TRUE(SameBytes(reused, MakeDIB(now, bits))) << bits << " bits";
    }
}

TEST(PackedDibReuse, ABlockOfAnotherSizeIsNotUsed) {
    const QImage now = Picture(8, 8, 5);
    TPackedDib smaller = MakeDIB(Picture(4, 8, 5), 32);
    const TPackedDib made = MakeDIB(now, 32, std::move(smaller));
    EXPECT_TRUE(SameBytes(made, MakeDIB(now, 32)));
    EXPECT_EQ(made.Header().biWidth, 8);
    TPackedDib otherDepth = MakeDIB(now, 24);
    EXPECT_TRUE(SameBytes(MakeDIB(now, 32, std::move(otherDepth)), MakeDIB(now, 32)));
}
