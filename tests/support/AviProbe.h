#pragma once

// Reads back what the AVI writer produced, two ways: through libavformat, as players see the file,
// and by walking its RIFF chunks, for the fields and empty index entries libavformat hides.
#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

struct TProbedPacket {
    std::int64_t Position = 0;
    bool KeyFrame = false;
    std::vector<std::uint8_t> Bytes;
};

struct TProbedStream {
    bool Opened = false;
    int CodecId = 0; // AVCodecID
    std::uint32_t CodecTag = 0;
    int Width = 0, Height = 0;
    int TimeBaseNum = 0, TimeBaseDen = 0;
    int FrameRateNum = 0, FrameRateDen = 0;
    std::int64_t FrameCount = 0;               // the stream's length as libavformat reports it
    std::vector<std::int64_t> IndexTimestamps; // libavformat's index entries
    std::vector<std::int64_t> IndexPositions;  // and where their chunks lie in the file
    std::vector<TProbedPacket> Packets;        // every packet, in file order
};

// packetsToo false reads only the header and the index.
TProbedStream ProbeAvi(const QString& fileName, bool packetsToo = true);

// The first frame decoded by FFmpeg's own decoder, as a picture; null when it does not decode.
QImage DecodeFirstFrame(const QString& fileName);

// Decodes every frame with FFmpeg's own decoder, in file order, and hands each with its position to
// visit until it answers false; the picture is null for a pixel format the probe does not convert.
// Answers the number of frames visited, -1 when the file or its codec cannot be opened.
int ForEachDecodedFrame(const QString& fileName,
                        const std::function<bool(std::int64_t position, const QImage& picture)>& visit);

struct TIndexEntry {
    std::uint32_t ChunkId = 0;
    std::uint32_t Flags = 0;
    std::uint32_t Size = 0;
};

struct TRiffLayout {
    std::vector<std::uint32_t> RiffForms; // "AVI ", then "AVIX" for each OpenDML part
    std::uint32_t MainHeaderFrames = 0;   // avih dwTotalFrames
    std::uint32_t StreamHandler = 0;      // strh fccHandler
    std::uint32_t Scale = 0, Rate = 0, Length = 0;
    std::vector<std::uint8_t> StreamFormat; // strf contents
    std::vector<TIndexEntry> Index;         // idx1 entries of the first part
    bool HasOpenDmlIndex = false;           // an "indx" super index
};

TRiffLayout ReadRiffLayout(const QString& fileName);
