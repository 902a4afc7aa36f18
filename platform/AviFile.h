#pragma once

#include "platform/AviErrors.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The writing side of the AVI file service: one file with one video stream of already encoded
// frames, each at a position of the stream's time line. Calls follow the service's order: Open,
// CreateStream, SetFormat, then Write for each frame, and Close, which completes the file (index,
// frame counts, and the OpenDML parts of a file past 1 GiB). Every call returns an AviResult and
// throws nothing.
//
// Positions grow strictly: each written frame takes a position above the last one, and positions
// left out in between stay empty, each an empty chunk that the stream's length counts and that a
// reader shows as the frame before it. That is how a late grab drops frames without stretching time.
class TAviFileWriter {
public:
    TAviFileWriter();
    ~TAviFileWriter(); // closes an open file, as Close does
    TAviFileWriter(const TAviFileWriter&) = delete;
    TAviFileWriter& operator=(const TAviFileWriter&) = delete;

    // Creates the file for writing; an existing file of that name is emptied. AVIERR_FILEOPEN when it
    // cannot be created (missing folder, access denied, read-only); AVIERR_BADHANDLE when a file is
    // already open.
    AviResult Open(const QString& fileName);

    // The file's video stream, playing framesPerSecond positions per second (scale 1, rate
    // framesPerSecond, 1 to 1000). AVIERR_UNSUPPORTED for a second stream.
    AviResult CreateStream(int framesPerSecond);
    // The same at rate / scale positions per second (30000 / 1001 for NTSC video), kept exactly: the
    // stream's scale and rate are the fraction in its lowest terms. At most 1000 frames per second.
    AviResult CreateStream(std::uint32_t rate, std::uint32_t scale);

    // The stream's format: a bitmap-info header and, at 8 bits per pixel or fewer, its colour table,
    // as the first biSize + biClrUsed * 4 bytes of a packed bitmap block. Its size is the frame size
    // of the stream. biCompression picks what the frames hold: BI_RGB for bottom-up rows of 1, 4, 8,
    // 16, 24 or 32 bits, or "MSVC" (also "msvc", "CRAM", "cram") for Microsoft Video 1 at 8 or 16
    // bits. AVIERR_BADFORMAT for any other format; AVIERR_UNSUPPORTED when a format is set already.
    AviResult SetFormat(const void* format, std::size_t size);

    // One encoded frame at a position at or above Length(). An uncompressed frame holds exactly the
    // format's biSizeImage bytes and is always a key frame; a compressed one is non-empty and a key
    // frame as keyFrame says. A position below Length() is refused with AVIERR_BADPARAM and nothing is
    // written.
    AviResult Write(int position, const void* data, std::size_t size, bool keyFrame);

    // Completes and closes the file, and waits until its data are on the disk, so that a move over
    // another file never leaves a half-written one. A file whose format was never set stays empty.
    // Nothing happens when no file is open.
    // After a failed write (a full disk) the file is completed all the same, as CompleteWrittenAvi
    // does, and the failure is answered.
    AviResult Close();

    bool IsOpen() const;
    // Positions of the stream so far: the last written position + 1, 0 before the first frame.
    int Length() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};

// Completes an AVI file our writer left unfinished after a failed write: its chunks are walked, a torn
// last chunk is cut off, and an index and the frame counts of the headers are written for every
// position that reached the file, keyFrames telling which ones are key frames. Where the disk has no
// room left for the index (16 bytes a position), the last frames give up theirs. Answers the
// positions the file then holds, -1 when it cannot be completed.
int CompleteWrittenAvi(const QByteArray& path, const std::vector<bool>& keyFrames);
