#pragma once

#include "Exceptions.h"

#include <QtGlobal>
#include <cstdint>

// Little-endian fields of a file held in memory. Every read is bounds-checked: data that ends before
// a field is a stream read error, the error the picture loaders fall back on.
class TByteReader {
public:
    TByteReader(const uchar* data, qint64 size) : Data(data), Size(size < 0 ? 0 : size) {}

    qint64 Length() const { return Size; }
    const uchar* At(qint64 offset, qint64 count) const {
        Require(offset, count);
        return Data + offset;
    }
    bool Has(qint64 offset, qint64 count) const {
        return offset >= 0 && count >= 0 && offset <= Size && count <= Size - offset;
    }
    void Require(qint64 offset, qint64 count) const {
        if (!Has(offset, count)) throw EReadError(QStringLiteral("Stream read error"));
    }
    uint8_t U8(qint64 offset) const { return *At(offset, 1); }
    uint16_t U16(qint64 offset) const {
        const uchar* p = At(offset, 2);
        return uint16_t(p[0] | (p[1] << 8));
    }
    uint32_t U32(qint64 offset) const {
        const uchar* p = At(offset, 4);
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    }
    int32_t I32(qint64 offset) const { return int32_t(U32(offset)); }

private:
    const uchar* Data;
    qint64 Size;
};
