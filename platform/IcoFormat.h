#pragma once

#include "IconGraphic.h"

#include <memory>

// Icon files (".ico"): a directory of images, each a device-independent bitmap with its AND mask or
// a PNG stream.

// One image of an icon or cursor file: the bytes its directory entry points at. Throws EReadError
// when they end too soon and EInvalidGraphic "Icon image is not valid (...)" otherwise.
std::unique_ptr<TIconGraphic> DecodeIconImage(const uchar* data, qint64 size);

// The "ico" decoder of the picture registry. Of the images in the file it takes the one whose size
// is nearest to the standard 32 x 32 icon, and of those the one with the most colours.
std::unique_ptr<TGraphic> LoadIcoFile(const QString& fileName);
