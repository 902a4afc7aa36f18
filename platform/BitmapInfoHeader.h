#pragma once

#include <bit>
#include <cstdint>

// The 40-byte bitmap-info header that opens a packed device-independent bitmap and the video format
// of an AVI stream. Its fields are stored little-endian in files, so the struct is written and read
// as it stands only on a little-endian machine.
static_assert(std::endian::native == std::endian::little, "bitmap headers are stored little-endian");

struct TBitmapInfoHeader {
    std::uint32_t biSize = 0;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0; // positive: rows run bottom-up
    std::uint16_t biPlanes = 0;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0; // BI_RGB or a four-character code
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
static_assert(sizeof(TBitmapInfoHeader) == 40);

// Uncompressed pixel rows.
inline constexpr std::uint32_t BI_RGB = 0;
// Bytes of one colour-table entry (blue, green, red, unused).
inline constexpr std::uint32_t DibColorEntrySize = 4;

// A four-character code as it is stored: the first character in the lowest byte.
constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b) << 8 |
           static_cast<std::uint8_t>(c) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24;
}

// Bytes of one pixel row: its bit count rounded up to whole 32-bit words. Computed in 64 bits so that
// no width overflows it.
constexpr std::int64_t DibRowBytes(int bitsPerPixel, int width) {
    return ((static_cast<std::int64_t>(bitsPerPixel) * width + 31) >> 5) << 2;
}
