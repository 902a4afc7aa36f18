#include "GifFormat.h"

#include "AlphaGraphic.h"
#include "Exceptions.h"
#include "ImageSave.h"
#include "PictureFile.h"

#include <QHash>
#include <array>
#include <cstring>
#include <gif_lib.h>
#include <vector>

namespace {

constexpr int kGraphicControlMinSize = 4;
constexpr int kTransparentFlag = 0x01;
constexpr int kMaxGifSide = 65535; // the format's 16-bit sizes
constexpr int kMaxPaletteSize = 256;
constexpr int kColourResolution = 8;

struct TGifSource {
    const uchar* Data = nullptr;
    size_t Size = 0;
    size_t Pos = 0;
    bool Truncated = false;
};

int ReadGifData(GifFileType* gif, GifByteType* out, int length) {
    auto* source = static_cast<TGifSource*>(gif->UserData);
    size_t n = length > 0 ? size_t(length) : 0;
    if (n > source->Size - source->Pos) {
        n = source->Size - source->Pos;
        source->Truncated = true;
    }
    std::memcpy(out, source->Data + source->Pos, n);
    source->Pos += n;
    return int(n);
}

struct TGifReadCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using TGifReader = std::unique_ptr<GifFileType, TGifReadCloser>;

[[noreturn]] void ThrowGifFailure(const TGifSource& source, int error) {
    if (source.Truncated) ThrowReadError();
    const char* text = GifErrorString(error);
    ThrowInvalidPicture(QStringLiteral("GIF"), QString::fromLatin1(text ? text : "unknown error"));
}

// Skips extension blocks up to the first image; returns its transparent index, or -1.
int ReadUpToFirstImage(GifFileType* gif, const TGifSource& source) {
    int transparent = -1;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR) ThrowGifFailure(source, gif->Error);
        if (record == IMAGE_DESC_RECORD_TYPE) return transparent;
        if (record == TERMINATE_RECORD_TYPE)
            ThrowInvalidPicture(QStringLiteral("GIF"), QStringLiteral("no image"));
        if (record != EXTENSION_RECORD_TYPE)
            ThrowInvalidPicture(QStringLiteral("GIF"), QStringLiteral("record type"));
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) ThrowGifFailure(source, gif->Error);
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= kGraphicControlMinSize)
            transparent = (block[1] & kTransparentFlag) ? block[4] : -1;
        while (block) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) ThrowGifFailure(source, gif->Error);
        }
    }
}

struct TGifWriteCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        EGifCloseFile(gif, &error);
    }
};
using TGifWriter = std::unique_ptr<GifFileType, TGifWriteCloser>;

struct TMapFreer {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

int WriteGifData(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<QByteArray*>(gif->UserData);
    try {
        out->append(reinterpret_cast<const char*>(data), length);
        return length;
    } catch (...) {
        return 0;
    }
}

[[noreturn]] void ThrowGifSaveError(int error) {
    const char* text = GifErrorString(error);
    throw EImageSaveError(
        QStringLiteral("GIF encoder error: %1").arg(QString::fromLatin1(text ? text : "unknown error")));
}

// The image as palette indices and a palette of at most 256 colours.
struct TIndexedImage {
    std::vector<GifByteType> Indices;
    std::array<GifColorType, kMaxPaletteSize> Palette{};
    int Colours = 0;
};

bool ExactPalette(const QImage& rgb, TIndexedImage& out) {
    QHash<QRgb, int> colourSlots;
    const qsizetype width = rgb.width();
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        GifByteType* indices = out.Indices.data() + y * width;
        QRgb last = 0;
        int lastIndex = -1;
        for (qsizetype x = 0; x < width; ++x) {
            const QRgb c = line[x] & 0x00FFFFFFu;
            if (c != last || lastIndex < 0) {
                auto it = colourSlots.constFind(c);
                if (it == colourSlots.constEnd()) {
                    if (colourSlots.size() == kMaxPaletteSize) return false;
                    const int index = int(colourSlots.size());
                    it = colourSlots.insert(c, index);
                    out.Palette[index] =
                        GifColorType{GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))};
                }
                last = c;
                lastIndex = it.value();
            }
            indices[x] = GifByteType(lastIndex);
        }
    }
    out.Colours = int(colourSlots.size());
    return true;
}

void QuantizedPalette(const QImage& rgb, TIndexedImage& out) {
    const size_t count = size_t(rgb.width()) * size_t(rgb.height());
    std::vector<GifByteType> red(count), green(count), blue(count);
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        const size_t at = size_t(y) * size_t(rgb.width());
        for (int x = 0; x < rgb.width(); ++x) {
            red[at + x] = GifByteType(qRed(line[x]));
            green[at + x] = GifByteType(qGreen(line[x]));
            blue[at + x] = GifByteType(qBlue(line[x]));
        }
    }
    int size = kMaxPaletteSize;
    if (GifQuantizeBuffer(unsigned(rgb.width()), unsigned(rgb.height()), &size, red.data(), green.data(),
                          blue.data(), out.Indices.data(), out.Palette.data()) == GIF_ERROR)
        throw EImageSaveError(QStringLiteral("GIF encoder error: cannot reduce the colours"));
    out.Colours = std::clamp(size, 1, kMaxPaletteSize);
}

} // namespace

QImage DecodeGif(const uchar* data, qint64 size) {
    TGifSource source;
    source.Data = data;
    source.Size = size_t(std::max<qint64>(size, 0));
    int error = 0;
    const TGifReader gif(DGifOpen(&source, ReadGifData, &error));
    if (!gif) ThrowGifFailure(source, error);

    const int transparent = ReadUpToFirstImage(gif.get(), source);
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) ThrowGifFailure(source, gif->Error);
    const GifImageDesc& frame = gif->Image;
    CheckPictureSize(QStringLiteral("GIF"), frame.Width, frame.Height);
    // The picture is the logical screen; writers that leave it too small get the image's extent.
    const qint64 width = std::max<qint64>(gif->SWidth, qint64(frame.Left) + frame.Width);
    const qint64 height = std::max<qint64>(gif->SHeight, qint64(frame.Top) + frame.Height);
    CheckPictureSize(QStringLiteral("GIF"), width, height);
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map || map->ColorCount <= 0 || !map->Colors)
        ThrowInvalidPicture(QStringLiteral("GIF"), QStringLiteral("no colour table"));

    // Indices past the colour table draw black.
    std::array<QRgb, 256> palette;
    palette.fill(qRgb(0, 0, 0));
    for (int i = 0; i < map->ColorCount && i < 256; ++i)
        palette[i] = qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    if (transparent >= 0) palette[transparent] = 0;

    // The rows are kept as they decode and the picture is made only when all of them came: a header
    // may claim any size, and a file that ends early must fail before anything of that size exists.
    // Interlaced rows come in four passes: every 8th from 0, every 8th from 4, every 4th from 2,
    // every 2nd from 1.
    static constexpr int kPassStart[] = {0, 4, 2, 1}, kPassStep[] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    const size_t lineSize = size_t(frame.Width);
    std::vector<GifPixelType> lines;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = frame.Interlace ? kPassStart[pass] : 0;
        const int step = frame.Interlace ? kPassStep[pass] : 1;
        for (int row = start; row < frame.Height; row += step) {
            const size_t at = lines.size();
            lines.resize(at + lineSize);
            if (DGifGetLine(gif.get(), lines.data() + at, frame.Width) == GIF_ERROR)
                ThrowGifFailure(source, gif->Error);
        }
    }

    QImage image = NewPictureImage(int(width), int(height), QImage::Format_ARGB32);
    image.fill(0);
    const GifPixelType* line = lines.data();
    for (int pass = 0; pass < passes; ++pass) {
        const int start = frame.Interlace ? kPassStart[pass] : 0;
        const int step = frame.Interlace ? kPassStep[pass] : 1;
        for (int row = start; row < frame.Height; row += step, line += lineSize) {
            QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(frame.Top + row)) + frame.Left;
            for (int x = 0; x < frame.Width; ++x)
                out[x] = palette[line[x]];
        }
    }
    return image;
}

std::unique_ptr<TGraphic> LoadGifFile(const QString& fileName) {
    const QByteArray data = ReadPictureFile(fileName);
    return std::make_unique<TAlphaGraphic>(
        DecodeGif(reinterpret_cast<const uchar*>(data.constData()), data.size()));
}

QByteArray EncodeGif(const QImage& image) {
    if (image.isNull()) throw EImageSaveError(QStringLiteral("Cannot save an empty image"));
    if (image.width() > kMaxGifSide || image.height() > kMaxGifSide)
        throw EImageSaveError(QStringLiteral("The image is too large for a GIF file"));
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);

    TIndexedImage indexed;
    indexed.Indices.resize(size_t(rgb.width()) * size_t(rgb.height()));
    if (!ExactPalette(rgb, indexed)) QuantizedPalette(rgb, indexed);
    // A GIF colour table has a power-of-two size, at least 2.
    int bits = 1;
    while ((1 << bits) < indexed.Colours)
        ++bits;
    const std::unique_ptr<ColorMapObject, TMapFreer> map(GifMakeMapObject(1 << bits, indexed.Palette.data()));
    if (!map) throw EImageSaveError(QStringLiteral("GIF encoder error: out of memory"));

    QByteArray out;
    int error = 0;
    TGifWriter gif(EGifOpen(&out, WriteGifData, &error));
    if (!gif) ThrowGifSaveError(error);
    if (EGifPutScreenDesc(gif.get(), rgb.width(), rgb.height(), kColourResolution, 0, map.get()) ==
            GIF_ERROR ||
        EGifPutImageDesc(gif.get(), 0, 0, rgb.width(), rgb.height(), false, nullptr) == GIF_ERROR)
        ThrowGifSaveError(gif->Error);
    for (int y = 0; y < rgb.height(); ++y) {
        GifPixelType* row = indexed.Indices.data() + size_t(y) * size_t(rgb.width());
        if (EGifPutLine(gif.get(), row, rgb.width()) == GIF_ERROR) ThrowGifSaveError(gif->Error);
    }
    // Closing writes the trailer and frees the writer whatever the outcome.
    if (EGifCloseFile(gif.release(), &error) == GIF_ERROR) ThrowGifSaveError(error);
    return out;
}
