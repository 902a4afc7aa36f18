#pragma once

#include "ByteReader.h"
#include "IconGraphic.h"

#include <QPoint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

// Icon files (".ico"): a directory of images, each a device-independent bitmap with its AND mask or
// a PNG stream.

// Resource types of the directory of an icon or cursor file: 1 for icons, 2 for cursors; 0 is what
// old tools wrote for stock icons.
constexpr uint16_t kStockIconType = 0, kIconType = 1, kCursorType = 2;

// One entry of the directory. Bytes 4 to 7 of an entry hold an icon image's planes and bits per
// pixel but a cursor image's hot spot: both readings are given.
struct TIconDirEntry {
    // 1 to 256: a size byte of 0 means 256.
    int Width = 0;
    int Height = 0;
    // An icon image's colour depth: its bits per pixel, or without them the depth its colour count
    // needs.
    int BitCount = 0;
    QPoint HotSpot;
    qint64 Offset = 0;
    qint64 Size = 0;
};

struct TIconDirectory {
    uint16_t Type = kIconType;
    std::vector<TIconDirEntry> Entries;
};

// The directory at the start of an icon or cursor file. None when its header is not that of such a
// file of one of the given types (reserved word not 0, another type, or no entries); EReadError when
// the data ends within it. The entries' images are not looked at.
std::optional<TIconDirectory> ReadIconDirectory(const TByteReader& r, std::initializer_list<uint16_t> types);

// One image of an icon or cursor file: the bytes its directory entry points at. Throws EReadError
// when they end too soon and EInvalidGraphic "Icon image is not valid (...)" otherwise.
std::unique_ptr<TIconGraphic> DecodeIconImage(const uchar* data, qint64 size);

// The "ico" decoder of the picture registry. Of the images in the file it takes the one whose size
// is nearest to the standard 32 x 32 icon, and of those the one with the most colours.
std::unique_ptr<TGraphic> LoadIcoFile(const QString& fileName);
