#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Limits every decoder checks before it allocates. No stamp the drawing window could show comes near
// them, and a hostile header must never make us allocate gigabytes.
constexpr int kMaxPictureSide = 32768;
constexpr qint64 kMaxPicturePixels = qint64(1) << 26; // 8192 x 8192: 256 MiB as 32-bit pixels
// The largest picture within the limits stored uncompressed, with room for its headers.
constexpr qint64 kMaxPictureFileSize = kMaxPicturePixels * 4 + (qint64(1) << 20);

// The whole file. EFOpenError ("Cannot open file "%s". <reason>") when it cannot be opened,
// EReadError when reading it fails, EInvalidGraphic when it is larger than any picture we accept.
QByteArray ReadPictureFile(const QString& fileName);

[[noreturn]] void ThrowOpenError(const QString& fileName, const QString& reason);
[[noreturn]] void ThrowReadError();

// EInvalidGraphic "<kind> image is not valid" (with the decoder's detail in brackets when given).
[[noreturn]] void ThrowInvalidPicture(const QString& kind, const QString& detail = QString());

// Rejects a width or height that is not positive, and sizes beyond the limits above, before anything
// is allocated for them.
void CheckPictureSize(const QString& kind, qint64 width, qint64 height);

// An image of a size already checked; EInvalidGraphic "Out of memory" when it cannot be allocated.
QImage NewPictureImage(int width, int height, QImage::Format format);
