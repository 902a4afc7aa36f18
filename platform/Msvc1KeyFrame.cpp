#include "platform/Msvc1KeyFrame.h"

namespace {

// The second byte of a block's code word: a skip, and from where the 8-bit stream's eight-colour
// blocks start. Below 0x80 a block has two colours (or eight, in the 16-bit stream, as its first
// colour says); the rest are one colour.
constexpr std::uint8_t SkipMask = 0xFC;
constexpr std::uint8_t SkipCode = 0x84;
constexpr std::uint8_t TwoColourLimit = 0x80;
constexpr std::uint8_t EightColour8Bit = 0x90;
constexpr std::uint16_t EightColour16Bit = 0x8000;

} // namespace

bool IsSelfContainedMsvc1Frame(const std::uint8_t* data, std::size_t size, int width, int height,
                               int bitCount) {
    if (!data || width <= 0 || height <= 0 || (bitCount != 8 && bitCount != 16)) return false;
    // Whole blocks only, as the decoders read them.
    const std::size_t blocks = std::size_t(width / 4) * std::size_t(height / 4);
    std::size_t at = 0;
    for (std::size_t block = 0; block < blocks; ++block) {
        if (size - at < 2) return false; // the blocks left keep the picture before
        const std::uint8_t b = data[at + 1];
        at += 2;
        if ((b & SkipMask) == SkipCode) return false;
        std::size_t more = 0;
        if (bitCount == 16) {
            if (b < TwoColourLimit) {
                more = 4;
                if (size - at >= 2 && (data[at] | data[at + 1] << 8) & EightColour16Bit) more += 12;
            }
        } else {
            more = b < TwoColourLimit ? 2 : b >= EightColour8Bit ? 8 : 0;
        }
        if (size - at < more) return false;
        at += more;
    }
    return true;
}
