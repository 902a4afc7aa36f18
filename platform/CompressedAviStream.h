#pragma once

#include "platform/AviErrors.h"
#include "platform/VideoCompressor.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TAviFileWriter;

// A video stream that compresses each frame before the file stores it: the programs hand it the
// uncompressed frames of their packed bitmap blocks and it writes the compressor's packets into the
// file's stream. The file must outlive it.
class TCompressedAviStream {
public:
    // file: opened, with its stream created and no format yet. The compressor is made by factory
    // once SetFormat knows the frame size.
    TCompressedAviStream(TAviFileWriter& file, const TCompressOptions& options,
                         TVideoCompressorFactory factory);
    ~TCompressedAviStream();
    TCompressedAviStream(const TCompressedAviStream&) = delete;
    TCompressedAviStream& operator=(const TCompressedAviStream&) = delete;

    // The format of the frames to come: the bitmap-info header of a packed bitmap block (BI_RGB,
    // 32 bits per pixel, or 16 as RGB555, bottom-up). The file's stream gets the compressor's format: its
    // code and depth, at the padded frame size. AVIERR_NOCOMPRESSOR when no compressor answers to the
    // handler, AVIERR_BADFORMAT for a format it cannot take.
    AviResult SetFormat(const void* format, std::size_t size);

    // One frame: the pixel rows of a block in the format's size (biSizeImage bytes), compressed and
    // written at position. A position below Length() is refused with AVIERR_BADPARAM before the
    // compressor sees the frame, so the compressor's picture history stays that of the file; a frame
    // of another size is refused with AVIERR_BADFORMAT. After a frame the file did not take, the
    // compressor starts again with a key frame.
    AviResult Write(int position, const void* bits, std::size_t size);

    int Length() const;

private:
    TAviFileWriter& File;
    TCompressOptions Options;
    TVideoCompressorFactory Factory;
    std::unique_ptr<TVideoCompressor> Compressor;
    int Width = 0;
    int Height = 0;
    int InputBits = 0;
    std::ptrdiff_t RowBytes = 0;
    // The frame widened to the compressor's 32-bit pixels, top row first, for 16-bit blocks.
    std::vector<std::uint32_t> Wide;
};
