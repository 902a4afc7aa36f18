#pragma once

#include "platform/VideoCompressor.h"
#include "recorder/RecorderSeams.h"

#include <memory>

class TAviFileWriter;
class TCompressedAviStream;

// A recording's file: our AVI writer with one video stream, compressed by the compressor that answers
// to the recorder's four-character code.
class TAviRecordingSink : public TRecordingSink {
public:
    explicit TAviRecordingSink(TVideoCompressorFactory compressors);
    ~TAviRecordingSink() override;

    uint32_t Open(const QString& fileName) override;
    uint32_t CreateStream(int framesPerSecond, const TPackedDib& first) override;
    uint32_t MakeCompressedStream(uint32_t fourCC, int keyFramesEvery, int quality) override;
    uint32_t SetFormat(const TPackedDib& first) override;
    uint32_t Write(int position, const TPackedDib& block) override;
    uint32_t Close() override;

private:
    TVideoCompressorFactory Compressors;
    std::unique_ptr<TAviFileWriter> File;
    std::unique_ptr<TCompressedAviStream> Stream;
};
