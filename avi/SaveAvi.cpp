#include "avi/SaveAvi.h"

#include "platform/AviErrors.h"
#include "platform/AviFile.h"
#include "platform/BitmapInfoHeader.h"
#include "platform/CompressedAviStream.h"
#include "platform/Msvc1Compressor.h"
#include "platform/Screen.h"
#include "recorder/PackedDib.h"

#include <QPainter>

namespace {

[[noreturn]] void RaiseSaveError(const char* step, AviResult code) {
    throw EAviSaveError(QString("Error in %1. Code:%2")
                            .arg(step, QString::number(code, 16).rightJustified(8, '0').toUpper()));
}

// The frame at the stream's size in 32-bit pixels: a bitmap of another size is cut off or padded
// with black at its right and bottom, since the compressor reads exactly the stream's rows.
QImage AtStreamSize(const QImage& bitmap, int width, int height) {
    if (bitmap.width() == width && bitmap.height() == height) return bitmap;
    QImage frame(width, height, QImage::Format_RGB32);
    frame.fill(Qt::black);
    QPainter painter(&frame);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, bitmap);
    return frame;
}

} // namespace

TSaveAvi::TSaveAvi() : BitsPerPixel(ScreenBitsPerPixel()), Compressor(MakeFourCC('M', 'S', 'V', 'C')) {}

TSaveAvi::~TSaveAvi() {
    Close();
}

void TSaveAvi::SetFrameRate(int framesPerSecond) {
    if (framesPerSecond > 0) SetFrameRate(std::uint32_t(framesPerSecond), 1);
}

void TSaveAvi::SetFrameRate(std::uint32_t rate, std::uint32_t scale) {
    Rate = rate;
    RateScale = scale;
}

void TSaveAvi::Open(const QString& fileName, const QImage& first) {
    Release();
    Position = 0;
    if (first.isNull()) RaiseSaveError("AviStreamSetFormat", Result = AVIERR_BADFORMAT);
    const TPackedDib block = MakeDIB(AtStreamSize(first, first.width(), first.height()), BitsPerPixel);
    if (!block) RaiseSaveError("AviStreamSetFormat", Result = AVIERR_MEMORY);
    File = std::make_unique<TAviFileWriter>();
    if ((Result = File->Open(fileName))) {
        Release();
        RaiseSaveError("AviFileOpen", Result);
    }
    if ((Result = File->CreateStream(Rate, RateScale))) {
        Release();
        RaiseSaveError("AviFileCreateStream", Result);
    }
    TCompressOptions options;
    options.Handler = Compressor;
    options.KeyFrameEvery = KeyFrameEvery;
    options.Quality = Quality;
    Stream = std::make_unique<TCompressedAviStream>(*File, options, Msvc1CompressorFactory());
    // The compressor is made once the format gives the frame size: none for the code asked is the
    // compressed stream's failure.
    if ((Result = Stream->SetFormat(block.Data(), block.FormatSize()))) {
        Release();
        RaiseSaveError(Result == AVIERR_NOCOMPRESSOR ? "AviMakeCompressedStream" : "AviStreamSetFormat",
                       Result);
    }
    Width = first.width();
    Height = first.height();
}

bool TSaveAvi::AddFrame(const QImage& bitmap) {
    if (!Stream) {
        Result = AVIERR_BADHANDLE;
        return false;
    }
    const TPackedDib block = MakeDIB(AtStreamSize(bitmap, Width, Height), BitsPerPixel);
    if (!block) {
        Result = AVIERR_MEMORY;
        return false;
    }
    Result = Stream->Write(Position, block.Bits(), block.BitsSize());
    if (Result) return false;
    ++Position;
    return true;
}

bool TSaveAvi::Close() {
    if (!File) return true;
    Stream.reset();
    const AviResult closed = File->Close();
    File.reset();
    if (closed) Result = closed;
    return closed == AVIERR_OK;
}

void TSaveAvi::Release() {
    Stream.reset();
    if (File) File->Close();
    File.reset();
}
