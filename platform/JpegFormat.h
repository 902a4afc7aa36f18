#pragma once

#include "Picture.h"

#include <QByteArray>
#include <QImage>
#include <memory>

// JPEG pictures through libjpeg (the release 6b interface).

// Opaque Format_ARGB32 (grey, colour and CMYK files). Throws EReadError when the data ends before the
// picture is complete, EInvalidGraphic "JPEG image is not valid (...)" when libjpeg rejects it or it
// is larger than the picture limits.
QImage DecodeJpeg(const uchar* data, qint64 size);

// The "jpg" and "jpeg" decoder of the picture registry: an opaque picture.
std::unique_ptr<TGraphic> LoadJpegFile(const QString& fileName);

// A baseline colour JPEG of the image at the given quality (0 to 100; alpha dropped). Throws
// EImageSaveError.
QByteArray EncodeJpeg(const QImage& image, int quality);
