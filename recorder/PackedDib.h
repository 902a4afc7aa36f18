#pragma once

#include "platform/BitmapInfoHeader.h"

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <memory>

// A packed bitmap block: one contiguous buffer holding the bitmap-info header, the colour table
// (2^bits entries at 8 bits per pixel or fewer, none above) and the pixel rows, bottom-up, each padded
// to whole 32-bit words. This is the form in which both programs hand a frame to the AVI file
// service: the format is the first FormatSize() bytes, the frame the BitsSize() bytes at Bits().
// The block owns its buffer; an empty block (none) owns nothing.
class TPackedDib {
public:
    TPackedDib() = default;
    TPackedDib(TPackedDib&&) noexcept = default;
    TPackedDib& operator=(TPackedDib&&) noexcept = default;

    explicit operator bool() const { return Block != nullptr; }

    // The rest needs a block that is not none.
    const TBitmapInfoHeader& Header() const {
        return *reinterpret_cast<const TBitmapInfoHeader*>(Block.get());
    }
    // The whole block, from the header on.
    const std::uint8_t* Data() const { return Block.get(); }
    std::size_t Size() const { return BlockSize; }
    // Header and colour table: biSize + biClrUsed * 4 bytes.
    std::size_t FormatSize() const {
        return Header().biSize + std::size_t(Header().biClrUsed) * DibColorEntrySize;
    }
    const std::uint8_t* Bits() const { return Block.get() + FormatSize(); }
    std::uint8_t* Bits() { return Block.get() + FormatSize(); }
    std::size_t BitsSize() const { return Header().biSizeImage; }

private:
    friend TPackedDib MakeDIB(const QImage& bitmap, int bits, TPackedDib reuse);
    friend void FreeDIB(TPackedDib& block);

    std::unique_ptr<std::uint8_t[]> Block;
    std::size_t BlockSize = 0;
};

// The block of bitmap at bits per pixel (1, 4, 8, 16, 24 or 32; the screen's depth in the programs).
// At 32 bits the unused top byte is 0xFF; at 16 bits the pixels are 5-5-5; at 8, 4 and 1 bits each
// takes the nearest colour of a fixed table (a 6 x 6 x 6 colour cube and 40 greys; the 16 standard
// colours; black and white), so every block of a stream shares one colour table. None when the
// memory cannot be had, for a null bitmap and for any other depth.
// A block given as reuse whose size is the one needed lends its memory to the new block: a recording
// makes one block per frame, and fresh memory of a frame's size costs a page fault for every 4 KiB of
// it (a 1080p frame about 2,000, seen to cost more than the encoder on a virtual machine).
TPackedDib MakeDIB(const QImage& bitmap, int bits, TPackedDib reuse);
inline TPackedDib MakeDIB(const QImage& bitmap, int bits) {
    return MakeDIB(bitmap, bits, TPackedDib());
}

// Frees the block and leaves none; a block that is none already is left alone.
void FreeDIB(TPackedDib& block);
