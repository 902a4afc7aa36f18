#pragma once

#include <QByteArray>
#include <QCursor>
#include <QImage>
#include <QPoint>
#include <QRegion>
#include <optional>

// Every cursor of the programs is shown at the system's default cursor size, whatever the size of the
// image stored in its file.
constexpr int kCursorSize = 32;

// One cursor picture, scaled to kCursorSize x kCursorSize, as a cursor file describes it:
// pixels it covers (with their alpha), pixels that invert the screen under them, and its hot spot.
//
// A monochrome-mask cursor draws as dst = (dst AND mask) XOR colour. Pixels with mask 0 are opaque
// colour; pixels with mask 1 keep the screen, XORed with their colour: those go to Invert.
struct TCursorFrame {
    QImage Image;  // Format_ARGB32 (not premultiplied), kCursorSize square
    QImage Invert; // Format_RGB32 XOR values, or null when the cursor inverts nothing
    QPoint HotSpot;

    bool IsNull() const { return Image.isNull(); }

    // The cursor drawn onto an RGB32 image with its own mask, as the pointer would look there; only
    // pixels inside clip are touched (an empty clip touches all). The alpha byte stays 0xFF.
    void DrawOn(QImage& target, int x, int y, const QRegion& clip = QRegion()) const;
    // The cursor as seen over white: inverting pixels are shown as they invert white, uncovered
    // pixels are transparent. Used for previews and for the pointer itself, since X11 pointers cannot
    // invert the screen.
    QImage Preview() const;
    QCursor ToCursor() const;
};

// Decodes one static cursor (or icon) file held in memory: its directory, and the entry nearest the
// default cursor size, with a BMP payload (1, 4, 8, 16, 24 or 32 bits, AND and XOR masks) or a PNG
// payload. Nothing when the data is not such a file; every offset and size is checked.
std::optional<TCursorFrame> DecodeCursorData(const QByteArray& data);
