#include "recorder/PackedDib.h"

#include "platform/OpaquePixels.h"

#include <array>
#include <cstring>
#include <limits>
#include <new>

namespace {

using TColorTable = std::array<std::uint32_t, 256>; // entries 0x00RRGGBB: blue, green, red, 0 in memory

constexpr int CubeLevels = 6; // 6 x 6 x 6 = 216 colours, steps of 51
constexpr int CubeStep = 51;
constexpr int CubeSize = CubeLevels * CubeLevels * CubeLevels;
constexpr int GreyCount = 256 - CubeSize; // the 40 entries left fill in greys between the cube's six

constexpr std::uint32_t Rgb(int r, int g, int b) {
    return std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b);
}

constexpr int GreyLevel(int i) {
    return ((i + 1) * 255 + 20) / 41; // 41 equal steps from black to white, ends left out
}

constexpr TColorTable MakeTable8() {
    TColorTable t{};
    for (int r = 0; r < CubeLevels; ++r)
        for (int g = 0; g < CubeLevels; ++g)
            for (int b = 0; b < CubeLevels; ++b)
                t[(r * CubeLevels + g) * CubeLevels + b] = Rgb(r * CubeStep, g * CubeStep, b * CubeStep);
    for (int i = 0; i < GreyCount; ++i)
        t[CubeSize + i] = Rgb(GreyLevel(i), GreyLevel(i), GreyLevel(i));
    return t;
}

// The standard 16 colours, in the order of the classic 4-bit table.
constexpr std::array<std::uint32_t, 16> Table4 = {
    Rgb(0, 0, 0),       Rgb(128, 0, 0),   Rgb(0, 128, 0),   Rgb(128, 128, 0),
    Rgb(0, 0, 128),     Rgb(128, 0, 128), Rgb(0, 128, 128), Rgb(192, 192, 192),
    Rgb(128, 128, 128), Rgb(255, 0, 0),   Rgb(0, 255, 0),   Rgb(255, 255, 0),
    Rgb(0, 0, 255),     Rgb(255, 0, 255), Rgb(0, 255, 255), Rgb(255, 255, 255),
};
constexpr TColorTable Table8 = MakeTable8();

inline int Red(std::uint32_t p) {
    return (p >> 16) & 0xFF;
}
inline int Green(std::uint32_t p) {
    return (p >> 8) & 0xFF;
}
inline int Blue(std::uint32_t p) {
    return p & 0xFF;
}

inline int Distance(std::uint32_t a, std::uint32_t b) {
    const int dr = Red(a) - Red(b), dg = Green(a) - Green(b), db = Blue(a) - Blue(b);
    return dr * dr + dg * dg + db * db;
}

// Nearest of the 8-bit table: the cube's nearest point (each channel rounded on its own) against
// the grey ramp's nearest level to the pixel's mean.
std::uint8_t Index8(std::uint32_t p) {
    auto level = [](int v) { return (v + CubeStep / 2) / CubeStep; };
    const int cube = (level(Red(p)) * CubeLevels + level(Green(p))) * CubeLevels + level(Blue(p));
    int best = cube;
    int bestDistance = Distance(p, Table8[cube]);
    const int mean = (Red(p) + Green(p) + Blue(p) + 1) / 3;
    const int near = (mean * 41 + 127) / 255 - 1;
    for (int i = near - 1; i <= near + 1; ++i) {
        if (i < 0 || i >= GreyCount) continue;
        const int d = Distance(p, Table8[CubeSize + i]);
        if (d < bestDistance) {
            best = CubeSize + i;
            bestDistance = d;
        }
    }
    return static_cast<std::uint8_t>(best);
}

std::uint8_t Index4(std::uint32_t p) {
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (int i = 0; i < int(Table4.size()); ++i) {
        const int d = Distance(p, Table4[i]);
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return static_cast<std::uint8_t>(best);
}

// White (entry 1) when the pixel is nearer to white than to black.
std::uint8_t Index1(std::uint32_t p) {
    return Red(p) + Green(p) + Blue(p) > 382 ? 1 : 0;
}

// One image row into one block row; the row's padding bytes are zeroed by the caller.
void ConvertRow(const std::uint32_t* src, std::uint8_t* dst, int width, int bits) {
    switch (bits) {
    case 32: {
        // The unused top byte is set to 0xFF whatever the source held (a screen grab may leave it 0):
        // readers that take 32-bit rows as having alpha (FFmpeg does) would otherwise show the frame
        // transparent.
        CopyOpaque(src, dst, std::size_t(width));
        break;
    }
    case 24:
        for (int x = 0; x < width; ++x) {
            dst[3 * x] = static_cast<std::uint8_t>(Blue(src[x]));
            dst[3 * x + 1] = static_cast<std::uint8_t>(Green(src[x]));
            dst[3 * x + 2] = static_cast<std::uint8_t>(Red(src[x]));
        }
        break;
    case 16:
        for (int x = 0; x < width; ++x) {
            const std::uint16_t v = static_cast<std::uint16_t>((Red(src[x]) >> 3) << 10 |
                                                               (Green(src[x]) >> 3) << 5 | Blue(src[x]) >> 3);
            dst[2 * x] = static_cast<std::uint8_t>(v);
            dst[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
        }
        break;
    case 8:
        for (int x = 0; x < width; ++x)
            dst[x] = Index8(src[x]);
        break;
    case 4:
        for (int x = 0; x < width; ++x)
            dst[x / 2] |= static_cast<std::uint8_t>(Index4(src[x]) << (x % 2 ? 0 : 4));
        break;
    case 1:
        for (int x = 0; x < width; ++x)
            dst[x / 8] |= static_cast<std::uint8_t>(Index1(src[x]) << (7 - x % 8));
        break;
    }
}

bool IsSupportedDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

} // namespace

TPackedDib MakeDIB(const QImage& bitmap, int bits, TPackedDib reuse) {
    if (bitmap.isNull() || !IsSupportedDepth(bits)) return {};
    const int width = bitmap.width();
    const int height = bitmap.height();
    const std::int64_t rowBytes = DibRowBytes(bits, width);
    const std::uint32_t colors = bits <= 8 ? 1u << bits : 0;
    const std::int64_t imageSize = rowBytes * height;
    const std::int64_t formatSize = std::int64_t(sizeof(TBitmapInfoHeader)) + colors * DibColorEntrySize;
    // biSizeImage is a 32-bit field.
    if (imageSize > std::numeric_limits<std::uint32_t>::max()) return {};

    const QImage source =
        bitmap.format() == QImage::Format_RGB32 ? bitmap : bitmap.convertToFormat(QImage::Format_RGB32);
    if (source.isNull()) return {};

    TPackedDib block;
    block.BlockSize = std::size_t(formatSize + imageSize);
    if (reuse && reuse.BlockSize == block.BlockSize)
        block.Block = std::move(reuse.Block);
    else
        block.Block.reset(new (std::nothrow) std::uint8_t[block.BlockSize]);
    if (!block.Block) return {};

    auto* header = new (block.Block.get()) TBitmapInfoHeader{};
    header->biSize = sizeof(TBitmapInfoHeader);
    header->biWidth = width;
    header->biHeight = height; // positive: bottom-up
    header->biPlanes = 1;
    header->biBitCount = static_cast<std::uint16_t>(bits);
    header->biCompression = BI_RGB;
    header->biSizeImage = static_cast<std::uint32_t>(imageSize);
    header->biClrUsed = colors;

    std::uint8_t* table = block.Block.get() + sizeof(TBitmapInfoHeader);
    if (bits == 8) std::memcpy(table, Table8.data(), 256 * DibColorEntrySize);
    if (bits == 4) std::memcpy(table, Table4.data(), 16 * DibColorEntrySize);
    if (bits == 1) {
        const std::uint32_t blackWhite[2] = {Rgb(0, 0, 0), Rgb(255, 255, 255)};
        std::memcpy(table, blackWhite, sizeof blackWhite);
    }

    std::uint8_t* rows = block.Block.get() + formatSize;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = rows + std::size_t(y) * std::size_t(rowBytes);
        // Sub-byte depths OR their pixels in; every depth leaves its padding at zero.
        const std::size_t used = bits < 8 ? 0 : std::size_t(width) * std::size_t(bits / 8);
        std::memset(row + used, 0, std::size_t(rowBytes) - used);
        ConvertRow(reinterpret_cast<const std::uint32_t*>(source.constScanLine(height - 1 - y)), row, width,
                   bits);
    }
    return block;
}

void FreeDIB(TPackedDib& block) {
    block.Block.reset();
    block.BlockSize = 0;
}
