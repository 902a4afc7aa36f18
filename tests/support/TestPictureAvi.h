#pragma once

#include <QString>

// Frames of ffmpeg's test picture (320 x 240, 10 a second), stored uncompressed so that every pixel
// is known; false when ffmpeg fails.
bool WriteTestPictureAvi(const QString& file, int frames);
