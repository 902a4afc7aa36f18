#include "BmpFormat.h"

#include "BitmapGraphic.h"
#include "ByteReader.h"
#include "Exceptions.h"
#include "ImageSave.h"
#include "PictureFile.h"
#include "RegularFile.h"

#include <QFile>
#include <array>
#include <bit>

namespace {

// Sizes and values of the bitmap file format.
constexpr qint64 kFileHeaderSize = 14;
constexpr uint16_t kBitmapSignature = 0x4D42; // "BM"
constexpr qint64 kCoreHeaderSize = 12;
constexpr qint64 kInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6;
// No valid colour table holds more entries than an 8-bit index can reach.
constexpr qint64 kMaxColourTable = 256;
constexpr QRgb kBlack = 0xFF000000u;

QString KindName(TDibKind kind) {
    return kind == TDibKind::Bitmap ? QStringLiteral("Bitmap") : QStringLiteral("Icon");
}

// One colour channel of a 16- or 32-bit pixel, from its bit mask.
struct TChannel {
    uint32_t Mask = 0;
    int Shift = 0;
    int Bits = 0;

    uint8_t Expand(uint32_t pixel) const {
        if (Bits == 0) return 0;
        const uint32_t v = (pixel & Mask) >> Shift;
        if (Bits >= 8) return uint8_t(v >> (Bits - 8));
        const uint32_t max = (1u << Bits) - 1;
        return uint8_t((v * 255 + max / 2) / max);
    }
};

TChannel MakeChannel(uint32_t mask, TDibKind kind) {
    TChannel c;
    c.Mask = mask;
    if (mask == 0) return c;
    c.Shift = std::countr_zero(mask);
    c.Bits = std::popcount(mask);
    // A mask with holes names no channel we could scale.
    if ((mask >> c.Shift) != (c.Bits == 32 ? 0xFFFFFFFFu : (1u << c.Bits) - 1))
        ThrowInvalidPicture(KindName(kind), QStringLiteral("colour mask"));
    return c;
}

struct THeader {
    qint64 HeaderSize = 0;
    qint64 Width = 0;
    qint64 Height = 0; // rows of the picture (without an icon's mask rows)
    bool TopDown = false;
    int BitCount = 0;
    uint32_t Compression = kBiRgb;
    std::array<TChannel, 3> Channels; // red, green, blue
    qint64 TableStart = 0;            // after the header and any masks that follow it
    qint64 Colours = 0;               // entries in the colour table
    int EntrySize = 4;
};

THeader ReadHeader(const TByteReader& r, TDibKind kind) {
    const QString name = KindName(kind);
    THeader h;
    h.HeaderSize = r.U32(0);
    qint64 coloursUsed = 0;
    if (h.HeaderSize == kCoreHeaderSize) {
        r.Require(0, kCoreHeaderSize);
        h.Width = r.U16(4);
        h.Height = r.U16(6);
        h.BitCount = r.U16(10);
        h.EntrySize = 3;
        if (h.BitCount != 1 && h.BitCount != 4 && h.BitCount != 8 && h.BitCount != 24)
            ThrowInvalidPicture(name, QStringLiteral("%1 bits per pixel").arg(h.BitCount));
    } else if (h.HeaderSize == 40 || h.HeaderSize == 52 || h.HeaderSize == 56 || h.HeaderSize == 108 ||
               h.HeaderSize == 124) {
        r.Require(0, h.HeaderSize);
        h.Width = r.I32(4);
        const int32_t height = r.I32(8);
        h.BitCount = r.U16(14);
        h.Compression = r.U32(16);
        coloursUsed = r.U32(32);
        if (height == INT32_MIN) ThrowInvalidPicture(name, QStringLiteral("height"));
        h.TopDown = height < 0;
        h.Height = height < 0 ? -qint64(height) : height;
    } else {
        ThrowInvalidPicture(name, QStringLiteral("header size %1").arg(h.HeaderSize));
    }
    if (kind == TDibKind::IconImage) {
        if (h.TopDown) ThrowInvalidPicture(name, QStringLiteral("height"));
        h.Height /= 2;
    }
    CheckPictureSize(name, h.Width, h.Height);

    const int bits = h.BitCount;
    switch (h.Compression) {
    case kBiRgb:
        if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
            ThrowInvalidPicture(name, QStringLiteral("%1 bits per pixel").arg(bits));
        break;
    case kBiRle8:
    case kBiRle4:
        if (bits != (h.Compression == kBiRle8 ? 8 : 4))
            ThrowInvalidPicture(
                name, QStringLiteral("compression %1 with %2 bits per pixel").arg(h.Compression).arg(bits));
        // Run-length rows always run bottom-up, and icons hold no run-length images.
        if (h.TopDown || kind == TDibKind::IconImage)
            ThrowInvalidPicture(name, QStringLiteral("compression %1").arg(h.Compression));
        break;
    case kBiBitfields:
    case kBiAlphaBitfields:
        if (bits != 16 && bits != 32)
            ThrowInvalidPicture(
                name, QStringLiteral("compression %1 with %2 bits per pixel").arg(h.Compression).arg(bits));
        break;
    default:
        ThrowInvalidPicture(name, QStringLiteral("compression %1").arg(h.Compression));
    }

    h.TableStart = h.HeaderSize;
    if (h.Compression == kBiBitfields || h.Compression == kBiAlphaBitfields) {
        // An info header of 40 bytes is followed by the masks; the longer headers hold them.
        qint64 at = kInfoHeaderSize;
        if (h.HeaderSize == kInfoHeaderSize) h.TableStart += h.Compression == kBiAlphaBitfields ? 16 : 12;
        for (TChannel& c : h.Channels) {
            c = MakeChannel(r.U32(at), kind);
            at += 4;
        }
    } else if (bits == 16) {
        h.Channels = {MakeChannel(0x7C00, kind), MakeChannel(0x03E0, kind), MakeChannel(0x001F, kind)};
    } else if (bits == 32) {
        h.Channels = {MakeChannel(0xFF0000, kind), MakeChannel(0xFF00, kind), MakeChannel(0xFF, kind)};
    }

    if (coloursUsed > kMaxColourTable)
        ThrowInvalidPicture(name, QStringLiteral("%1 colours").arg(coloursUsed));
    h.Colours = coloursUsed != 0 ? coloursUsed : (bits <= 8 ? qint64(1) << bits : 0);
    return h;
}

// Every palette slot exists: an index past the file's colour table draws black.
using TPalette = std::array<QRgb, 256>;

TPalette ReadPalette(const TByteReader& r, const THeader& h, qint64 entries) {
    TPalette palette;
    palette.fill(kBlack);
    const uchar* table = r.At(h.TableStart, entries * h.EntrySize);
    for (qint64 i = 0; i < entries && i < qint64(palette.size()); ++i) {
        const uchar* e = table + i * h.EntrySize;
        palette[i] = qRgb(e[2], e[1], e[0]);
    }
    return palette;
}

qint64 Stride(qint64 width, int bits) {
    return ((width * bits + 31) / 32) * 4;
}

void DecodeRows(const uchar* bits, const THeader& h, const TPalette& palette, TDibKind kind, TDib& dib) {
    const qint64 stride = Stride(h.Width, h.BitCount);
    const int width = int(h.Width);
    const bool keepAlpha = kind == TDibKind::IconImage && h.BitCount == 32 && h.Compression == kBiRgb;
    const auto& [red, green, blue] = h.Channels;
    bool anyAlpha = false;
    for (qint64 fileRow = 0; fileRow < h.Height; ++fileRow) {
        const uchar* s = bits + fileRow * stride;
        const int y = int(h.TopDown ? fileRow : h.Height - 1 - fileRow);
        QRgb* out = reinterpret_cast<QRgb*>(dib.Pixels.scanLine(y));
        switch (h.BitCount) {
        case 1:
            for (int x = 0; x < width; ++x)
                out[x] = palette[(s[x >> 3] >> (7 - (x & 7))) & 1];
            break;
        case 4:
            for (int x = 0; x < width; ++x)
                out[x] = palette[(s[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F];
            break;
        case 8:
            for (int x = 0; x < width; ++x)
                out[x] = palette[s[x]];
            break;
        case 16:
            for (int x = 0; x < width; ++x) {
                const uint32_t v = s[2 * x] | (uint32_t(s[2 * x + 1]) << 8);
                out[x] = qRgb(red.Expand(v), green.Expand(v), blue.Expand(v));
            }
            break;
        case 24:
            for (int x = 0; x < width; ++x)
                out[x] = qRgb(s[3 * x + 2], s[3 * x + 1], s[3 * x]);
            break;
        case 32:
            for (int x = 0; x < width; ++x) {
                const uchar* p = s + 4 * x;
                const uint32_t v =
                    p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
                const int alpha = keepAlpha ? p[3] : 255;
                anyAlpha = anyAlpha || alpha != 0;
                out[x] = qRgba(red.Expand(v), green.Expand(v), blue.Expand(v), alpha);
            }
            break;
        }
    }
    dib.HasAlpha = keepAlpha && anyAlpha;
}

// Run-length coded rows, bottom row first. Runs that go past the right edge or the last row are cut
// off; pixels that no run reaches keep colour 0 of the table. Without a dib the codes are only walked:
// a few codes can span the largest picture, so the caller first makes sure the file holds all of
// them before it allocates the pixels.
void DecodeRle(const TByteReader& r, qint64 at, const THeader& h, const TPalette& palette, TDib* dib) {
    const bool rle4 = h.Compression == kBiRle4;
    const qint64 width = h.Width, height = h.Height;
    if (dib) dib->Pixels.fill(palette[0]);
    qint64 x = 0, y = 0;
    auto put = [&](uint8_t index) {
        if (dib && x < width && y < height)
            reinterpret_cast<QRgb*>(dib->Pixels.scanLine(int(height - 1 - y)))[x] = palette[index];
        ++x;
    };
    while (y < height) {
        const uint8_t count = r.U8(at);
        const uint8_t value = r.U8(at + 1);
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(rle4 ? ((i & 1) ? value & 0x0F : value >> 4) : value);
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return;
        case 2: // delta
            x += r.U8(at);
            y += r.U8(at + 1);
            at += 2;
            break;
        default: { // absolute run, padded to a word
            const qint64 bytes = rle4 ? (value + 1) / 2 : value;
            const uchar* p = r.At(at, bytes);
            for (int i = 0; i < value; ++i)
                put(rle4 ? ((i & 1) ? p[i / 2] & 0x0F : p[i / 2] >> 4) : p[i]);
            at += bytes + (bytes & 1);
            break;
        }
        }
    }
}

void DecodeMask(const uchar* bits, const THeader& h, TDib& dib) {
    const qint64 stride = Stride(h.Width, 1);
    dib.Mask = NewPictureImage(int(h.Width), int(h.Height), QImage::Format_Grayscale8);
    for (qint64 fileRow = 0; fileRow < h.Height; ++fileRow) {
        const uchar* s = bits + fileRow * stride;
        uchar* out = dib.Mask.scanLine(int(h.Height - 1 - fileRow));
        for (qint64 x = 0; x < h.Width; ++x)
            out[x] = ((s[x >> 3] >> (7 - (x & 7))) & 1) ? 0xFF : 0;
    }
}

std::unique_ptr<TGraphic> BitmapOf(TDib dib, bool monochrome) {
    return std::make_unique<TBitmapGraphic>(std::move(dib.Pixels), monochrome);
}

// A bitmap's pixels are opaque, so they are built as RGB32 and need no conversion later.
QImage::Format PixelFormat(TDibKind kind) {
    return kind == TDibKind::Bitmap ? QImage::Format_RGB32 : QImage::Format_ARGB32;
}

[[noreturn]] void ThrowInvalidImageFile() {
    throw EInvalidGraphic(QStringLiteral("Invalid image file"));
}

} // namespace

TDib DecodeDib(const uchar* data, qint64 size, qint64 bitsOffset, TDibKind kind) {
    const TByteReader r(data, size);
    const THeader h = ReadHeader(r, kind);

    // The pixels start where the file header says when it points past the headers; the colour table
    // then holds only the entries that fit before them.
    qint64 bitsAt = h.TableStart + h.Colours * h.EntrySize;
    qint64 entries = h.Colours;
    if (bitsOffset >= h.TableStart && bitsOffset <= size) {
        bitsAt = bitsOffset;
        entries = std::min(entries, (bitsAt - h.TableStart) / h.EntrySize);
    }
    const TPalette palette = ReadPalette(r, h, entries);

    TDib dib;
    dib.BitCount = h.BitCount;
    if (h.Compression == kBiRle8 || h.Compression == kBiRle4) {
        r.Require(bitsAt, 0);
        DecodeRle(r, bitsAt, h, palette, nullptr);
        dib.Pixels = NewPictureImage(int(h.Width), int(h.Height), PixelFormat(kind));
        DecodeRle(r, bitsAt, h, palette, &dib);
        return dib;
    }
    const qint64 bitsSize = Stride(h.Width, h.BitCount) * h.Height;
    const uchar* bits = r.At(bitsAt, bitsSize);
    const uchar* maskBits = nullptr;
    if (kind == TDibKind::IconImage) maskBits = r.At(bitsAt + bitsSize, Stride(h.Width, 1) * h.Height);
    dib.Pixels = NewPictureImage(int(h.Width), int(h.Height), PixelFormat(kind));
    DecodeRows(bits, h, palette, kind, dib);
    if (maskBits && !dib.HasAlpha) DecodeMask(maskBits, h, dib);
    return dib;
}

std::unique_ptr<TGraphic> LoadBmpFile(const QString& fileName) {
    const QByteArray data = ReadPictureFile(fileName);
    const TByteReader r(reinterpret_cast<const uchar*>(data.constData()), data.size());
    r.Require(0, kFileHeaderSize);
    if (r.U16(0) != kBitmapSignature) ThrowInvalidPicture(QStringLiteral("Bitmap"));
    const qint64 declaredSize = r.U32(2);
    const qint64 bitsOffset = qint64(r.U32(10)) - kFileHeaderSize;
    // The class library reads exactly the size the file header declares; writers that leave the
    // field zero get the whole file.
    qint64 dibSize = data.size() - kFileHeaderSize;
    if (declaredSize != 0) {
        if (declaredSize > data.size()) ThrowReadError();
        dibSize = std::max<qint64>(declaredSize - kFileHeaderSize, 0);
    }
    TDib dib = DecodeDib(r.At(kFileHeaderSize, 0), dibSize, bitsOffset, TDibKind::Bitmap);
    const bool monochrome = dib.BitCount == 1;
    return BitmapOf(std::move(dib), monochrome);
}

std::unique_ptr<TGraphic> LoadPlainBitmapFile(const QString& fileName) {
    {
        QFile file;
        QString reason;
        if (!OpenRegularFile(file, fileName, reason)) ThrowOpenError(fileName, reason);
        const QByteArray fileHeader = file.read(kFileHeaderSize);
        if (fileHeader.size() < kFileHeaderSize || !fileHeader.startsWith("BM")) ThrowInvalidImageFile();
        if (file.read(kInfoHeaderSize).size() < kInfoHeaderSize) ThrowInvalidImageFile();
    }
    // The size comes from the bitmap as decoded, never from a header field taken on trust: a
    // top-down bitmap has a negative height, and a core header has no 32-bit height at all.
    try {
        const QByteArray data = ReadPictureFile(fileName);
        const TByteReader r(reinterpret_cast<const uchar*>(data.constData()), data.size());
        const qint64 bitsOffset = qint64(r.U32(10)) - kFileHeaderSize;
        TDib dib =
            DecodeDib(r.At(kFileHeaderSize, 0), data.size() - kFileHeaderSize, bitsOffset, TDibKind::Bitmap);
        // The picture is a copy in the screen's format, so never a monochrome bitmap.
        return BitmapOf(std::move(dib), false);
    } catch (const Exception&) {
        ThrowInvalidImageFile();
    }
}

QByteArray EncodeBmp(const QImage& image) {
    if (image.isNull()) throw EImageSaveError(QStringLiteral("Cannot save an empty image"));
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const qint64 width = rgb.width(), height = rgb.height();
    const qint64 stride = Stride(width, 24);
    const qint64 imageSize = stride * height;
    const qint64 fileSize = kFileHeaderSize + kInfoHeaderSize + imageSize;
    if (fileSize > qint64(UINT32_MAX) || width > INT32_MAX || height > INT32_MAX)
        throw EImageSaveError(QStringLiteral("The image is too large for a bitmap file"));

    QByteArray out(fileSize, '\0');
    uchar* p = reinterpret_cast<uchar*>(out.data());
    auto put16 = [&](qint64 at, uint32_t v) {
        p[at] = uchar(v);
        p[at + 1] = uchar(v >> 8);
    };
    auto put32 = [&](qint64 at, uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    put16(0, kBitmapSignature);
    put32(2, uint32_t(fileSize));
    put32(10, uint32_t(kFileHeaderSize + kInfoHeaderSize));
    put32(14, uint32_t(kInfoHeaderSize));
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    put16(26, 1);  // planes
    put16(28, 24); // bits per pixel
    put32(30, kBiRgb);
    put32(34, uint32_t(imageSize));
    uchar* bits = p + kFileHeaderSize + kInfoHeaderSize;
    for (qint64 row = 0; row < height; ++row) {
        const QRgb* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(int(height - 1 - row)));
        uchar* d = bits + row * stride;
        for (qint64 x = 0; x < width; ++x) {
            d[3 * x] = uchar(qBlue(src[x]));
            d[3 * x + 1] = uchar(qGreen(src[x]));
            d[3 * x + 2] = uchar(qRed(src[x]));
        }
    }
    return out;
}
