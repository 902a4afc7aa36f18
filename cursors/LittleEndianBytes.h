#pragma once

#include <QByteArray>
#include <cstdint>

// Bounds-checked reads of little-endian numbers from file data held in memory. Callers test Has()
// before reading; the sums are done in 64 bits so that no offset from a file can wrap around.
class TLittleEndianBytes {
public:
    explicit TLittleEndianBytes(const QByteArray& data) : Data(data) {}

    qint64 Size() const { return Data.size(); }
    bool Has(qint64 offset, qint64 length) const {
        return offset >= 0 && length >= 0 && offset <= Data.size() && length <= Data.size() - offset;
    }
    uint8_t U8(qint64 offset) const { return static_cast<uint8_t>(Data[offset]); }
    uint16_t U16(qint64 offset) const { return static_cast<uint16_t>(U8(offset) | U8(offset + 1) << 8); }
    uint32_t U32(qint64 offset) const { return U16(offset) | static_cast<uint32_t>(U16(offset + 2)) << 16; }
    int32_t I32(qint64 offset) const { return static_cast<int32_t>(U32(offset)); }
    bool IdAt(qint64 offset, const char (&id)[5]) const {
        return Has(offset, 4) && Data[offset] == id[0] && Data[offset + 1] == id[1] &&
               Data[offset + 2] == id[2] && Data[offset + 3] == id[3];
    }

private:
    const QByteArray& Data;
};
