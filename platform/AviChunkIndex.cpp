#include "platform/AviChunkIndex.h"

#include "platform/BitmapInfoHeader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t Riff = MakeFourCC('R', 'I', 'F', 'F');
constexpr std::uint32_t List = MakeFourCC('L', 'I', 'S', 'T');
constexpr std::uint32_t FormAvi = MakeFourCC('A', 'V', 'I', ' ');
constexpr std::uint32_t FormAviX = MakeFourCC('A', 'V', 'I', 'X');
constexpr std::uint32_t ListHeaders = MakeFourCC('h', 'd', 'r', 'l');
constexpr std::uint32_t ListStream = MakeFourCC('s', 't', 'r', 'l');
constexpr std::uint32_t ListOpenDml = MakeFourCC('o', 'd', 'm', 'l');
constexpr std::uint32_t ListMovi = MakeFourCC('m', 'o', 'v', 'i');
constexpr std::uint32_t ListRecord = MakeFourCC('r', 'e', 'c', ' ');
constexpr std::uint32_t MainHeader = MakeFourCC('a', 'v', 'i', 'h');
constexpr std::uint32_t StreamHeader = MakeFourCC('s', 't', 'r', 'h');
constexpr std::uint32_t StreamFormat = MakeFourCC('s', 't', 'r', 'f');
constexpr std::uint32_t SuperIndex = MakeFourCC('i', 'n', 'd', 'x');
constexpr std::uint32_t OpenDmlHeader = MakeFourCC('d', 'm', 'l', 'h');
constexpr std::uint32_t LegacyIndex = MakeFourCC('i', 'd', 'x', '1');
constexpr std::uint32_t Video = MakeFourCC('v', 'i', 'd', 's');

constexpr std::uint32_t IndexKeyFrame = 0x10;           // AVIIF_KEYFRAME of an idx1 entry
constexpr std::uint32_t OpenDmlDeltaFrame = 0x80000000; // top bit of an OpenDML entry's size
constexpr std::uint8_t IndexOfIndexes = 0;
constexpr std::uint8_t IndexOfChunks = 1;
// A strf larger than this is no bitmap format: a header, 256 colours and codec data fit easily.
constexpr std::uint32_t MaxFormatSize = 1 << 20;
// Nested lists deeper than this are not AVI: the limit keeps a crafted file from recursing.
constexpr int MaxListDepth = 8;

std::uint32_t U32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::uint64_t U64(const std::uint8_t* p) {
    return std::uint64_t(U32(p)) | std::uint64_t(U32(p + 4)) << 32;
}

bool IsDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

// A chunk id is four printable characters; anything else is where the written data end (a torn
// chunk, zeros of a file never completed).
bool IsChunkId(std::uint32_t id) {
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t c = std::uint8_t(id >> (8 * i));
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

// The video chunks of stream n: "nndc" (compressed) and "nndb" (uncompressed).
bool IsFrameChunk(std::uint32_t id, int stream) {
    const std::uint8_t a = std::uint8_t(id), b = std::uint8_t(id >> 8);
    const std::uint8_t c = std::uint8_t(id >> 16), d = std::uint8_t(id >> 24);
    if (!IsDigit(a) || !IsDigit(b) || (a - '0') * 10 + (b - '0') != stream) return false;
    return c == 'd' && (d == 'c' || d == 'b');
}

struct TChunkHeader {
    std::uint32_t Id = 0;
    std::uint32_t Size = 0;
    std::uint32_t Type = 0; // the list or form type of a LIST or RIFF
};

class TLayoutReader {
public:
    TLayoutReader(TAviByteSource& bytes, TAviStreamLayout& layout) : Bytes(bytes), L(layout) {}

    AviResult Read(bool forceScan);

private:
    TAviByteSource& Bytes;
    TAviStreamLayout& L;
    AviResult Failure = AVIERR_OK;
    int StreamOrdinal = 0;
    bool InVideoStream = false;
    std::uint64_t SuperIndexOffset = 0, SuperIndexSize = 0;
    std::uint64_t LegacyIndexOffset = 0, LegacyIndexSize = 0;
    std::uint64_t FirstMoviOffset = 0; // the "movi" type field, which idx1 offsets count from
    // [start, end) of each movi list's data.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> MoviRanges;

    bool Fetch(std::uint64_t offset, void* buffer, std::size_t size) {
        if (offset > Bytes.Size() || size > Bytes.Size() - offset) return false;
        if (!Bytes.Read(offset, buffer, size)) {
            Failure = AVIERR_FILEREAD;
            return false;
        }
        return true;
    }
    bool Header(std::uint64_t offset, std::uint64_t end, TChunkHeader& h) {
        std::uint8_t b[12];
        if (offset + 8 > end || !Fetch(offset, b, 8)) return false;
        h.Id = U32(b);
        h.Size = U32(b + 4);
        h.Type = 0;
        if ((h.Id == List || h.Id == Riff) && offset + 12 <= end && Fetch(offset + 8, b + 8, 4))
            h.Type = U32(b + 8);
        return true;
    }
    // The end of a chunk's data, clipped to its container: a size past the container's end is that of
    // a file never completed (0 or a placeholder), whose data run to where the container's do.
    static std::uint64_t DataEnd(std::uint64_t offset, const TChunkHeader& h, std::uint64_t end) {
        const std::uint64_t claimed = offset + 8 + h.Size;
        return claimed > end ? end : claimed;
    }
    static std::uint64_t Next(std::uint64_t offset, const TChunkHeader& h) {
        return offset + 8 + h.Size + (h.Size & 1);
    }

    void ReadForm(std::uint64_t start, std::uint64_t end, int depth);
    void ReadStreamHeader(std::uint64_t offset, std::uint32_t size);
    void ReadMainHeader(std::uint64_t offset, std::uint32_t size);
    bool ReadLegacyIndex(std::vector<TAviChunk>& out);
    bool ReadOpenDmlIndex(std::vector<TAviChunk>& out);
    bool ReadChunkIndex(std::uint64_t offset, std::uint64_t size, std::vector<TAviChunk>& out);
    void Walk(std::vector<TAviChunk>& out);
    void WalkMovi(std::uint64_t start, std::uint64_t end, int depth, std::vector<TAviChunk>& out);
};

void TLayoutReader::ReadMainHeader(std::uint64_t offset, std::uint32_t size) {
    std::uint8_t b[40];
    if (size < sizeof b || !Fetch(offset, b, sizeof b)) return;
    L.MainFrames = U32(b + 16);
    L.MainFramesOffset = offset + 16;
    L.MainWidth = U32(b + 32);
    L.MainHeight = U32(b + 36);
}

void TLayoutReader::ReadStreamHeader(std::uint64_t offset, std::uint32_t size) {
    std::uint8_t b[36];
    if (L.StreamNumber >= 0 || size < sizeof b || !Fetch(offset, b, sizeof b)) return;
    if (U32(b) != Video) return;
    L.StreamNumber = StreamOrdinal;
    L.Handler = U32(b + 4);
    L.Scale = U32(b + 20);
    L.Rate = U32(b + 24);
    L.Length = U32(b + 32);
    L.LengthOffset = offset + 32;
    L.StreamHeader.resize(std::min<std::uint32_t>(size, 64));
    if (!Fetch(offset, L.StreamHeader.data(), L.StreamHeader.size())) L.StreamHeader.assign(b, b + sizeof b);
    InVideoStream = true;
}

void TLayoutReader::ReadForm(std::uint64_t start, std::uint64_t end, int depth) {
    if (depth > MaxListDepth) return;
    for (std::uint64_t at = start; at + 8 <= end && !Failure;) {
        TChunkHeader h;
        if (!Header(at, end, h)) break;
        const std::uint64_t dataEnd = DataEnd(at, h, end);
        if (h.Id == List) {
            if (h.Type == ListMovi) {
                if (!FirstMoviOffset) FirstMoviOffset = at + 8;
                L.LastMoviListOffset = at;
                MoviRanges.emplace_back(at + 12, dataEnd);
            } else if (h.Type == ListStream) {
                InVideoStream = false;
                ReadForm(at + 12, dataEnd, depth + 1);
                InVideoStream = false;
                ++StreamOrdinal;
            } else if (h.Type == ListHeaders || h.Type == ListOpenDml) {
                ReadForm(at + 12, dataEnd, depth + 1);
            }
        } else if (h.Id == MainHeader) {
            ReadMainHeader(at + 8, h.Size);
        } else if (h.Id == StreamHeader) {
            ReadStreamHeader(at + 8, h.Size);
        } else if (h.Id == StreamFormat && InVideoStream && L.Format.empty()) {
            const std::uint32_t size = std::uint32_t(dataEnd - (at + 8));
            if (size >= sizeof(TBitmapInfoHeader) && size <= MaxFormatSize) {
                L.Format.resize(size);
                if (!Fetch(at + 8, L.Format.data(), size)) L.Format.clear();
            }
        } else if (h.Id == SuperIndex && InVideoStream && !SuperIndexOffset) {
            SuperIndexOffset = at + 8;
            SuperIndexSize = dataEnd - (at + 8);
        } else if (h.Id == OpenDmlHeader && h.Size >= 4) {
            L.OpenDmlFramesOffset = at + 8;
        } else if (h.Id == LegacyIndex && !LegacyIndexOffset) {
            LegacyIndexOffset = at + 8;
            LegacyIndexSize = dataEnd - (at + 8);
        }
        at = Next(at, h);
    }
}

bool TLayoutReader::ReadLegacyIndex(std::vector<TAviChunk>& out) {
    if (!LegacyIndexOffset || !FirstMoviOffset) return false;
    const std::uint64_t count = LegacyIndexSize / 16;
    // Entries are read a block at a time: an index of a long recording holds hundreds of thousands.
    constexpr std::uint64_t Block = 4096;
    std::vector<std::uint8_t> buffer(std::size_t(std::min(count, Block)) * 16);
    // Offsets count from the movi list's type field in most files and from the file's start in a few:
    // the first entry of our stream tells which.
    int baseKnown = 0; // 0 not yet, 1 relative, 2 absolute
    for (std::uint64_t first = 0; first < count; first += Block) {
        const std::uint64_t n = std::min(Block, count - first);
        if (!Fetch(LegacyIndexOffset + first * 16, buffer.data(), std::size_t(n * 16))) return false;
        for (std::uint64_t i = 0; i < n; ++i) {
            const std::uint8_t* e = buffer.data() + i * 16;
            const std::uint32_t id = U32(e);
            if (!IsFrameChunk(id, L.StreamNumber)) continue;
            const std::uint32_t offset = U32(e + 8), size = U32(e + 12);
            if (!baseKnown) {
                std::uint8_t at[4];
                baseKnown = Fetch(FirstMoviOffset + offset, at, 4) && U32(at) == id ? 1 : 2;
            }
            const std::uint64_t chunk = (baseKnown == 1 ? FirstMoviOffset : 0) + std::uint64_t(offset);
            out.push_back({chunk + 8, size, (U32(e + 4) & IndexKeyFrame) != 0, true});
        }
    }
    return true;
}

bool TLayoutReader::ReadChunkIndex(std::uint64_t offset, std::uint64_t size, std::vector<TAviChunk>& out) {
    // An "ix" chunk: its header, then 24 bytes of index header and 8-byte entries.
    std::uint8_t h[32];
    if (size < 32 || !Fetch(offset, h, sizeof h)) return false;
    const std::uint8_t type = h[8 + 3];
    if (type != IndexOfChunks || h[8] != 2) return false;
    const std::uint64_t inUse = std::min<std::uint64_t>(U32(h + 12), (size - 32) / 8);
    // Every position is a chunk of at least a header in the file: an index that names more (one
    // standard index named again and again by a crafted super index) is not believed.
    if (out.size() + inUse > Bytes.Size() / 8 + 1) return false;
    const std::uint64_t base = U64(h + 20);
    std::vector<std::uint8_t> entries(std::size_t(inUse) * 8);
    if (inUse && !Fetch(offset + 32, entries.data(), entries.size())) return false;
    for (std::uint64_t i = 0; i < inUse; ++i) {
        const std::uint8_t* e = entries.data() + i * 8;
        const std::uint32_t rawSize = U32(e + 4);
        out.push_back(
            {base + U32(e), rawSize & ~OpenDmlDeltaFrame, (rawSize & OpenDmlDeltaFrame) == 0, true});
    }
    return true;
}

bool TLayoutReader::ReadOpenDmlIndex(std::vector<TAviChunk>& out) {
    if (!SuperIndexOffset || SuperIndexSize < 24) return false;
    std::uint8_t h[24];
    if (!Fetch(SuperIndexOffset, h, sizeof h)) return false;
    if (h[3] != IndexOfIndexes || h[0] != 4) return false;
    const std::uint64_t inUse = std::min<std::uint64_t>(U32(h + 4), (SuperIndexSize - 24) / 16);
    std::vector<std::uint8_t> entries(std::size_t(inUse) * 16);
    if (inUse && !Fetch(SuperIndexOffset + 24, entries.data(), entries.size())) return false;
    for (std::uint64_t i = 0; i < inUse; ++i) {
        const std::uint8_t* e = entries.data() + i * 16;
        const std::uint64_t offset = U64(e);
        const std::uint32_t size = U32(e + 8);
        if (!ReadChunkIndex(offset, std::min<std::uint64_t>(size, Bytes.Size()), out)) return false;
    }
    L.HasOpenDmlIndex = inUse > 0;
    return inUse > 0;
}

void TLayoutReader::WalkMovi(std::uint64_t start, std::uint64_t end, int depth, std::vector<TAviChunk>& out) {
    for (std::uint64_t at = start; at + 8 <= end && !Failure;) {
        TChunkHeader h;
        if (!Header(at, end, h) || !IsChunkId(h.Id)) return;
        if (h.Id == List && h.Type == ListRecord && depth < MaxListDepth) {
            WalkMovi(at + 12, DataEnd(at, h, end), depth + 1, out);
        } else if (at + 8 + std::uint64_t(h.Size) > end) {
            return; // torn: the rest of this chunk never reached the disk
        } else if (IsFrameChunk(h.Id, L.StreamNumber)) {
            out.push_back({at + 8, h.Size, false, false});
        }
        L.DataEnd = std::max(L.DataEnd, std::min(Next(at, h), end));
        at = Next(at, h);
    }
}

void TLayoutReader::Walk(std::vector<TAviChunk>& out) {
    for (const auto& [start, end] : MoviRanges) {
        L.DataEnd = start;
        WalkMovi(start, end, 0, out);
    }
}

AviResult TLayoutReader::Read(bool forceScan) {
    TChunkHeader h;
    const std::uint64_t fileSize = Bytes.Size();
    if (!Header(0, fileSize, h) || h.Id != Riff || h.Type != FormAvi)
        return Failure ? Failure : AVIERR_BADFORMAT;
    // A form whose size runs past the file, or says 0, belongs to a file never completed.
    for (std::uint64_t at = 0; at + 12 <= fileSize && !Failure;) {
        if (!Header(at, fileSize, h)) break;
        if (h.Id != Riff || (h.Type != FormAvi && h.Type != FormAviX) || (at > 0 && h.Type == FormAvi)) {
            if (at == 0) return AVIERR_BADFORMAT;
            at = Next(at, h);
            continue;
        }
        L.FormOffsets.push_back(at);
        std::uint64_t end = DataEnd(at, h, fileSize);
        if (h.Size < 4) end = fileSize;
        ReadForm(at + 12, end, 0);
        at = h.Size < 4 ? fileSize : Next(at, h);
    }
    if (Failure) return Failure;
    if (L.StreamNumber < 0 || L.Format.size() < sizeof(TBitmapInfoHeader)) return AVIERR_BADFORMAT;

    std::vector<TAviChunk> indexed;
    if (!ReadOpenDmlIndex(indexed)) {
        indexed.clear();
        if (!ReadLegacyIndex(indexed)) indexed.clear();
    }
    if (Failure) return Failure;
    // A file whose header counts nothing was never completed: its index, if any, covers only the
    // parts closed before the end.
    if (forceScan || L.Length == 0 || indexed.size() < L.Length) {
        std::vector<TAviChunk> walked;
        Walk(walked);
        if (Failure) return Failure;
        if (walked.size() > indexed.size() || forceScan) {
            // What the index says of a chunk it shares with the walk still holds.
            for (std::size_t i = 0; i < walked.size() && i < indexed.size(); ++i)
                if (walked[i].Offset == indexed[i].Offset) walked[i] = indexed[i];
            indexed.swap(walked);
            L.Scanned = true;
        }
    }
    L.Chunks.swap(indexed);
    return AVIERR_OK;
}

} // namespace

std::uint32_t TAviStreamLayout::FrameCount() const {
    const std::uint64_t held = Chunks.size();
    if (Length != 0 && held >= Length) return Length;
    return std::uint32_t(std::min<std::uint64_t>(held, UINT32_MAX));
}

TAviFileBytes::TAviFileBytes(int fd) : Fd(fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) FileSize = std::uint64_t(st.st_size);
}

bool TAviFileBytes::Read(std::uint64_t offset, void* buffer, std::size_t size) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (size > 0) {
        const ssize_t got = ::pread(Fd, out, size, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got < 0) ReadFailed = true;
            return false;
        }
        out += got;
        offset += std::uint64_t(got);
        size -= std::size_t(got);
    }
    return true;
}

AviResult ReadAviStreamLayout(TAviByteSource& bytes, TAviStreamLayout& layout, bool forceScan) {
    layout = TAviStreamLayout();
    try {
        return TLayoutReader(bytes, layout).Read(forceScan);
    } catch (const std::bad_alloc&) {
        layout = TAviStreamLayout();
        return AVIERR_MEMORY;
    }
}
