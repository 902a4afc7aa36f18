#pragma once

// Source files whose frames are known again after the lossy 5-bit codec: frame i is one solid
// colour, SolidColour(i), with optional noise rows at the bottom to make the frames big.
#include "avi/SaveAvi.h"

#include <QImage>
#include <QRandomGenerator>
#include <QString>
#include <cstdlib>

inline QRgb SolidColour(int i) {
    static const QRgb colours[] = {0xFFE02020, 0xFF20E020, 0xFF2020E0, 0xFFE0E020,
                                   0xFF20E0E0, 0xFFE020E0, 0xFF808080, 0xFFF0A040};
    return colours[i % 8];
}

inline QImage SolidFrame(int i, int width, int height, bool noisy) {
    QImage frame(width, height, QImage::Format_RGB32);
    frame.fill(SolidColour(i));
    if (noisy) {
        QRandomGenerator noise(i);
        for (int y = height - height / 3; y < height; ++y)
            for (int x = 0; x < width; ++x)
                frame.setPixel(x, y, 0xFF000000 | noise.generate());
    }
    return frame;
}

// False when the file could not be written.
inline bool MakeSolidAvi(const QString& path, int frames, int width = 160, int height = 120,
                         bool noisy = false, std::uint32_t rate = 30000, std::uint32_t scale = 1001) {
    TSaveAvi writer;
    writer.SetFrameRate(rate, scale);
    try {
        writer.Open(path, SolidFrame(0, width, height, noisy));
    } catch (const EAviSaveError&) {
        return false;
    }
    for (int i = 0; i < frames; ++i)
        if (!writer.AddFrame(SolidFrame(i, width, height, noisy))) return false;
    return writer.Close();
}

// Equal colours within what the codec's 5 bits per channel keep.
inline bool NearColour(QRgb a, QRgb b, int tolerance = 12) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Which source frame a picture shows, by its colour at (x, y); -1 when none.
inline int SolidIndexAt(const QImage& picture, int x, int y) {
    for (int i = 0; i < 8; ++i)
        if (NearColour(picture.pixel(x, y), SolidColour(i))) return i;
    return -1;
}
