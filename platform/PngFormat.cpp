#include "PngFormat.h"

#include "AlphaGraphic.h"
#include "Exceptions.h"
#include "ImageSave.h"
#include "PictureFile.h"

#include <QtEndian>
#include <csetjmp>
#include <cstring>
#include <png.h>
#include <vector>

// libpng reports errors by longjmp. Each function that calls setjmp below holds no C++ object, and
// the callbacks libpng calls never let a C++ exception pass through its C frames: whatever must be
// made or freed lives in the caller of those functions.

namespace {

constexpr int kPngSignatureSize = 8;
// Ancillary chunks (text, colour profiles) never need more; a hostile one must not make libpng
// allocate more.
constexpr png_alloc_size_t kMaxChunkMemory = 8 * 1024 * 1024;
constexpr size_t kMessageSize = 256;

struct TPngErrorState {
    char Message[kMessageSize] = {};
};

void PngError(png_structp png, png_const_charp message) {
    auto* state = static_cast<TPngErrorState*>(png_get_error_ptr(png));
    if (state) {
        std::strncpy(state->Message, message ? message : "", kMessageSize - 1);
        state->Message[kMessageSize - 1] = '\0';
    }
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {
    // Warnings are not for the user.
}

struct TPngRead {
    TPngErrorState Error;
    const uchar* Data = nullptr;
    size_t Size = 0;
    size_t Pos = 0;
    bool Truncated = false;
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    png_uint_32 Width = 0;
    png_uint_32 Height = 0;
    size_t RowBytes = 0;
    qint64 FileRowBits = 0; // one row as the file stores it, before any transformation
};

void PngReadData(png_structp png, png_bytep out, size_t length) {
    auto* read = static_cast<TPngRead*>(png_get_io_ptr(png));
    if (length > read->Size - read->Pos) {
        read->Truncated = true;
        png_error(png, "unexpected end of data");
    }
    std::memcpy(out, read->Data + read->Pos, length);
    read->Pos += length;
}

// Reads the chunks before the pixels and sets the transformations to 8-bit pixels in the byte order
// of Format_ARGB32, alpha included.
bool ReadPngHeader(TPngRead* read) {
    if (setjmp(png_jmpbuf(read->Png))) return false;
    png_set_read_fn(read->Png, read, PngReadData);
    png_set_user_limits(read->Png, kMaxPictureSide, kMaxPictureSide);
    png_set_chunk_malloc_max(read->Png, kMaxChunkMemory);
    png_read_info(read->Png, read->Info);
    read->FileRowBits = qint64(png_get_image_width(read->Png, read->Info)) *
                        png_get_bit_depth(read->Png, read->Info) * png_get_channels(read->Png, read->Info);

    const int colourType = png_get_color_type(read->Png, read->Info);
    const bool hasAlpha =
        (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(read->Png, read->Info, PNG_INFO_tRNS) != 0;
    png_set_expand(read->Png);
    png_set_scale_16(read->Png);
    png_set_gray_to_rgb(read->Png);
    if (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        png_set_bgr(read->Png);
        if (!hasAlpha) png_set_filler(read->Png, 0xFF, PNG_FILLER_AFTER);
    } else {
        png_set_swap_alpha(read->Png);
        if (!hasAlpha) png_set_filler(read->Png, 0xFF, PNG_FILLER_BEFORE);
    }
    png_set_interlace_handling(read->Png);
    png_read_update_info(read->Png, read->Info);
    read->Width = png_get_image_width(read->Png, read->Info);
    read->Height = png_get_image_height(read->Png, read->Info);
    read->RowBytes = png_get_rowbytes(read->Png, read->Info);
    return true;
}

bool ReadPngRows(TPngRead* read, png_bytepp rows) {
    if (setjmp(png_jmpbuf(read->Png))) return false;
    png_read_image(read->Png, rows);
    return true;
}

struct TPngReadGuard {
    TPngRead& Read;
    ~TPngReadGuard() { png_destroy_read_struct(&Read.Png, Read.Info ? &Read.Info : nullptr, nullptr); }
};

// Deflate turns one byte into at most 1032: the image data of a file can only hold so many rows.
constexpr qint64 kMaxDeflateRatio = 1032;
constexpr qint64 kChunkOverhead = 12; // length, type and CRC

// Whether the file's image data (its IDAT chunks, as far as the file holds them) can hold the rows its
// header declares. Pixels are allocated only for a picture the file can hold: a header of a few bytes
// may claim the largest picture, and a file that ends early must fail before anything of that size
// exists.
bool PngDataCanHold(const uchar* data, qint64 size, qint64 rows, qint64 rowBits) {
    qint64 imageData = 0;
    for (qint64 at = kPngSignatureSize; at + 8 <= size;) {
        const qint64 length = qFromBigEndian<quint32>(data + at);
        if (std::memcmp(data + at + 4, "IDAT", 4) == 0) imageData += std::min(length, size - at - 8);
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) break;
        at += kChunkOverhead + length;
    }
    const qint64 neededBytes = rows * ((rowBits + 7) / 8);
    return neededBytes <= (imageData + 1) * kMaxDeflateRatio;
}

[[noreturn]] void ThrowPngFailure(const TPngRead& read) {
    if (read.Truncated) ThrowReadError();
    ThrowInvalidPicture(QStringLiteral("PNG"), QString::fromLatin1(read.Error.Message));
}

struct TPngWrite {
    TPngErrorState Error;
    QByteArray* Out = nullptr;
    png_structp Png = nullptr;
    png_infop Info = nullptr;
};

void PngWriteData(png_structp png, png_bytep data, size_t length) {
    auto* write = static_cast<TPngWrite*>(png_get_io_ptr(png));
    bool appended = false;
    try {
        write->Out->append(reinterpret_cast<const char*>(data), qsizetype(length));
        appended = true;
    } catch (...) {
    }
    if (!appended) png_error(png, "out of memory");
}

void PngFlush(png_structp) {}

bool WritePngImage(TPngWrite* write, const QImage* rgb) {
    if (setjmp(png_jmpbuf(write->Png))) return false;
    png_set_write_fn(write->Png, write, PngWriteData, PngFlush);
    png_set_IHDR(write->Png, write->Info, png_uint_32(rgb->width()), png_uint_32(rgb->height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(write->Png, write->Info);
    // The 32-bit pixels go in as they are; libpng drops the fourth byte.
    if (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        png_set_bgr(write->Png);
        png_set_filler(write->Png, 0, PNG_FILLER_AFTER);
    } else {
        png_set_filler(write->Png, 0, PNG_FILLER_BEFORE);
    }
    for (int y = 0; y < rgb->height(); ++y)
        png_write_row(write->Png, rgb->constScanLine(y));
    png_write_end(write->Png, write->Info);
    return true;
}

struct TPngWriteGuard {
    TPngWrite& Write;
    ~TPngWriteGuard() { png_destroy_write_struct(&Write.Png, Write.Info ? &Write.Info : nullptr); }
};

} // namespace

bool IsPngData(const uchar* data, qint64 size) {
    return size >= kPngSignatureSize && png_sig_cmp(data, 0, kPngSignatureSize) == 0;
}

QImage DecodePng(const uchar* data, qint64 size) {
    if (size < kPngSignatureSize) ThrowReadError();
    if (!IsPngData(data, size)) ThrowInvalidPicture(QStringLiteral("PNG"), QStringLiteral("not a PNG file"));

    TPngRead read;
    read.Data = data;
    read.Size = size_t(size);
    read.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &read.Error, PngError, PngWarning);
    if (!read.Png) throw EInvalidGraphic(QStringLiteral("Out of memory"));
    const TPngReadGuard guard{read};
    read.Info = png_create_info_struct(read.Png);
    if (!read.Info) throw EInvalidGraphic(QStringLiteral("Out of memory"));

    if (!ReadPngHeader(&read)) ThrowPngFailure(read);
    CheckPictureSize(QStringLiteral("PNG"), read.Width, read.Height);
    if (!PngDataCanHold(data, size, read.Height, read.FileRowBits)) ThrowReadError();
    if (read.RowBytes != size_t(read.Width) * 4)
        ThrowInvalidPicture(QStringLiteral("PNG"), QStringLiteral("pixel format"));

    QImage image = NewPictureImage(int(read.Width), int(read.Height), QImage::Format_ARGB32);
    std::vector<png_bytep> rows(read.Height);
    for (png_uint_32 y = 0; y < read.Height; ++y)
        rows[y] = image.scanLine(int(y));
    if (!ReadPngRows(&read, rows.data())) ThrowPngFailure(read);
    return image;
}

std::unique_ptr<TGraphic> LoadPngFile(const QString& fileName) {
    const QByteArray data = ReadPictureFile(fileName);
    return std::make_unique<TAlphaGraphic>(
        DecodePng(reinterpret_cast<const uchar*>(data.constData()), data.size()));
}

QByteArray EncodePng(const QImage& image) {
    if (image.isNull()) throw EImageSaveError(QStringLiteral("Cannot save an empty image"));
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QByteArray out;
    TPngWrite write;
    write.Out = &out;
    write.Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &write.Error, PngError, PngWarning);
    if (!write.Png) throw EImageSaveError(QStringLiteral("PNG encoder error: out of memory"));
    const TPngWriteGuard guard{write};
    write.Info = png_create_info_struct(write.Png);
    if (!write.Info) throw EImageSaveError(QStringLiteral("PNG encoder error: out of memory"));
    if (!WritePngImage(&write, &rgb))
        throw EImageSaveError(
            QStringLiteral("PNG encoder error: %1").arg(QString::fromLatin1(write.Error.Message)));
    return out;
}
