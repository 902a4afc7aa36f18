#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

// A recording read back as players read it, through libavformat and FFmpeg's decoders.
struct TRecordedAvi {
    bool Opened = false;
    std::int64_t Length = 0; // positions of the stream, the empty ones included
    int FramesPerSecond = 0;
    QSize Size;
    // Every decoded frame with its position, in file order.
    std::vector<std::pair<std::int64_t, QImage>> Frames;
};

TRecordedAvi ReadRecordedAvi(const QString& fileName);

// True once the writer has completed the file: its RIFF size covers the whole file.
bool AviFileComplete(const QString& fileName);
