#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>

// Decodes 16-bit Microsoft Video 1 frames straight into a 32-bit picture, as FFmpeg's msvideo1 decoder
// and the levels (v << 3) | (v >> 2) of its RGB555 pictures show them. The picture is the decoder's
// state: a predicted frame changes only the blocks it codes, so reading a recording on costs what
// changed, and no picture is converted. Sizes must be whole 4 x 4 blocks.
class Msvc1Decoder {
public:
    // True when a picture of width x height can be decoded here.
    static bool Takes(int width, int height, int bitCount);

    // Decodes one frame into picture (RGB32 of the stream's size, which it is made when it is not:
    // black then, as a decoder starts). False for a packet that cannot be a frame; data that end
    // early leave the blocks after them as they were.
    static bool Decode(const std::uint8_t* data, std::size_t size, QImage& picture, int width, int height);
};
