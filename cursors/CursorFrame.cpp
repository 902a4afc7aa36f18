#include "CursorFrame.h"

#include "LittleEndianBytes.h"

#include <QBuffer>
#include <QImageReader>
#include <QPixmap>
#include <algorithm>
#include <vector>

namespace {

// The directory stores each side in one byte (0 meaning 256): no cursor image is larger, and the
// limit keeps a hostile header from asking for a huge picture.
constexpr int kMaxCursorSide = 256;
constexpr int kDirectoryHeaderSize = 6;
constexpr int kDirectoryEntrySize = 16;
constexpr int kTypeIcon = 1;
constexpr int kTypeCursor = 2;
constexpr int kBitmapInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0;
constexpr int kMaxPaletteEntries = 256;
const QByteArray kPngSignature("\x89PNG\r\n\x1a\n", 8);

struct TDirectoryEntry {
    int Width;
    int Height;
    QPoint HotSpot;
    qint64 Size;
    qint64 Offset;
};

// A payload decoded at its own size, before scaling to the cursor size.
struct TNativePicture {
    QImage Image;
    QImage Invert;
};

int SideFromByte(uint8_t b) {
    return b == 0 ? 256 : b;
}

// The system picks the entry nearest its cursor size; among equals, the larger one holds more
// colours.
void SortByPreference(std::vector<TDirectoryEntry>& entries) {
    auto distance = [](const TDirectoryEntry& e) {
        return std::abs(e.Width - kCursorSize) + std::abs(e.Height - kCursorSize);
    };
    std::stable_sort(entries.begin(), entries.end(), [&](const TDirectoryEntry& a, const TDirectoryEntry& b) {
        if (distance(a) != distance(b)) return distance(a) < distance(b);
        return a.Size > b.Size;
    });
}

std::optional<TNativePicture> DecodePng(const QByteArray& payload) {
    QBuffer buffer;
    buffer.setData(payload);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxCursorSide || size.height() > kMaxCursorSide) return {};
    QImage image = reader.read();
    if (image.isNull()) return {};
    return TNativePicture{image.convertToFormat(QImage::Format_ARGB32), QImage()};
}

QRgb Rgb555(uint16_t v) {
    auto widen = [](int c) { return (c << 3) | (c >> 2); };
    return qRgb(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31));
}

std::optional<TNativePicture> DecodeBmp(const QByteArray& payload) {
    const TLittleEndianBytes b(payload);
    if (!b.Has(0, kBitmapInfoHeaderSize)) return {};
    const qint64 headerSize = b.U32(0);
    const int32_t width = b.I32(4);
    const int32_t doubleHeight = b.I32(8); // colour bitmap and mask, stacked
    const int bpp = b.U16(14);
    const uint32_t compression = b.U32(16);
    const uint32_t colorsUsed = b.U32(32);
    if (headerSize < kBitmapInfoHeaderSize || !b.Has(0, headerSize)) return {};
    if (width < 1 || width > kMaxCursorSide || doubleHeight < 2 || doubleHeight / 2 > kMaxCursorSide)
        return {};
    if (compression != kBiRgb) return {};
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return {};
    if (colorsUsed > kMaxPaletteEntries) return {};
    const int height = doubleHeight / 2;
    const qint64 paletteCount = bpp <= 8 ? (colorsUsed ? colorsUsed : 1u << bpp) : colorsUsed;
    const qint64 paletteOffset = headerSize;
    const qint64 xorStride = (static_cast<qint64>(width) * bpp + 31) / 32 * 4;
    const qint64 andStride = (static_cast<qint64>(width) + 31) / 32 * 4;
    const qint64 xorOffset = paletteOffset + paletteCount * 4;
    const qint64 andOffset = xorOffset + xorStride * height;
    if (!b.Has(xorOffset, xorStride * height)) return {};
    const bool hasMask = b.Has(andOffset, andStride * height);

    std::vector<QRgb> palette;
    if (bpp <= 8)
        for (qint64 i = 0; i < paletteCount; ++i) {
            const qint64 o = paletteOffset + i * 4;
            palette.push_back(qRgb(b.U8(o + 2), b.U8(o + 1), b.U8(o)));
        }

    // Colour (and alpha for 32 bits) of each pixel, top row first.
    QImage color(width, height, QImage::Format_ARGB32);
    bool hasAlpha = false;
    for (int row = 0; row < height; ++row) {
        const qint64 line = xorOffset + row * xorStride; // rows are stored bottom-up
        QRgb* out = reinterpret_cast<QRgb*>(color.scanLine(height - 1 - row));
        for (int x = 0; x < width; ++x) {
            QRgb px = 0;
            if (bpp <= 8) {
                const int perByte = 8 / bpp;
                const int shift = 8 - bpp * (x % perByte + 1);
                const int index = (b.U8(line + x / perByte) >> shift) & ((1 << bpp) - 1);
                // An index past a short palette reads as black rather than outside the table.
                px = index < static_cast<int>(palette.size()) ? palette[index] : qRgb(0, 0, 0);
            } else if (bpp == 16) {
                px = Rgb555(b.U16(line + x * 2));
            } else if (bpp == 24) {
                const qint64 o = line + x * 3;
                px = qRgb(b.U8(o + 2), b.U8(o + 1), b.U8(o));
            } else {
                const qint64 o = line + x * 4;
                px = qRgba(b.U8(o + 2), b.U8(o + 1), b.U8(o), b.U8(o + 3));
                hasAlpha = hasAlpha || qAlpha(px) != 0;
            }
            out[x] = px;
        }
    }

    // A 32-bit picture whose alpha is all zero is an old-style one: its mask decides, as for the others.
    if (hasAlpha) return TNativePicture{color, QImage()};
    if (!hasMask) return {};

    QImage image(width, height, QImage::Format_ARGB32);
    QImage invert(width, height, QImage::Format_RGB32);
    invert.fill(0);
    bool inverts = false;
    for (int row = 0; row < height; ++row) {
        const qint64 line = andOffset + row * andStride;
        const int y = height - 1 - row;
        const QRgb* in = reinterpret_cast<const QRgb*>(color.constScanLine(y));
        QRgb* outImage = reinterpret_cast<QRgb*>(image.scanLine(y));
        QRgb* outInvert = reinterpret_cast<QRgb*>(invert.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const bool keepsScreen = (b.U8(line + x / 8) >> (7 - x % 8)) & 1;
            const QRgb rgb = in[x] & RGB_MASK;
            if (!keepsScreen) {
                outImage[x] = rgb | 0xFF000000u;
            } else {
                outImage[x] = 0;
                outInvert[x] = rgb;
                inverts = inverts || rgb != 0;
            }
        }
    }
    return TNativePicture{image, inverts ? invert : QImage()};
}

std::optional<TNativePicture> DecodePayload(const QByteArray& payload) {
    if (payload.startsWith(kPngSignature)) return DecodePng(payload);
    return DecodeBmp(payload);
}

QImage ToCursorSize(const QImage& image, QImage::Format format) {
    if (image.isNull()) return image;
    QImage scaled =
        image.size() == QSize(kCursorSize, kCursorSize)
            ? image
            : image.scaled(kCursorSize, kCursorSize, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return scaled.convertToFormat(format);
}

int ScaleCoordinate(int v, int side) {
    return std::clamp(v * kCursorSize / side, 0, kCursorSize - 1);
}

int Blend(int src, int dst, int alpha) {
    return (src * alpha + dst * (255 - alpha) + 127) / 255;
}

} // namespace

std::optional<TCursorFrame> DecodeCursorData(const QByteArray& data) {
    const TLittleEndianBytes b(data);
    if (!b.Has(0, kDirectoryHeaderSize)) return {};
    const int type = b.U16(2);
    const int count = b.U16(4);
    if (b.U16(0) != 0 || (type != kTypeIcon && type != kTypeCursor) || count == 0) return {};
    if (!b.Has(kDirectoryHeaderSize, static_cast<qint64>(count) * kDirectoryEntrySize)) return {};

    std::vector<TDirectoryEntry> entries;
    for (int i = 0; i < count; ++i) {
        const qint64 o = kDirectoryHeaderSize + static_cast<qint64>(i) * kDirectoryEntrySize;
        TDirectoryEntry e{SideFromByte(b.U8(o)), SideFromByte(b.U8(o + 1)),
                          QPoint(b.U16(o + 4), b.U16(o + 6)), b.U32(o + 8), b.U32(o + 12)};
        if (e.Size > 0 && b.Has(e.Offset, e.Size)) entries.push_back(e);
    }
    if (entries.empty()) return {};
    // Only the entry the system would take is decoded: a directory of thousands of entries then costs
    // no more than one.
    SortByPreference(entries);
    const TDirectoryEntry& e = entries.front();
    const std::optional<TNativePicture> native = DecodePayload(data.mid(e.Offset, e.Size));
    if (!native) return {};
    const QSize size = native->Image.size();
    // An icon has no hot spot of its own; the system takes its centre.
    const QPoint hot = type == kTypeCursor ? e.HotSpot : QPoint(size.width() / 2, size.height() / 2);
    TCursorFrame frame;
    frame.Image = ToCursorSize(native->Image, QImage::Format_ARGB32);
    frame.Invert = ToCursorSize(native->Invert, QImage::Format_RGB32);
    frame.HotSpot = QPoint(ScaleCoordinate(hot.x(), size.width()), ScaleCoordinate(hot.y(), size.height()));
    return frame;
}

void TCursorFrame::DrawOn(QImage& target, int x, int y, const QRegion& clip) const {
    if (IsNull() || target.format() != QImage::Format_RGB32) return;
    for (int cy = 0; cy < Image.height(); ++cy) {
        const int ty = y + cy;
        if (ty < 0 || ty >= target.height()) continue;
        const QRgb* src = reinterpret_cast<const QRgb*>(Image.constScanLine(cy));
        const QRgb* inv = Invert.isNull() ? nullptr : reinterpret_cast<const QRgb*>(Invert.constScanLine(cy));
        QRgb* dst = reinterpret_cast<QRgb*>(target.scanLine(ty));
        for (int cx = 0; cx < Image.width(); ++cx) {
            const int tx = x + cx;
            if (tx < 0 || tx >= target.width()) continue;
            if (!clip.isEmpty() && !clip.contains(QPoint(tx, ty))) continue;
            const int a = qAlpha(src[cx]);
            QRgb d = dst[tx];
            if (a != 0)
                d = qRgb(Blend(qRed(src[cx]), qRed(d), a), Blend(qGreen(src[cx]), qGreen(d), a),
                         Blend(qBlue(src[cx]), qBlue(d), a));
            if (inv) d ^= inv[cx] & RGB_MASK;
            dst[tx] = d | 0xFF000000u;
        }
    }
}

QImage TCursorFrame::Preview() const {
    if (IsNull()) return QImage();
    QImage preview = Image.copy();
    if (Invert.isNull()) return preview;
    for (int y = 0; y < preview.height(); ++y) {
        QRgb* out = reinterpret_cast<QRgb*>(preview.scanLine(y));
        const QRgb* inv = reinterpret_cast<const QRgb*>(Invert.constScanLine(y));
        for (int x = 0; x < preview.width(); ++x)
            if ((inv[x] & RGB_MASK) != 0) out[x] = (0xFFFFFFu ^ (inv[x] & RGB_MASK)) | 0xFF000000u;
    }
    return preview;
}

QCursor TCursorFrame::ToCursor() const {
    if (IsNull()) return QCursor(Qt::ArrowCursor);
    return QCursor(QPixmap::fromImage(Preview()), HotSpot.x(), HotSpot.y());
}
