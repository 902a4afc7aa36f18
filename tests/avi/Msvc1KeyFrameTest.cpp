#include "platform/Msvc1KeyFrame.h"
#include "platform/Msvc1Encoder.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

const std::vector<std::uint8_t>& Encode(Msvc1Encoder& encoder, const QImage& picture, bool& key) {
    return encoder.Encode(picture.constBits(), picture.bytesPerLine(), key);
}

// Our encoder's key frames code every block; its other frames skip the unchanged ones. A frame whose
// data end early leaves its last blocks to the picture before.
TEST(Msvc1KeyFrame, KeyFramesAreSelfContainedAndPredictedOnesAreNot) {
    QImage picture(40, 24, QImage::Format_RGB32);
    picture.fill(qRgb(200, 30, 90));
    Msvc1Encoder encoder(40, 24, 6550, 3);
    bool key = false;
    const std::vector<std::uint8_t> first = Encode(encoder, picture, key);
    ASSERT_TRUE(key);
    EXPECT_TRUE(IsSelfContainedMsvc1Frame(first.data(), first.size(), 40, 24, 16));
    EXPECT_FALSE(IsSelfContainedMsvc1Frame(first.data(), first.size() - 3, 40, 24, 16));
    EXPECT_FALSE(IsSelfContainedMsvc1Frame(first.data(), first.size(), 40, 24, 8));
    EXPECT_FALSE(IsSelfContainedMsvc1Frame(nullptr, 0, 40, 24, 16));

    for (int x = 0; x < 8; ++x)
        picture.setPixel(x, 0, qRgb(0, 0, 0)); // two blocks change, the rest are skipped
    const std::vector<std::uint8_t> second = Encode(encoder, picture, key);
    ASSERT_FALSE(key);
    EXPECT_FALSE(IsSelfContainedMsvc1Frame(second.data(), second.size(), 40, 24, 16));
    Encode(encoder, picture, key);
    const std::vector<std::uint8_t> third = Encode(encoder, picture, key);
    ASSERT_TRUE(key); // the interval's next key frame, of an unchanged picture: still every block
    EXPECT_TRUE(IsSelfContainedMsvc1Frame(third.data(), third.size(), 40, 24, 16));
}

} // namespace
