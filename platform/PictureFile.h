#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Limits every decoder checks before it allocates. A picture is a stamp drawn at its natural size on
// the screen, so one larger than a few screens could never be seen whole, and a hostile header must
// not make us allocate for it: four screens of the largest size in common use (3840 x 2160).
constexpr int kLargestScreenWidth = 3840;
constexpr int kLargestScreenHeight = 2160;
constexpr int kStampScreens = 4;
constexpr int kMaxPictureSide = kStampScreens * kLargestScreenWidth;
constexpr qint64 kMaxPicturePixels = qint64(kStampScreens) * kLargestScreenWidth * kLargestScreenHeight;
// The largest picture within the limits stored uncompressed, with room for its headers.
constexpr qint64 kMaxPictureFileSize = kMaxPicturePixels * 4 + (qint64(1) << 20);

// The whole file. EFOpenError ("Cannot open file "%s". <reason>") when it cannot be opened or is not a
// regular file (a FIFO or a device would block the reading for ever), EReadError when reading it
// fails, EInvalidGraphic when it is larger than any picture we accept.
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
