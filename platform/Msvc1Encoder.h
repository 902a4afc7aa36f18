#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Our encoder of Microsoft Video 1 ("MSVC", FFmpeg's msvideo1) in its 16-bit (RGB555) form.
//
// The picture is cut into 4 x 4 blocks, each coded as a skip (predicted frames only), one colour, two
// colours with a 16-bit mask, or two colours for each 2 x 2 quarter. Every block takes the mode with the
// lowest error + lambda * bytes, lambda following the quality, so the quality trades size for fidelity
// without a rate loop. The encoder keeps the picture exactly as the decoder will show it: skips are
// judged against that picture, so errors of skipped blocks never pile up over a long run. Errors are
// measured against the levels as readers show them, (v << 3) | (v >> 2); the fourth byte of a source
// pixel is ignored. Blocks unchanged since the last frame cost a compare, and a key frame sends such
// blocks' earlier codes again. About 190 bytes of state per block: 25 MB at 1920 x 1080.
class Msvc1Encoder {
public:
    // width/height of the source picture; the stream is declared at the size padded up to multiples of 4,
    // the padding filled by repeating the edge pixels, so no screen pixel is lost. quality runs from 0
    // (smallest) to 10000 (closest to the source); keyFramesEvery 0 (or less) makes only the first frame
    // a key frame. Throws std::invalid_argument for a size of 0 or less, or one too large to code, and
    // std::bad_alloc when the memory is short; Encode itself allocates nothing and never throws.
    Msvc1Encoder(int width, int height, int quality /*0..10000*/, int keyFramesEvery /*0: only the first*/);
    ~Msvc1Encoder();
    Msvc1Encoder(const Msvc1Encoder&) = delete;
    Msvc1Encoder& operator=(const Msvc1Encoder&) = delete;

    int PaddedWidth() const { return PaddedW; }
    int PaddedHeight() const { return PaddedH; }

    // One frame of 32-bit BGRX pixels (QImage::Format_RGB32 memory layout, i.e. a 32-bit DIB row):
    // `topRow` points at the top row, `stride` is the byte step to the next row down (negative for a
    // bottom-up DIB). Frame 0 and every keyFramesEvery-th frame encoded is a key frame; others are
    // predicted from the previous decoded picture (unchanged blocks skipped). Returns the packet, valid
    // until the next call.
    const std::vector<uint8_t>& Encode(const uint8_t* topRow, ptrdiff_t stride, bool& isKeyFrame);

    // Makes the next frame a key frame, whatever its number; the interval goes on counting as before.
    void ForceKeyFrame() { KeyPending = true; }

private:
    struct Buffers;

    int Width, Height, PaddedW, PaddedH, BlocksWide, BlocksHigh;
    int KeyFramesEvery;
    int64_t Lambda; // squared error worth one byte of the stream
    int64_t FrameNumber = 0;
    bool KeyPending = false;
    std::unique_ptr<Buffers> B;
    std::vector<uint8_t> Packet;
};
