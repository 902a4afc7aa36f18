#pragma once

#include "platform/Exceptions.h"

#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>

// A failure of the editor's AVI writer to create its file; the message names the step and its code.
class EAviSaveError : public Exception {
    using Exception::Exception;
};

class TAviFileWriter;
class TCompressedAviStream;

// Framory's writer of AVI files: one new file with one video stream, compressed by the recorder's
// compressor on the recorder's writing road, whose format the first bitmap fixes; then frames at
// positions 0, 1, 2, ... One writer writes one file.
class TSaveAvi {
public:
    TSaveAvi();
    ~TSaveAvi(); // closes, as Close does
    TSaveAvi(const TSaveAvi&) = delete;
    TSaveAvi& operator=(const TSaveAvi&) = delete;

    // Whole frames per second (scale 1), as before Open; the default is 10.
    void SetFrameRate(int framesPerSecond);
    // A rate of rate / scale frames per second, so that a copy plays exactly at its source's speed
    // (30000 / 1001 for NTSC video, which whole frames would make 30).
    void SetFrameRate(std::uint32_t rate, std::uint32_t scale);

    // Creates the file and its stream, at the size and format of first, which is not written as a
    // frame. Raises EAviSaveError naming the failed step and its code; what was created is released.
    void Open(const QString& fileName, const QImage& first);

    // Writes bitmap at FramePosition(), converted to the stream's size first (cut off or padded
    // with black at the right and bottom). False when it cannot be written: the position stays for
    // the next frame, which the compressor then codes as a key frame.
    bool AddFrame(const QImage& bitmap);

    // Completes the file and releases everything Open created; also completes a file whose writing
    // failed, with every frame written before the failure. False when completing it failed.
    bool Close();

    // The settings, as after creation: the depth of the blocks built from bitmaps (the screen's, as
    // its server stores a pixel: 32 at depth 24, 16 at depth 16), the compressor's code ("MSVC"),
    // the key frame interval and the quality asked of it. Changed before Open, they apply to the file
    // it creates.
    int BitsPerPixel;
    std::uint32_t Compressor;
    int KeyFrameEvery = 5;
    int Quality = 6550;

    // The stream's rate: RateNumerator() / RateDenominator() frames per second.
    std::uint32_t RateNumerator() const { return Rate; }
    std::uint32_t RateDenominator() const { return RateScale; }
    // The result of the latest call of the writing service in Open, AddFrame or Close.
    std::uint32_t LastResult() const { return Result; }
    // Where the next frame goes.
    int FramePosition() const { return Position; }

private:
    std::uint32_t Rate = 10;
    std::uint32_t RateScale = 1;
    std::uint32_t Result = 0;
    int Position = 0;
    int Width = 0;
    int Height = 0;
    std::unique_ptr<TAviFileWriter> File;
    std::unique_ptr<TCompressedAviStream> Stream;

    void Release();
};
