#include "platform/CompressedAviStream.h"

#include "platform/AviFile.h"
#include "platform/BitmapInfoHeader.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

// The compressors take 32-bit pixels, the top byte unused. Blocks come at the screen's depth: 32 bits,
// or 16 (RGB555) from a screen of depth 15 or 16, whose rows are widened for the compressor first.
constexpr int CompressorBitCount = 32;
constexpr int ShallowBitCount = 16;

// A 5-bit level as readers of 16-bit pixels show it, so widening loses nothing a reader would see.
inline std::uint32_t Level5(std::uint32_t v) {
    return (v << 3) | (v >> 2);
}

void WidenRow(const std::uint8_t* in, std::uint32_t* out, int width) {
    for (int x = 0; x < width; ++x) {
        const std::uint32_t v = std::uint32_t(in[2 * x]) | std::uint32_t(in[2 * x + 1]) << 8;
        out[x] = Level5((v >> 10) & 0x1F) << 16 | Level5((v >> 5) & 0x1F) << 8 | Level5(v & 0x1F);
    }
}

} // namespace

TCompressedAviStream::TCompressedAviStream(TAviFileWriter& file, const TCompressOptions& options,
                                           TVideoCompressorFactory factory)
    : File(file), Options(options), Factory(std::move(factory)) {}

TCompressedAviStream::~TCompressedAviStream() = default;

AviResult TCompressedAviStream::SetFormat(const void* format, std::size_t size) {
    if (Compressor) return AVIERR_UNSUPPORTED;
    TBitmapInfoHeader in;
    if (!format || size < sizeof in) return AVIERR_BADFORMAT;
    std::memcpy(&in, format, sizeof in);
    if (in.biSize != sizeof in || in.biPlanes != 1 || in.biCompression != BI_RGB ||
        (in.biBitCount != CompressorBitCount && in.biBitCount != ShallowBitCount) || in.biWidth <= 0 ||
        in.biHeight <= 0)
        return AVIERR_BADFORMAT;
    if (!Factory) return AVIERR_NOCOMPRESSOR;

    std::unique_ptr<TVideoCompressor> compressor;
    try {
        compressor = Factory(in.biWidth, in.biHeight, Options);
    } catch (const std::bad_alloc&) {
        return AVIERR_MEMORY;
    } catch (...) {
        return AVIERR_COMPRESSOR;
    }
    if (!compressor) return AVIERR_NOCOMPRESSOR;

    TBitmapInfoHeader out;
    out.biSize = sizeof out;
    out.biWidth = compressor->PaddedWidth();
    out.biHeight = compressor->PaddedHeight();
    out.biPlanes = 1;
    out.biBitCount = static_cast<std::uint16_t>(compressor->BitCount());
    out.biCompression = compressor->FourCC();
    // A padded size below the picture's would cut pixels off; a paletted output would need a table.
    if (out.biWidth < in.biWidth || out.biHeight < in.biHeight) return AVIERR_COMPRESSOR;
    if (compressor->BitCount() <= 8) return AVIERR_BADFORMAT;
    out.biSizeImage = static_cast<std::uint32_t>(DibRowBytes(out.biBitCount, out.biWidth) * out.biHeight);
    std::vector<std::uint32_t> wide;
    if (in.biBitCount != CompressorBitCount) {
        try {
            wide.resize(std::size_t(in.biWidth) * std::size_t(in.biHeight));
        } catch (const std::bad_alloc&) {
            return AVIERR_MEMORY;
        }
    }
    if (const AviResult r = File.SetFormat(&out, sizeof out)) return r;

    Compressor = std::move(compressor);
    Width = in.biWidth;
    Height = in.biHeight;
    InputBits = in.biBitCount;
    RowBytes = DibRowBytes(InputBits, Width);
    Wide = std::move(wide);
    return AVIERR_OK;
}

AviResult TCompressedAviStream::Write(int position, const void* bits, std::size_t size) {
    if (!Compressor) return AVIERR_BADHANDLE;
    // Checked before compressing: a compressed frame the file then refused would still have become
    // the compressor's reference picture.
    if (position < File.Length() || position == INT_MAX) return AVIERR_BADPARAM;
    if (!bits) return AVIERR_BADPARAM;
    if (size != std::size_t(RowBytes) * std::size_t(Height)) return AVIERR_BADFORMAT;

    // Block rows run bottom-up: the top row is the last one.
    const auto* topRow = static_cast<const std::uint8_t*>(bits) + (Height - 1) * RowBytes;
    std::ptrdiff_t stride = -RowBytes;
    if (InputBits != CompressorBitCount) {
        for (int y = 0; y < Height; ++y)
            WidenRow(topRow - y * RowBytes, Wide.data() + std::size_t(y) * std::size_t(Width), Width);
        topRow = reinterpret_cast<const std::uint8_t*>(Wide.data());
        stride = std::ptrdiff_t(Width) * 4;
    }
    bool isKeyFrame = false;
    const std::vector<std::uint8_t>* packet = nullptr;
    try {
        packet = &Compressor->Encode(topRow, stride, isKeyFrame);
    } catch (const std::bad_alloc&) {
        return AVIERR_MEMORY;
    } catch (...) {
        return AVIERR_COMPRESSOR;
    }
    AviResult result = packet->empty() ? AVIERR_COMPRESSOR : AVIERR_OK;
    if (!result) result = File.Write(position, packet->data(), packet->size(), isKeyFrame);
    // The compressor has taken this picture as the one the next frames are predicted from.
    if (result) Compressor->ForceKeyFrame();
    return result;
}

int TCompressedAviStream::Length() const {
    return File.Length();
}
