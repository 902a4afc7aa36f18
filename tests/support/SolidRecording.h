#pragma once

#include <QColor>
#include <QSize>
#include <QString>

// Recordings for the editor's tests, written as our recorder writes them (its sink, Microsoft Video 1,
// key frame every 5): every position one solid colour, so that each frame is known after the lossy
// codec.

// The colour of position i: neighbours differ in every channel by far more than the codec's error.
QColor SolidColor(int position);
// Whether a decoded pixel shows position i's colour.
bool ShowsPosition(QRgb pixel, int position);

bool WriteSolidRecording(const QString& file, QSize size, int framesPerSecond, int count);
// The same, but the writing process is ended after count frames without closing the file, as when a
// recording is killed: the frames are on disk, the index and the header's counts are not.
bool WriteKilledRecording(const QString& file, QSize size, int framesPerSecond, int count);

// Which of positions 0 to count - 1 a decoded pixel shows, or -1 for none.
int PositionShown(QRgb pixel, int count);
