#include "CursorFrame.h"

#include "platform/BmpFormat.h"
#include "platform/ByteReader.h"
#include "platform/IcoFormat.h"
#include "platform/PngFormat.h"

#include <QPixmap>
#include <algorithm>
#include <vector>

namespace {

// The directory stores each side in one byte (0 meaning 256): no cursor image is larger.
constexpr int kMaxCursorSide = 256;

// A payload decoded at its own size, before scaling to the cursor size.
struct TNativePicture {
    QImage Image;
    QImage Invert;
};

// The system picks the entry nearest its cursor size; among equals, the larger one holds more
// colours.
void SortByPreference(std::vector<TIconDirEntry>& entries) {
    auto distance = [](const TIconDirEntry& e) {
        return std::abs(e.Width - kCursorSize) + std::abs(e.Height - kCursorSize);
    };
    std::stable_sort(entries.begin(), entries.end(), [&](const TIconDirEntry& a, const TIconDirEntry& b) {
        if (distance(a) != distance(b)) return distance(a) < distance(b);
        return a.Size > b.Size;
    });
}

// The picture registry's own decoders read the payload; a cursor only splits a masked picture into
// what it covers and what it inverts. Throws as those decoders do.
std::optional<TNativePicture> DecodePayload(const uchar* data, qint64 size) {
    if (IsPngData(data, size)) {
        QImage image = DecodePng(data, size);
        if (image.width() > kMaxCursorSide || image.height() > kMaxCursorSide) return std::nullopt;
        return TNativePicture{std::move(image), QImage()};
    }
    TDib dib = DecodeDib(data, size, -1, TDibKind::IconImage);
    const int width = dib.Pixels.width();
    const int height = dib.Pixels.height();
    if (width > kMaxCursorSide || height > kMaxCursorSide) return std::nullopt;
    // A 32-bit picture whose alpha is all zero is an old-style one: its mask decides, as for the others.
    if (dib.HasAlpha) return TNativePicture{std::move(dib.Pixels), QImage()};

    // A monochrome-mask cursor draws as dst = (dst AND mask) XOR colour.
    QImage image(width, height, QImage::Format_ARGB32);
    QImage invert(width, height, QImage::Format_RGB32);
    invert.fill(0);
    bool inverts = false;
    for (int y = 0; y < height; ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(dib.Pixels.constScanLine(y));
        const uchar* keepsScreen = dib.Mask.constScanLine(y);
        QRgb* outImage = reinterpret_cast<QRgb*>(image.scanLine(y));
        QRgb* outInvert = reinterpret_cast<QRgb*>(invert.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb rgb = in[x] & RGB_MASK;
            if (!keepsScreen[x]) {
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
    const TByteReader r(reinterpret_cast<const uchar*>(data.constData()), data.size());
    std::optional<TNativePicture> native;
    TIconDirEntry e;
    uint16_t type = kCursorType;
    try {
        const std::optional<TIconDirectory> directory = ReadIconDirectory(r, {kIconType, kCursorType});
        if (!directory) return {};
        type = directory->Type;
        std::vector<TIconDirEntry> entries;
        for (const TIconDirEntry& entry : directory->Entries)
            if (entry.Size > 0 && r.Has(entry.Offset, entry.Size)) entries.push_back(entry);
        if (entries.empty()) return {};
        // Only the entry the system would take is decoded: a directory of thousands of entries then
        // costs no more than one.
        SortByPreference(entries);
        e = entries.front();
        native = DecodePayload(r.At(e.Offset, e.Size), e.Size);
    } catch (const std::exception&) {
        // Whatever the decoders reject is no cursor: the caller shows its blank picture.
        return {};
    }
    if (!native) return {};
    const QSize size = native->Image.size();
    // An icon has no hot spot of its own; the system takes its centre.
    const QPoint hot = type == kCursorType ? e.HotSpot : QPoint(size.width() / 2, size.height() / 2);
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
