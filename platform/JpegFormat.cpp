#include "JpegFormat.h"

#include "AlphaGraphic.h"
#include "Exceptions.h"
#include "ImageSave.h"
#include "PictureFile.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>
// jpeglib.h needs <cstdio> before it, and jerror.h needs it.
#include <jpeglib.h>

#include <jerror.h>

// libjpeg reports errors through error_exit, which must not return: ours longjmps back. Each function
// that calls setjmp below holds no C++ object, and no callback lets a C++ exception pass through
// libjpeg's C frames: whatever must be made or freed lives in the caller of those functions.

namespace {

// A progressive file may hold any number of scans, each a full pass over the coefficients; real files
// have about ten, and a hostile one with thousands would keep us decoding for minutes. The work is
// scans times pixels, so the bound is on that product: the largest picture gets 16 scans, one the size
// of a common screen a few hundred.
constexpr int kMaxJpegScans = 500;
constexpr qint64 kMaxJpegScanPixels = 16 * kMaxPicturePixels;
// Huffman coding spends at least one bit on every 8 x 8 block of a component: the entropy-coded data
// of a file can only cover so many blocks. Without the check a few hundred bytes would decode to the
// largest picture, every block of it filled in by the decoder after the data ran out. Arithmetic
// coding can spend less, but its decoder fills in silently: such a file is held to the same rate, which
// only a picture of one flat colour falls below.
constexpr qint64 kBlockSide = 8;
constexpr qint64 kMinBitsPerBlock = 1;
constexpr size_t kOutputChunk = 64 * 1024;

struct TJpegError {
    jpeg_error_mgr Manager; // first: libjpeg hands us a pointer to it
    jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
    bool Truncated;
};

[[noreturn]] void JpegFail(j_common_ptr info, const char* message) {
    auto* error = reinterpret_cast<TJpegError*>(info->err);
    std::strncpy(error->Message, message, JMSG_LENGTH_MAX - 1);
    error->Message[JMSG_LENGTH_MAX - 1] = '\0';
    std::longjmp(error->Jump, 1);
}

void JpegErrorExit(j_common_ptr info) {
    auto* error = reinterpret_cast<TJpegError*>(info->err);
    (*info->err->format_message)(info, error->Message);
    std::longjmp(error->Jump, 1);
}

void JpegOutputMessage(j_common_ptr) {
    // Warnings about corrupt data are not for the user: the picture is shown as libjpeg recovers it.
}

void InitJpegError(TJpegError& error) {
    jpeg_std_error(&error.Manager);
    error.Manager.error_exit = JpegErrorExit;
    error.Manager.output_message = JpegOutputMessage;
}

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr info) {
    // The whole file was handed over at once: asking for more means it ended too soon.
    reinterpret_cast<TJpegError*>(info->err)->Truncated = true;
    ERREXIT(info, JERR_INPUT_EOF);
    return FALSE;
}

void SkipInputData(j_decompress_ptr info, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* source = info->src;
    if (size_t(count) > source->bytes_in_buffer) {
        reinterpret_cast<TJpegError*>(info->err)->Truncated = true;
        ERREXIT(info, JERR_INPUT_EOF);
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

void LimitScans(j_common_ptr info) {
    if (!info->is_decompressor) return;
    const auto* d = reinterpret_cast<j_decompress_ptr>(info);
    const qint64 pixels = qint64(d->image_width) * d->image_height;
    if (d->input_scan_number > kMaxJpegScans || d->input_scan_number * pixels > kMaxJpegScanPixels)
        JpegFail(info, "too many scans");
}

bool JpegDataCanHold(const jpeg_decompress_struct& info, qint64 size) {
    const qint64 blocks = ((qint64(info.image_width) + kBlockSide - 1) / kBlockSide) *
                          ((qint64(info.image_height) + kBlockSide - 1) / kBlockSide);
    return blocks * kMinBitsPerBlock <= size * 8;
}

struct TJpegDecode {
    jpeg_decompress_struct Info;
    TJpegError Error;
    jpeg_source_mgr Source;
    jpeg_progress_mgr Progress;
    const uchar* Data;
    size_t Size;
};

bool ReadJpegHeader(TJpegDecode* d) {
    if (setjmp(d->Error.Jump)) return false;
    jpeg_create_decompress(&d->Info);
    d->Source.next_input_byte = d->Data;
    d->Source.bytes_in_buffer = d->Size;
    d->Source.init_source = InitSource;
    d->Source.fill_input_buffer = FillInputBuffer;
    d->Source.skip_input_data = SkipInputData;
    d->Source.resync_to_restart = jpeg_resync_to_restart;
    d->Source.term_source = TermSource;
    d->Info.src = &d->Source;
    d->Progress.progress_monitor = LimitScans;
    d->Info.progress = &d->Progress;
    jpeg_read_header(&d->Info, TRUE);
    return true;
}

bool StartJpegDecompress(TJpegDecode* d) {
    if (setjmp(d->Error.Jump)) return false;
    switch (d->Info.jpeg_color_space) {
    case JCS_GRAYSCALE:
        d->Info.out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        d->Info.out_color_space = JCS_CMYK;
        break;
    default:
        d->Info.out_color_space = JCS_RGB;
        break;
    }
    jpeg_start_decompress(&d->Info);
    return true;
}

// Rows into 32-bit pixels: line y starts at pixels + y * pixelsPerLine.
bool ReadJpegRows(TJpegDecode* d, JSAMPLE* row, QRgb* pixels, qsizetype pixelsPerLine) {
    if (setjmp(d->Error.Jump)) return false;
    const JDIMENSION width = d->Info.output_width;
    const int components = d->Info.output_components;
    // Adobe's CMYK files store the inks inverted, as almost every CMYK JPEG does.
    const bool inverted = d->Info.saw_Adobe_marker;
    while (d->Info.output_scanline < d->Info.output_height) {
        QRgb* out = pixels + qsizetype(d->Info.output_scanline) * pixelsPerLine;
        JSAMPROW rows[1] = {row};
        if (jpeg_read_scanlines(&d->Info, rows, 1) != 1)
            JpegFail(reinterpret_cast<j_common_ptr>(&d->Info), "no scan line");
        for (JDIMENSION x = 0; x < width; ++x) {
            const JSAMPLE* s = row + x * components;
            if (components == 1) {
                out[x] = qRgb(s[0], s[0], s[0]);
            } else if (components == 3) {
                out[x] = qRgb(s[0], s[1], s[2]);
            } else {
                const int c = inverted ? s[0] : 255 - s[0], m = inverted ? s[1] : 255 - s[1],
                          y = inverted ? s[2] : 255 - s[2], k = inverted ? s[3] : 255 - s[3];
                out[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
            }
        }
    }
    return true;
}

struct TJpegDecodeGuard {
    TJpegDecode& D;
    ~TJpegDecodeGuard() { jpeg_destroy_decompress(&D.Info); }
};

[[noreturn]] void ThrowJpegFailure(const TJpegDecode& d) {
    if (d.Error.Truncated) ThrowReadError();
    ThrowInvalidPicture(QStringLiteral("JPEG"), QString::fromLatin1(d.Error.Message));
}

struct TJpegEncode {
    jpeg_compress_struct Info;
    TJpegError Error;
    jpeg_destination_mgr Destination;
    QByteArray* Out;
    JOCTET Buffer[kOutputChunk];
};

bool AppendOutput(TJpegEncode* e, size_t count) {
    try {
        e->Out->append(reinterpret_cast<const char*>(e->Buffer), qsizetype(count));
        return true;
    } catch (...) {
        return false;
    }
}

void InitDestination(j_compress_ptr info) {
    auto* e = reinterpret_cast<TJpegEncode*>(info->client_data);
    info->dest->next_output_byte = e->Buffer;
    info->dest->free_in_buffer = kOutputChunk;
}

boolean EmptyOutputBuffer(j_compress_ptr info) {
    auto* e = reinterpret_cast<TJpegEncode*>(info->client_data);
    if (!AppendOutput(e, kOutputChunk)) JpegFail(reinterpret_cast<j_common_ptr>(info), "out of memory");
    info->dest->next_output_byte = e->Buffer;
    info->dest->free_in_buffer = kOutputChunk;
    return TRUE;
}

void TermDestination(j_compress_ptr info) {
    auto* e = reinterpret_cast<TJpegEncode*>(info->client_data);
    if (!AppendOutput(e, kOutputChunk - info->dest->free_in_buffer))
        JpegFail(reinterpret_cast<j_common_ptr>(info), "out of memory");
}

bool CompressJpeg(TJpegEncode* e, const QImage* rgb, JSAMPLE* row, int quality) {
    if (setjmp(e->Error.Jump)) return false;
    jpeg_create_compress(&e->Info);
    e->Info.client_data = e;
    e->Destination.init_destination = InitDestination;
    e->Destination.empty_output_buffer = EmptyOutputBuffer;
    e->Destination.term_destination = TermDestination;
    e->Info.dest = &e->Destination;
    e->Info.image_width = JDIMENSION(rgb->width());
    e->Info.image_height = JDIMENSION(rgb->height());
    e->Info.input_components = 3;
    e->Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&e->Info);
    jpeg_set_quality(&e->Info, quality, TRUE);
    jpeg_start_compress(&e->Info, TRUE);
    while (e->Info.next_scanline < e->Info.image_height) {
        const QRgb* src = reinterpret_cast<const QRgb*>(rgb->constScanLine(int(e->Info.next_scanline)));
        for (int x = 0; x < rgb->width(); ++x) {
            row[3 * x] = JSAMPLE(qRed(src[x]));
            row[3 * x + 1] = JSAMPLE(qGreen(src[x]));
            row[3 * x + 2] = JSAMPLE(qBlue(src[x]));
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&e->Info, rows, 1);
    }
    jpeg_finish_compress(&e->Info);
    return true;
}

struct TJpegEncodeGuard {
    TJpegEncode& E;
    ~TJpegEncodeGuard() { jpeg_destroy_compress(&E.Info); }
};

// JPEG's frame header holds 16-bit sizes, and libjpeg refuses more than this.
constexpr int kMaxJpegSide = JPEG_MAX_DIMENSION;

} // namespace

QImage DecodeJpeg(const uchar* data, qint64 size) {
    auto d = std::make_unique<TJpegDecode>();
    std::memset(d.get(), 0, sizeof(TJpegDecode));
    d->Data = data;
    d->Size = size_t(std::max<qint64>(size, 0));
    InitJpegError(d->Error);
    d->Info.err = &d->Error.Manager;
    const TJpegDecodeGuard guard{*d};

    if (!ReadJpegHeader(d.get())) ThrowJpegFailure(*d);
    CheckPictureSize(QStringLiteral("JPEG"), d->Info.image_width, d->Info.image_height);
    if (!JpegDataCanHold(d->Info, d->Size)) ThrowReadError();
    if (!StartJpegDecompress(d.get())) ThrowJpegFailure(*d);
    const int components = d->Info.output_components;
    if (d->Info.output_width != d->Info.image_width || d->Info.output_height != d->Info.image_height ||
        (components != 1 && components != 3 && components != 4))
        ThrowInvalidPicture(QStringLiteral("JPEG"), QStringLiteral("pixel format"));

    QImage image =
        NewPictureImage(int(d->Info.output_width), int(d->Info.output_height), QImage::Format_ARGB32);
    std::vector<JSAMPLE> row(size_t(d->Info.output_width) * size_t(components));
    if (!ReadJpegRows(d.get(), row.data(), reinterpret_cast<QRgb*>(image.bits()), image.bytesPerLine() / 4))
        ThrowJpegFailure(*d);
    return image;
}

std::unique_ptr<TGraphic> LoadJpegFile(const QString& fileName) {
    const QByteArray data = ReadPictureFile(fileName);
    return std::make_unique<TAlphaGraphic>(
        DecodeJpeg(reinterpret_cast<const uchar*>(data.constData()), data.size()));
}

QByteArray EncodeJpeg(const QImage& image, int quality) {
    if (image.isNull()) throw EImageSaveError(QStringLiteral("Cannot save an empty image"));
    if (image.width() > kMaxJpegSide || image.height() > kMaxJpegSide)
        throw EImageSaveError(QStringLiteral("The image is too large for a JPEG file"));
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QByteArray out;
    auto e = std::make_unique<TJpegEncode>();
    std::memset(e.get(), 0, sizeof(TJpegEncode));
    e->Out = &out;
    InitJpegError(e->Error);
    e->Info.err = &e->Error.Manager;
    const TJpegEncodeGuard guard{*e};
    std::vector<JSAMPLE> row(size_t(rgb.width()) * 3);
    if (!CompressJpeg(e.get(), &rgb, row.data(), quality))
        throw EImageSaveError(
            QStringLiteral("JPEG encoder error: %1").arg(QString::fromLatin1(e->Error.Message)));
    return out;
}
