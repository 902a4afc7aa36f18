#include "AniFile.h"

#include "AniCur.h"
#include "platform/ByteReader.h"
#include "platform/Exceptions.h"
#include "platform/RegularFile.h"

#include <QFile>
#include <algorithm>
#include <cstring>

namespace {

constexpr qint64 kChunkHeaderSize = 8;
constexpr qint64 kRiffHeaderSize = 12; // "RIFF", size, "ACON"
constexpr qint64 kAniHeaderMinSize = 36;
constexpr qint64 kStepCountOffset = 8;    // dword 2 of the header
constexpr qint64 kDefaultRateOffset = 28; // dword 7 of the header

[[noreturn]] void Invalid() {
    throw EInvalidAni();
}

// Whether the four bytes at offset are the identifier id.
bool IdAt(const TByteReader& b, qint64 offset, const char (&id)[5]) {
    return b.Has(offset, 4) && std::memcmp(b.At(offset, 4), id, 4) == 0;
}

// Walks the chunks of data[begin, end): each a four-character identifier, a signed 32-bit size and
// that many bytes. A size that is negative or reaches past the end would move the walk backwards or
// outside the data, so it rejects the file.
//
// Writers differ on the pad byte after a chunk of odd size: some write one, some let the next chunk
// follow at once. An identifier never starts with a zero byte, so a zero byte there is a pad byte.
template <typename Visit> void WalkChunks(const TByteReader& b, qint64 begin, qint64 end, Visit visit) {
    qint64 pos = begin;
    while (pos < end) {
        if (end - pos < kChunkHeaderSize) Invalid();
        const qint64 id = pos;
        const int32_t size = b.I32(pos + 4);
        pos += kChunkHeaderSize;
        if (size < 0 || size > end - pos) Invalid();
        visit(id, pos, static_cast<qint64>(size));
        pos += size;
        if (size % 2 == 1 && pos < end && b.U8(pos) == 0) ++pos;
    }
}

std::vector<int32_t> ReadDwords(const TByteReader& b, qint64 offset, qint64 size) {
    std::vector<int32_t> values(static_cast<size_t>(size / 4));
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = b.I32(offset + static_cast<qint64>(i) * 4);
    return values;
}

void ReadFrames(const QByteArray& data, const TByteReader& b, qint64 offset, qint64 size,
                std::vector<TCursorFrame>& icons) {
    // Only the pictures of the list are looked at; anything else in it, nested lists included, is
    // skipped by its size.
    WalkChunks(b, offset + 4, offset + size, [&](qint64 id, qint64 at, qint64 length) {
        if (!IdAt(b, id, "icon")) return;
        if (static_cast<int>(icons.size()) >= kMaxAniFrames) Invalid();
        std::optional<TCursorFrame> frame = DecodeCursorData(data.mid(at, length));
        if (!frame) Invalid();
        icons.push_back(std::move(*frame));
    });
}

void CheckComplete(TAniFile& ani, bool hasRates, bool hasSeq) {
    if (ani.StepCount <= 0) Invalid(); // no usable header, or one with no steps
    if (!hasRates) ani.Rates.assign(ani.StepCount, ani.DefaultRate);
    if (!hasSeq) {
        ani.Seq.resize(ani.StepCount);
        for (int32_t i = 0; i < ani.StepCount; ++i)
            ani.Seq[i] = i;
    }
    // Every step needs a rate; rates past the last step are never used.
    if (static_cast<qint64>(ani.Rates.size()) < ani.StepCount) Invalid();
    ani.Rates.resize(ani.StepCount);
    if (static_cast<qint64>(ani.Seq.size()) != ani.StepCount) Invalid();
    for (int32_t rate : ani.Rates)
        if (rate < 0 || rate > kMaxAniRate) Invalid();
    for (int32_t frame : ani.Seq)
        if (frame < 0 || frame >= static_cast<int32_t>(ani.Icons.size())) Invalid();
}

} // namespace

bool IsRiffData(const QByteArray& data) {
    return data.startsWith("RIFF");
}

QByteArray ReadCursorFileBytes(const QString& fileName) {
    QFile file;
    QString reason;
    if (!OpenRegularFile(file, fileName, reason))
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, reason));
    if (file.size() > kMaxCursorFileBytes) return QByteArray();
    // Asked for the limit, Qt reserves twice the limit for every file, however small; a file of known
    // size is read at its size, and only one that grew meanwhile is read on up to the limit.
    const qint64 expected =
        file.isSequential() ? kMaxCursorFileBytes : std::min(file.size(), kMaxCursorFileBytes);
    QByteArray data = file.read(expected + 1);
    if (data.size() > expected && data.size() <= kMaxCursorFileBytes)
        data += file.read(kMaxCursorFileBytes + 1 - data.size());
    if (file.error() != QFileDevice::NoError) throw EReadError(QStringLiteral("Stream read error"));
    if (data.size() > kMaxCursorFileBytes) return QByteArray(); // grew while being read
    return data;
}

TAniFile ParseAniData(const QByteArray& data) {
    const TByteReader b(reinterpret_cast<const uchar*>(data.constData()), data.size());
    if (!b.Has(0, 8) || !IdAt(b, 0, "RIFF")) Invalid();
    if (!b.Has(8, 4) || !IdAt(b, 8, "ACON")) Invalid();

    TAniFile ani;
    // The header resets rates and sequence, so chunks of those kinds count only after it.
    bool hasRates = false;
    bool hasSeq = false;
    WalkChunks(b, kRiffHeaderSize, b.Length(), [&](qint64 id, qint64 at, qint64 size) {
        if (IdAt(b, id, "anih")) {
            if (size < kAniHeaderMinSize) return;
            ani.StepCount = b.I32(at + kStepCountOffset);
            ani.DefaultRate = b.I32(at + kDefaultRateOffset);
            if (ani.StepCount <= 0 || ani.StepCount > kMaxAniSteps) Invalid();
            ani.Rates.clear();
            ani.Seq.clear();
            hasRates = hasSeq = false;
        } else if (IdAt(b, id, "rate")) {
            ani.Rates = ReadDwords(b, at, size);
            hasRates = true;
        } else if (IdAt(b, id, "seq ")) {
            ani.Seq = ReadDwords(b, at, size);
            hasSeq = true;
        } else if (IdAt(b, id, "LIST") && size >= 4 && IdAt(b, at, "fram")) {
            ReadFrames(data, b, at, size, ani.Icons);
        }
    });
    CheckComplete(ani, hasRates, hasSeq);
    return ani;
}

TAniFile ReadAniFile(const QString& fileName) {
    const QByteArray data = ReadCursorFileBytes(fileName);
    if (data.isEmpty()) Invalid();
    return ParseAniData(data);
}
