#include "SolidRecording.h"

#include "platform/BitmapInfoHeader.h"
#include "platform/Msvc1Compressor.h"
#include "recorder/AviRecordingSink.h"
#include "recorder/PackedDib.h"

#include <QImage>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

QColor SolidColor(int position) {
    return QColor((position * 67) % 256, (position * 139 + 80) % 256, (position * 29 + 160) % 256);
}

bool ShowsPosition(QRgb pixel, int position) {
    const QColor want = SolidColor(position);
    // Microsoft Video 1 keeps 5 bits a channel.
    constexpr int tolerance = 12;
    return std::abs(qRed(pixel) - want.red()) <= tolerance &&
           std::abs(qGreen(pixel) - want.green()) <= tolerance &&
           std::abs(qBlue(pixel) - want.blue()) <= tolerance;
}

namespace {

// Writes the frames into a sink that the caller closes, or leaves open.
bool WriteFrames(TAviRecordingSink& sink, const QString& file, QSize size, int framesPerSecond, int count) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(SolidColor(0));
    const TPackedDib first = MakeDIB(picture, 32);
    if (sink.Open(file) || sink.CreateStream(framesPerSecond, first) ||
        sink.MakeCompressedStream(MakeFourCC('M', 'S', 'V', 'C'), 5, 6550) || sink.SetFormat(first))
        return false;
    TPackedDib block;
    for (int i = 0; i < count; ++i) {
        picture.fill(SolidColor(i));
        block = MakeDIB(picture, 32, std::move(block));
        if (sink.Write(i, block)) return false;
    }
    return true;
}

} // namespace

bool WriteSolidRecording(const QString& file, QSize size, int framesPerSecond, int count) {
    TAviRecordingSink sink(Msvc1CompressorFactory());
    return WriteFrames(sink, file, size, framesPerSecond, count) && sink.Close() == 0;
}

bool WriteKilledRecording(const QString& file, QSize size, int framesPerSecond, int count) {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // No destructor runs: the file stays as a killed recorder leaves it.
        TAviRecordingSink* sink = new TAviRecordingSink(Msvc1CompressorFactory());
        _exit(WriteFrames(*sink, file, size, framesPerSecond, count) ? 0 : 1);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int PositionShown(QRgb pixel, int count) {
    for (int i = 0; i < count; ++i)
        if (ShowsPosition(pixel, i)) return i;
    return -1;
}
