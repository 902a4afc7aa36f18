#include "AviRecordingSink.h"

#include "platform/AviErrors.h"
#include "platform/AviFile.h"
#include "platform/CompressedAviStream.h"

TAviRecordingSink::TAviRecordingSink(TVideoCompressorFactory compressors)
    : Compressors(std::move(compressors)), File(std::make_unique<TAviFileWriter>()) {}

TAviRecordingSink::~TAviRecordingSink() {
    Stream.reset();
    File.reset(); // closes a file that is still open
}

uint32_t TAviRecordingSink::Open(const QString& fileName) {
    return File->Open(fileName);
}

uint32_t TAviRecordingSink::CreateStream(int framesPerSecond, const TPackedDib&) {
    return File->CreateStream(framesPerSecond);
}

uint32_t TAviRecordingSink::MakeCompressedStream(uint32_t fourCC, int keyFramesEvery, int quality) {
    TCompressOptions options;
    options.Handler = fourCC;
    options.KeyFrameEvery = keyFramesEvery;
    options.Quality = quality;
    Stream = std::make_unique<TCompressedAviStream>(*File, options, Compressors);
    return AVIERR_OK;
}

uint32_t TAviRecordingSink::SetFormat(const TPackedDib& first) {
    if (!Stream) return AVIERR_BADHANDLE;
    return Stream->SetFormat(first.Data(), first.FormatSize());
}

uint32_t TAviRecordingSink::Write(int position, const TPackedDib& block) {
    if (!Stream) return AVIERR_BADHANDLE;
    return Stream->Write(position, block.Bits(), block.BitsSize());
}

uint32_t TAviRecordingSink::Close() {
    Stream.reset();
    return File->IsOpen() ? File->Close() : AVIERR_OK;
}
