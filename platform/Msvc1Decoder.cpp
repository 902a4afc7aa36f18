#include "platform/Msvc1Decoder.h"

#include <cstring>

namespace {

constexpr std::uint8_t SkipMask = 0xFC;
constexpr std::uint8_t SkipCode = 0x84;
constexpr std::uint8_t TwoColourLimit = 0x80;
constexpr std::uint16_t EightColour = 0x8000;
constexpr std::uint32_t OpaqueAlpha = 0xFF000000u;
// A packet below one byte for every 512 blocks is refused, as FFmpeg refuses it.
constexpr std::size_t BlocksPerByte = 512;

inline std::uint32_t Expand(std::uint16_t v) {
    const std::uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
    return OpaqueAlpha | ((r << 3 | r >> 2) << 16) | ((g << 3 | g >> 2) << 8) | (b << 3 | b >> 2);
}

inline std::uint16_t Read16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}

} // namespace

bool Msvc1Decoder::Takes(int width, int height, int bitCount) {
    return bitCount == 16 && width > 0 && height > 0 && width % 4 == 0 && height % 4 == 0;
}

bool Msvc1Decoder::Decode(const std::uint8_t* data, std::size_t size, QImage& picture, int width,
                          int height) {
    if (!Takes(width, height, 16) || !data) return false;
    const std::size_t blocksWide = std::size_t(width / 4), blocksHigh = std::size_t(height / 4);
    if (size < blocksWide * blocksHigh / BlocksPerByte) return false;
    if (picture.width() != width || picture.height() != height || picture.format() != QImage::Format_RGB32) {
        picture = QImage(width, height, QImage::Format_RGB32);
        if (picture.isNull()) return false;
        picture.fill(OpaqueAlpha);
    }
    std::uint8_t* bits = picture.bits(); // a picture shared with a caller's copy is copied here first
    const std::ptrdiff_t stride = picture.bytesPerLine();
    std::size_t at = 0;
    std::size_t skip = 0;
    // Blocks run bottom-up, and so do the rows inside a block: the block's rows from its bottom one up.
    for (std::size_t by = blocksHigh; by-- > 0;) {
        std::uint32_t* rows[4];
        for (int y = 0; y < 4; ++y)
            rows[y] = reinterpret_cast<std::uint32_t*>(bits + std::ptrdiff_t(by * 4 + 3 - y) * stride);
        for (std::size_t bx = 0; bx < blocksWide; ++bx) {
            if (skip > 0) {
                --skip;
                continue;
            }
            if (size - at < 2) return true; // the rest keep the picture before
            const std::uint8_t a = data[at], b = data[at + 1];
            at += 2;
            const std::size_t x0 = bx * 4;
            if ((b & SkipMask) == SkipCode) {
                // This block is the first of the run; a run of 0 leaves the rest of the frame.
                skip = (std::size_t(b - SkipCode) << 8) + a;
                if (skip == 0) return true;
                --skip;
            } else if (b >= TwoColourLimit) {
                const std::uint32_t c = Expand(std::uint16_t(b << 8 | a));
                for (int y = 0; y < 4; ++y)
                    for (int x = 0; x < 4; ++x)
                        rows[y][x0 + x] = c;
            } else {
                // Each mask bit, from the bottom row's left pixel on: 1 picks the first colour.
                const unsigned flags = unsigned(b) << 8 | a;
                if (size - at < 4) return true;
                const std::uint16_t first = Read16(data + at);
                std::uint32_t colours[8];
                colours[0] = Expand(first);
                colours[1] = Expand(Read16(data + at + 2));
                at += 4;
                if (!(first & EightColour)) {
                    for (int y = 0; y < 4; ++y)
                        for (int x = 0; x < 4; ++x)
                            rows[y][x0 + x] = (flags >> (y * 4 + x)) & 1 ? colours[0] : colours[1];
                    continue;
                }
                // Eight colours: a pair for each 2 x 2 quarter.
                if (size - at < 12) return true;
                for (int i = 2; i < 8; ++i, at += 2)
                    colours[i] = Expand(Read16(data + at));
                for (int y = 0; y < 4; ++y)
                    for (int x = 0; x < 4; ++x)
                        rows[y][x0 + x] =
                            colours[((y & 2) << 1) + (x & 2) + (((flags >> (y * 4 + x)) & 1) ^ 1)];
            }
        }
    }
    return true;
}
