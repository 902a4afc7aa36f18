#pragma once

#include "Picture.h"

#include <QByteArray>
#include <QImage>
#include <memory>

// GIF pictures through giflib.

// The first image of the file on its logical screen, Format_ARGB32: the transparent index of its
// graphic control block and the screen outside the image are fully transparent. Throws EReadError
// when the data ends too soon, EInvalidGraphic "GIF image is not valid (...)" otherwise.
QImage DecodeGif(const uchar* data, qint64 size);

// The "gif" decoder of the picture registry: a picture drawn with its transparent colour left out.
std::unique_ptr<TGraphic> LoadGifFile(const QString& fileName);

// A one-image GIF of the image (alpha dropped). An image of at most 256 colours keeps them exactly;
// a true-colour image is first reduced to 256 colours by giflib's median-cut quantizer. Throws
// EImageSaveError.
QByteArray EncodeGif(const QImage& image);
