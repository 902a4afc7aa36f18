#include "SolidRecording.h"

#include "platform/BitmapInfoHeader.h"
#include "platform/Msvc1Compressor.h"
#include "recorder/AviRecordingSink.h"
#include "recorder/PackedDib.h"

#include <QImage>
#include <cstdlib>

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

bool WriteSolidRecording(const QString& file, QSize size, int framesPerSecond, int count) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(SolidColor(0));
    TAviRecordingSink sink(Msvc1CompressorFactory());
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
    return sink.Close() == 0;
}
