#pragma once

// Files for the AVI reader's and writer's tests: made by the ffmpeg command or by our recorder's
// writing road, and decoded by the ffmpeg command to compare pictures with.
#include "support/FileSizeLimit.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

class TSaveAvi;

// Runs ffmpeg quietly with arguments, overwriting its output; true when it succeeds.
bool RunFFmpeg(const QStringList& arguments);
// A test pattern of frames pictures at rate ("10", "30000/1001"), its video as codecArguments say
// ("-c:v mjpeg -q:v 3"), into file, whose extension picks the container.
bool MakeTestAvi(const QString& file, int width, int height, const QString& rate, int frames,
                 const QString& codecArguments);
// The file's pictures as FFmpeg's own decoder gives them, as RGB32 pictures; empty when the command
// fails. byTime: one per position of the time line, an empty position repeating the picture before it
// (FFmpeg times the pictures of a codec that holds frames back one position late); otherwise every
// picture in the order the decoder gives them out.
std::vector<QImage> DecodeWithFFmpeg(const QString& file, bool byTime = false);
// The stream's rate as ffprobe reports it ("25/1"), and its frame count.
QString ProbeRate(const QString& file);
int ProbeFrameCount(const QString& file);

// Opens file with our reader and checks its frame delay and its rate, numerator / denominator.
void ExpectReadRate(const QString& file, int delay, std::uint32_t numerator, std::uint32_t denominator);

// The largest difference of one colour channel between two pictures; 255 when their sizes differ.
int MaxChannelDifference(const QImage& a, const QImage& b);
// The mean difference of the colour channels, for lossy codecs; 255 when the sizes differ.
double MeanChannelDifference(const QImage& a, const QImage& b);

// A picture that shows number (0..63) in its colours, and the number a decoded picture shows,
// -1 when none is near.
QImage PatternPicture(int width, int height, int number);
int PatternNumberOf(const QImage& picture);

// A recording as our recorder writes it (its sink, Microsoft Video 1 at its defaults, 10 frames per
// second), with PatternPicture(position) at each of positions and the others empty.
bool WriteMsvcRecording(const QString& file, int width, int height, const std::vector<int>& positions);

// Copies source into target through the editor's reader and writer, as a save does: the frame at
// each position (source position as frameOf maps it), after out's settings. False when a step fails.
bool CopyThroughEditor(const QString& source, const QString& target, TSaveAvi& out,
                       const std::function<int(int position)>& frameOf = {});

// Open file descriptors of this process.
int OpenDescriptorCount();
