#pragma once

#include "Picture.h"

#include <QByteArray>
#include <QImage>
#include <memory>

// The pixels of a device-independent bitmap (header, colour table, bits), as they follow a bitmap
// file header or make up one image of an icon or cursor file.
struct TDib {
    // Top row first: Format_RGB32 for a bitmap, Format_ARGB32 for icon data, whose alpha is 0xFF
    // unless 32-bit data carries alpha.
    QImage Pixels;
    int BitCount = 0;
    // Icon data only: 32-bit pixels with at least one non-zero alpha byte, drawn blended.
    bool HasAlpha = false;
    // Icon data only: the AND mask, Format_Grayscale8, non-zero where the screen shows through.
    QImage Mask;
};

enum class TDibKind {
    Bitmap,
    // An icon or cursor image: its height counts the colour rows and the mask rows.
    IconImage,
};

// Decodes the block of size bytes at data. bitsOffset is where the pixels start, from the start of the
// block, as a file header gives it; a value that does not point past the headers (negative included)
// means the pixels follow the colour table. Throws EReadError when the block ends before the decoder
// has read what it needs, EInvalidGraphic for values it rejects (sizes beyond the picture limits
// included); every header field is checked before anything is allocated.
TDib DecodeDib(const uchar* data, qint64 size, qint64 bitsOffset, TDibKind kind);

// The "bmp" decoder of the picture registry. Like the class library's bitmap reader it trusts the
// file size in the file header: a file shorter than that size is a stream read error.
std::unique_ptr<TGraphic> LoadBmpFile(const QString& fileName);

// The plain-bitmap reading of an image stamp whose load failed with a stream error: the file must
// begin with a 14-byte file header holding "BM" and at least 40 more bytes; the pixels are then
// decoded whatever the file header's size says. Errors of opening the file pass on; any other
// failure is EInvalidGraphic "Invalid image file".
std::unique_ptr<TGraphic> LoadPlainBitmapFile(const QString& fileName);

// A 24-bit bottom-up Windows bitmap file of the image (alpha dropped). Throws EImageSaveError when the
// image is empty or too large for the format.
QByteArray EncodeBmp(const QImage& image);
