#pragma once

#include "platform/AviErrors.h"

#include <cstdint>
#include <vector>

// Where each position of an AVI file's first video stream lies, read from the RIFF chunks themselves:
// the OpenDML index when there is one, else the idx1 index, and a walk over the movi chunks when the
// index is missing or counts fewer positions than the stream header. A recording whose program died
// before it closed the file has its frames on disk but no index and 0 in its counts: the walk finds
// every chunk that reached the disk and stops before a torn last one.
//
// Nothing here trusts a size or a count of the file: every loop advances, and what is kept grows only
// with entries found in the file's own bytes.

// One chunk of the stream: its data's offset in the file and its size (0 for an empty position, which
// shows the picture before it).
struct TAviChunk {
    std::uint64_t Offset = 0;
    std::uint32_t Size = 0;
    bool KeyFrame = false;
    // False for a chunk found by the walk and not in the index: whether it is a key frame is then
    // for the decoder to find out.
    bool KeyKnown = true;
};

struct TAviStreamLayout {
    // avih dwTotalFrames, dwWidth, dwHeight.
    std::uint32_t MainFrames = 0;
    std::uint32_t MainWidth = 0;
    std::uint32_t MainHeight = 0;
    // strh of the first video stream: its number (the "nn" of its chunk ids), codes and counts.
    int StreamNumber = -1;
    std::uint32_t Handler = 0;
    std::uint32_t Scale = 0;
    std::uint32_t Rate = 0;
    std::uint32_t Length = 0;
    std::vector<std::uint8_t> StreamHeader; // strh as stored (at most its first 64 bytes)
    std::vector<std::uint8_t> Format;       // strf: the bitmap-info header and its colour table
    // One entry per position, empty positions included.
    std::vector<TAviChunk> Chunks;
    // The positions came from the chunk walk, not from an index.
    bool Scanned = false;
    // RIFF forms ("AVI ", then one "AVIX" per OpenDML part): where each starts, and where the movi
    // list of the last one starts and its last complete chunk ends.
    std::vector<std::uint64_t> FormOffsets;
    std::uint64_t LastMoviListOffset = 0;
    std::uint64_t DataEnd = 0;
    // Offsets of header fields a writer completing the file patches.
    std::uint64_t MainFramesOffset = 0;
    std::uint64_t LengthOffset = 0;
    std::uint64_t OpenDmlFramesOffset = 0; // dmlh dwTotalFrames, 0 when none
    bool HasOpenDmlIndex = false;
    // The stream's positions: Length when the file holds that many, else what the file holds.
    std::uint32_t FrameCount() const;
};

// Reads byte ranges of the file being parsed: true when all size bytes at offset were read.
class TAviByteSource {
public:
    virtual ~TAviByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    virtual bool Read(std::uint64_t offset, void* buffer, std::size_t size) = 0;
};

// A file descriptor as a byte source (pread, so the descriptor's position is never used).
class TAviFileBytes : public TAviByteSource {
public:
    explicit TAviFileBytes(int fd);
    std::uint64_t Size() const override { return FileSize; }
    bool Read(std::uint64_t offset, void* buffer, std::size_t size) override;
    bool Failed() const { return ReadFailed; }

private:
    int Fd;
    std::uint64_t FileSize = 0;
    bool ReadFailed = false;
};

// The layout of the file's first video stream. AVIERR_BADFORMAT when the bytes are not an AVI file
// with a video stream, AVIERR_FILEREAD when reading fails, AVIERR_MEMORY when the entries cannot be kept.
// forceScan walks the chunks whatever the index says.
AviResult ReadAviStreamLayout(TAviByteSource& bytes, TAviStreamLayout& layout, bool forceScan = false);
