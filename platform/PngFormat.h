#pragma once

#include "Picture.h"

#include <QByteArray>
#include <QImage>
#include <memory>

// PNG pictures through libpng.

bool IsPngData(const uchar* data, qint64 size);

// Format_ARGB32 with straight alpha (opaque for a PNG without alpha or transparent colour). Throws
// EReadError when the data ends too soon, EInvalidGraphic "PNG image is not valid (...)" when libpng
// rejects it or it is larger than the picture limits.
QImage DecodePng(const uchar* data, qint64 size);

// The "png" decoder of the picture registry: a picture drawn with its alpha.
std::unique_ptr<TGraphic> LoadPngFile(const QString& fileName);

// An 8-bit RGB PNG of the image (alpha dropped). Throws EImageSaveError.
QByteArray EncodePng(const QImage& image);
