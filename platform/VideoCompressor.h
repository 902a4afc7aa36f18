#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// One compressor session for frames of one size, as a compressed AVI stream drives it: 32-bit
// pixels (blue, green, red, unused) in, one packet per frame out, with the compressor deciding
// which frames are key frames.
class TVideoCompressor {
public:
    virtual ~TVideoCompressor() = default;

    // The code stored as the stream's compression (e.g. "MSVC") and the depth of the pictures its
    // packets decode to (16 for Microsoft Video 1). Depths of 8 bits or fewer, which would need a
    // colour table, are not taken by the compressed stream.
    virtual std::uint32_t FourCC() const = 0;
    virtual int BitCount() const = 0;
    // The frame size the stream declares: the picture's size, rounded up to what the codec's blocks
    // need, so that a decoder loses no edge.
    virtual int PaddedWidth() const = 0;
    virtual int PaddedHeight() const = 0;

    // Compresses one picture of the session's size. topRow is its top row and stride the distance
    // from one row to the next below it (negative for bottom-up rows). The packet stays valid until
    // the next call; an empty packet or an exception is a compressor failure.
    virtual const std::vector<std::uint8_t>& Encode(const std::uint8_t* topRow, std::ptrdiff_t stride,
                                                    bool& isKeyFrame) = 0;

    // Makes the next picture a key frame: the last packet never reached the file, so a frame predicted
    // from its picture would decode against one the file does not have.
    virtual void ForceKeyFrame() = 0;
};

// What the compressed stream asks of its compressor, as the programs set it.
struct TCompressOptions {
    std::uint32_t Handler = 0; // four-character code of the compressor, e.g. "MSVC"
    int KeyFrameEvery = 0;     // key frame interval, in frames
    int Quality = 0;           // compressor quality, 0 to 10000
};

// Makes the compressor for pictures of width x height, or none when no compressor answers to
// options.Handler.
using TVideoCompressorFactory =
    std::function<std::unique_ptr<TVideoCompressor>(int width, int height, const TCompressOptions& options)>;
