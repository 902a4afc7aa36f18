#pragma once

#include "platform/Exceptions.h"

#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>

// The only error of the editor's AVI reader: the file cannot be opened as an AVI file with a video
// stream that can be decoded. Its message is the text the user is shown, or empty for a failure that
// has none.
class EAviException : public Exception {
    using Exception::Exception;
};

// How the open file stands against the one Open read. Frames are read through the descriptor Open
// made, so a file put in the name's place by another program does not change them; a file written to
// or cut short in place does.
enum class TAviSourceState {
    Unchanged, // as it was opened (or no file is open)
    Changed,   // its size or modification time differ: frames may no longer be those it had
    Replaced,  // the name now leads to another file; the open one still reads as it was opened
};

// Framory's reader of AVI files: one file at a time, any frame of its first video stream in any
// order, decoded into one bitmap that the reader owns and fills again at every GetFrame.
class TAVIFile {
public:
    TAVIFile();
    ~TAVIFile(); // closes, as Close does
    TAVIFile(const TAVIFile&) = delete;
    TAVIFile& operator=(const TAVIFile&) = delete;

    // Opens fileName for frame reading; raises EAviException when it cannot.
    void Open(const QString& fileName);
    // Releases the file and clears the values below.
    void Close();

    // The frame at index, decoded into FrameBitmap (32 bits per pixel, RGB32), or none for an index
    // outside 0 .. FrameCount() - 1, for a frame that cannot be decoded, and for one whose bytes are no
    // longer in the file (another program cut it short since it was opened). The bitmap stays the
    // reader's: the next call fills it again, so a caller that keeps a frame copies it; a caller may
    // draw on it.
    QImage* GetFrame(int index);

    // Milliseconds per frame.
    int FrameDelay() const;
    // Positions of the video stream, empty ones included; 0 when closed.
    std::uint32_t FrameCount() const;
    int Width() const;
    int Height() const;
    // The stream's own rate, RateNumerator / RateDenominator frames per second, so that a writer
    // can keep it exactly; 0 / 1 when closed.
    std::uint32_t RateNumerator() const;
    std::uint32_t RateDenominator() const;
    bool Opened() const;
    // The path given to the last Open.
    const QString& FileName() const;
    TAviSourceState SourceState() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};
