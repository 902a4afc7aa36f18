#include "IcoFormat.h"

#include "BmpFormat.h"
#include "ByteReader.h"
#include "Exceptions.h"
#include "PictureFile.h"
#include "PngFormat.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr qint64 kDirectoryHeaderSize = 6;
constexpr qint64 kDirectoryEntrySize = 16;
// The size the platform draws icons at by default.
constexpr int kStandardIconSide = 32;

TIconDirEntry ReadEntry(const TByteReader& r, qint64 at) {
    TIconDirEntry e;
    // A size byte of 0 means 256.
    e.Width = r.U8(at) ? r.U8(at) : 256;
    e.Height = r.U8(at + 1) ? r.U8(at + 1) : 256;
    const int colours = r.U8(at + 2);
    e.BitCount = r.U16(at + 6);
    if (e.BitCount == 0) {
        e.BitCount = 1;
        while (colours > (1 << e.BitCount) && e.BitCount < 8)
            ++e.BitCount;
        if (colours == 0) e.BitCount = 8;
    }
    e.HotSpot = QPoint(r.U16(at + 4), r.U16(at + 6));
    e.Size = r.U32(at + 8);
    e.Offset = r.U32(at + 12);
    return e;
}

bool Better(const TIconDirEntry& candidate, const TIconDirEntry& best) {
    const int dc =
        std::abs(candidate.Width - kStandardIconSide) + std::abs(candidate.Height - kStandardIconSide);
    const int db = std::abs(best.Width - kStandardIconSide) + std::abs(best.Height - kStandardIconSide);
    if (dc != db) return dc < db;
    return candidate.BitCount > best.BitCount;
}

} // namespace

std::optional<TIconDirectory> ReadIconDirectory(const TByteReader& r, std::initializer_list<uint16_t> types) {
    r.Require(0, kDirectoryHeaderSize);
    TIconDirectory directory;
    directory.Type = r.U16(2);
    const int count = r.U16(4);
    if (r.U16(0) != 0 || std::find(types.begin(), types.end(), directory.Type) == types.end() || count == 0)
        return std::nullopt;
    r.Require(kDirectoryHeaderSize, count * kDirectoryEntrySize);
    directory.Entries.reserve(count);
    for (int i = 0; i < count; ++i)
        directory.Entries.push_back(ReadEntry(r, kDirectoryHeaderSize + i * kDirectoryEntrySize));
    return directory;
}

std::unique_ptr<TIconGraphic> DecodeIconImage(const uchar* data, qint64 size) {
    if (IsPngData(data, size)) return std::make_unique<TIconGraphic>(DecodePng(data, size), QImage());
    TDib dib = DecodeDib(data, size, -1, TDibKind::IconImage);
    if (dib.HasAlpha) return std::make_unique<TIconGraphic>(std::move(dib.Pixels), QImage());
    return std::make_unique<TIconGraphic>(std::move(dib.Pixels), std::move(dib.Mask));
}

std::unique_ptr<TGraphic> LoadIcoFile(const QString& fileName) {
    const QByteArray data = ReadPictureFile(fileName);
    const TByteReader r(reinterpret_cast<const uchar*>(data.constData()), data.size());
    const std::optional<TIconDirectory> directory = ReadIconDirectory(r, {kIconType, kStockIconType});
    if (!directory) ThrowInvalidPicture(QStringLiteral("Icon"));
    TIconDirEntry best = directory->Entries.front();
    for (const TIconDirEntry& e : directory->Entries)
        if (Better(e, best)) best = e;
    return DecodeIconImage(r.At(best.Offset, best.Size), best.Size);
}
