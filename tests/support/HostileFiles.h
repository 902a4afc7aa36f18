#pragma once

// Files that lie about themselves, made byte by byte: sizes and counts far beyond what they hold,
// chunks that end past the file or lead back into themselves. Shared by the hostile-file tests and
// the benchmark that measures them; header-only, so that any test folder or bench program can use it.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <initializer_list>
#include <zlib.h>

namespace hostile {

inline QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out += char(v & 0xFF);
    return out;
}
inline QByteArray Le16(int v) {
    return Bytes({v, v >> 8});
}
inline QByteArray Le32(int64_t v) {
    return Le16(int(v & 0xFFFF)) + Le16(int((v >> 16) & 0xFFFF));
}
inline QByteArray Be32(uint32_t v) {
    return Bytes({int(v >> 24), int(v >> 16), int(v >> 8), int(v)});
}
inline QByteArray Be16(int v) {
    return Bytes({v >> 8, v});
}
inline QByteArray Chunk(const char* id, const QByteArray& data, int64_t declared = -1) {
    return QByteArray(id, 4) + Le32(declared < 0 ? data.size() : declared) + data;
}

// A picture as a PNG file holds it: the well-formed bytes that a malformation starts from.
inline QByteArray PngOf(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

inline QByteArray Bmp(int width, int height, int bits) {
    const QByteArray info = Le32(40) + Le32(width) + Le32(height) + Le16(1) + Le16(bits) + Le32(0) + Le32(0) +
                            Le32(0) + Le32(0) + Le32(0) + Le32(0);
    return "BM" + Le32(54) + Le32(0) + Le32(54) + info;
}

inline QByteArray PngChunk(const char* type, const QByteArray& data) {
    const QByteArray body = QByteArray(type, 4) + data;
    return Be32(uint32_t(data.size())) + body +
           Be32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
}
inline QByteArray Png(uint32_t width, uint32_t height) {
    const QByteArray ihdr = Be32(width) + Be32(height) + QByteArray("\x08\x06\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", ihdr) + PngChunk("IDAT", "x") +
           PngChunk("IEND", "");
}

inline QByteArray Gif(int width, int height) {
    return "GIF89a" + Le16(width) + Le16(height) + QByteArray("\x00\x00\x00", 3) + "," + Le16(0) + Le16(0) +
           Le16(width) + Le16(height) + QByteArray("\x00\x08\x02\x00", 4);
}

inline QByteArray Jpeg(int width, int height) {
    const QByteArray sof = QByteArray("\x08", 1) + Be16(height) + Be16(width) +
                           QByteArray("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 10);
    return QByteArray("\xFF\xD8\xFF\xC0", 4) + Be16(sof.size() + 2) + sof + QByteArray("\xFF\xDA", 2);
}

inline QByteArray Icon(int type, int entries, int64_t bytes, int64_t offset) {
    QByteArray out = Le16(0) + Le16(type) + Le16(entries);
    out += QByteArray("\x00\x00\x00\x00", 4) + Le16(1) + Le16(32) + Le32(bytes) + Le32(offset);
    return out;
}

inline QByteArray Ani(int64_t frames, int64_t steps, int64_t listSize) {
    const QByteArray anih = Chunk("anih", Le32(36) + Le32(frames) + Le32(steps) + Le32(32) + Le32(32) +
                                              Le32(0) + Le32(0) + Le32(6) + Le32(1));
    const QByteArray body = anih + Chunk("LIST", "fram", listSize);
    return "RIFF" + Le32(4 + body.size()) + "ACON" + body;
}

inline QByteArray Avi(int width, int height, int64_t frames, int64_t indexEntries) {
    const QByteArray avih =
        Chunk("avih", Le32(100000) + Le32(0) + Le32(0) + Le32(0x10) + Le32(frames) + Le32(0) + Le32(1) +
                          Le32(0) + Le32(width) + Le32(height) + QByteArray(16, 0));
    const QByteArray strh =
        Chunk("strh", "vidsMSVC" + Le32(0) + Le32(0) + Le32(0) + Le32(1) + Le32(10) + Le32(0) + Le32(frames) +
                          Le32(0) + Le32(-1) + Le32(0) + QByteArray(8, 0));
    const QByteArray strf = Chunk("strf", Le32(40) + Le32(width) + Le32(height) + Le16(1) + Le16(16) +
                                              "MSVC" + Le32(0) + QByteArray(16, 0));
    const QByteArray strl = Chunk("LIST", "strl" + strh + strf);
    const QByteArray hdrl = Chunk("LIST", "hdrl" + avih + strl);
    const QByteArray movi = Chunk("LIST", "movi" + Chunk("00dc", QByteArray(16, 0)));
    QByteArray idx = Le32(0x63643030) + Le32(0x10) + Le32(4) + Le32(16);
    const QByteArray idx1 = Chunk("idx1", idx, indexEntries * 16);
    const QByteArray body = hdrl + movi + idx1;
    return "RIFF" + Le32(4 + body.size()) + "AVI " + body;
}

// The header, with the file size it states and the pixels after it.
inline QByteArray Complete(QByteArray header, int pixelBytes) {
    const QByteArray size = Le32(header.size() + pixelBytes);
    header.replace(2, 4, size);
    return header + QByteArray(pixelBytes, char(0x40));
}

} // namespace hostile
