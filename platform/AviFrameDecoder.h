#pragma once

#include "platform/AviChunkIndex.h"

#include <QImage>
#include <cstdint>
#include <memory>

// Decodes the pictures of an AVI file's video stream, any position in any order, with whichever of
// FFmpeg's decoders answers to the stream's format. The positions are those of the stream's layout:
// an empty position shows the picture before it, and one before any picture shows black.
//
// A picture comes from the key frame at or before it, decoded forward; reading on from the last
// position asked for continues where the decoder stands, so a sequential read decodes each frame once.
// Codecs that hold frames back (B-frames) are matched by their output order from the key frame.
class TAviFrameDecoder {
public:
    TAviFrameDecoder();
    ~TAviFrameDecoder();
    TAviFrameDecoder(const TAviFrameDecoder&) = delete;
    TAviFrameDecoder& operator=(const TAviFrameDecoder&) = delete;

    // Prepares the decoder for the stream of layout, whose chunks are read from fd (which must stay
    // open until Close). AVIERR_BADFORMAT when no decoder takes the stream or its frame size is
    // refused, AVIERR_MEMORY when memory is short.
    AviResult Open(int fd, TAviStreamLayout layout);
    void Close();

    // The stream's picture size, as its format declares it.
    int Width() const;
    int Height() const;
    std::uint32_t FrameCount() const;

    // The picture at position, converted into image (RGB32 of Width() x Height(), which it is made
    // when it is not). False for a position past the end, a picture that does not decode, and one
    // whose bytes, or those it is decoded from, can no longer be read (the file was cut short since
    // it was opened): never the picture before it, which only an empty position shows.
    bool Decode(std::uint32_t position, QImage& image);

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};

// Frame sizes the reader takes: a side of at most MaxAviFrameSide pixels and an area of at most that
// of an 8K picture. Every frame becomes a 32-bit bitmap, and the editor keeps a dozen of them.
inline constexpr int MaxAviFrameSide = 16384;
inline constexpr std::int64_t MaxAviFramePixels = 7680ll * 4320;
