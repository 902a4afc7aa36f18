#include "platform/AviFile.h"

#include "platform/AviChunkIndex.h"
#include "platform/BitmapInfoHeader.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <numeric>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

namespace {

// The muxer keeps the time base it is given only up to 1000 frames per second; above that it
// substitutes 1/600, and positions would no longer be frames.
constexpr int MaxFramesPerSecond = 1000;
// The stream header stores the frame rectangle in 16-bit fields.
constexpr int MaxFrameSide = 65535;
// What completing a file writes after its frames: an index entry a position, the index's chunk header,
// and room for the muxer's headers of an OpenDML part.
constexpr std::uint64_t ChunkHeaderSize = 8;
constexpr std::uint64_t IndexEntrySize = 16;
constexpr std::uint64_t ClosingReserve = 4096;

// The codes under which Microsoft Video 1 is stored; "MSVC" is what the compressor is asked for by
// and what FFmpeg's own muxer writes, "CRAM" what older files carry.
bool IsMsVideo1Code(std::uint32_t code) {
    return code == MakeFourCC('M', 'S', 'V', 'C') || code == MakeFourCC('m', 's', 'v', 'c') ||
           code == MakeFourCC('C', 'R', 'A', 'M') || code == MakeFourCC('c', 'r', 'a', 'm');
}

// The pixel layout FFmpeg associates with each depth of uncompressed bottom-up rows in an AVI;
// the muxer writes the colour table only for the paletted ones.
AVPixelFormat RawPixelFormat(int bits) {
    switch (bits) {
    case 1:
        return AV_PIX_FMT_MONOWHITE;
    case 4:
    case 8:
        return AV_PIX_FMT_PAL8;
    case 16:
        return AV_PIX_FMT_RGB555LE;
    case 24:
        return AV_PIX_FMT_BGR24;
    case 32:
        return AV_PIX_FMT_BGRA;
    default:
        return AV_PIX_FMT_NONE;
    }
}

// The muxer's own buffers are flushed by then; this pushes the file's data and size to the disk so
// that a rename over the user's file, which may follow, can never expose a half-written one.
AviResult SyncToDisk(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return AVIERR_OK; // gone already: nothing of ours left to keep
    AviResult result = AVIERR_OK;
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) result = AVIERR_FILEWRITE;
    ::close(fd);
    return result;
}

} // namespace

struct TAviFileWriter::TImpl {
    AVFormatContext* Context = nullptr;
    AVStream* Stream = nullptr;
    AVPacket* Packet = nullptr;
    QByteArray Path;
    bool HeaderWritten = false;
    bool Uncompressed = false;
    std::int64_t UncompressedFrameSize = 0;
    int Length = 0;
    // Whether each position so far holds a key frame: what completing a failed file's index needs.
    std::vector<bool> KeyFrames;
    // The first failure of the file itself: once the muxer has failed, what it wrote may be partial,
    // so nothing more is written.
    AviResult Failure = AVIERR_OK;
    // The failure was a frame refused for want of room: the muxer wrote nothing torn and completes
    // the file itself.
    bool OutOfRoom = false;

    ~TImpl() { Release(); }

    void Release() {
        av_packet_free(&Packet);
        if (Context) {
            avio_closep(&Context->pb);
            avformat_free_context(Context);
            Context = nullptr;
        }
        Stream = nullptr;
        HeaderWritten = false;
        Uncompressed = false;
        UncompressedFrameSize = 0;
        Length = 0;
        KeyFrames.clear();
        Failure = AVIERR_OK;
        OutOfRoom = false;
    }

    bool RoomFor(int position, std::size_t size) const;

    AviResult ApplyFormat(const std::uint8_t* bytes, std::size_t size);
    AviResult WritePacket(int position, const void* data, std::size_t size, bool keyFrame);
};

AviResult TAviFileWriter::TImpl::ApplyFormat(const std::uint8_t* bytes, std::size_t size) {
    TBitmapInfoHeader h;
    if (!bytes || size < sizeof h) return AVIERR_BADFORMAT;
    std::memcpy(&h, bytes, sizeof h);
    if (h.biSize != sizeof h || h.biPlanes != 1) return AVIERR_BADFORMAT;
    // Top-down rows (negative height) are not what our blocks hold, and few readers take them.
    if (h.biWidth <= 0 || h.biHeight <= 0 || h.biWidth > MaxFrameSide || h.biHeight > MaxFrameSide)
        return AVIERR_BADFORMAT;

    const int bits = h.biBitCount;
    AVCodecParameters* par = Stream->codecpar;
    if (h.biCompression == BI_RGB) {
        par->format = RawPixelFormat(bits);
        if (par->format == AV_PIX_FMT_NONE) return AVIERR_BADFORMAT;
        const std::int64_t frameSize = DibRowBytes(bits, h.biWidth) * h.biHeight;
        if (frameSize > INT_MAX) return AVIERR_BADFORMAT;
        if (h.biSizeImage != 0 && h.biSizeImage != frameSize) return AVIERR_BADFORMAT;
        par->codec_id = AV_CODEC_ID_RAWVIDEO;
        par->codec_tag = 0;
        Uncompressed = true;
        UncompressedFrameSize = frameSize;
    } else if (IsMsVideo1Code(h.biCompression)) {
        if (bits != 8 && bits != 16) return AVIERR_BADFORMAT;
        par->codec_id = AV_CODEC_ID_MSVIDEO1;
        par->codec_tag = h.biCompression;
        if (bits == 8) par->format = AV_PIX_FMT_PAL8;
    } else {
        return AVIERR_BADFORMAT;
    }

    if (bits <= 8) {
        // The muxer always stores the full table of 2^bits entries; a shorter one is padded.
        const std::uint32_t full = 1u << bits;
        const std::uint32_t given = h.biClrUsed ? h.biClrUsed : full;
        if (given > full || size < sizeof h + std::size_t(given) * DibColorEntrySize) return AVIERR_BADFORMAT;
        const int tableSize = int(full * DibColorEntrySize);
        par->extradata = static_cast<std::uint8_t*>(av_mallocz(tableSize + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par->extradata) return AVIERR_MEMORY;
        par->extradata_size = tableSize;
        std::memcpy(par->extradata, bytes + sizeof h, std::size_t(given) * DibColorEntrySize);
    }
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->width = h.biWidth;
    par->height = h.biHeight;
    par->bits_per_coded_sample = bits;

    if (!Packet) Packet = av_packet_alloc();
    if (!Packet) return AVIERR_MEMORY;
    const int header = avformat_write_header(Context, nullptr);
    if (header < 0 || Context->pb->error < 0) {
        Failure = AviWriteResult(header < 0 ? header : Context->pb->error);
        return Failure;
    }
    HeaderWritten = true;
    return AVIERR_OK;
}

// Room on the disk (and within the process's file size limit) for the chunks of this frame, the empty
// ones before it, and what completing the file then needs. A frame that would leave too little is
// refused before it is written: a recording on a disk that fills up ends with a complete file.
bool TAviFileWriter::TImpl::RoomFor(int position, std::size_t size) const {
    const std::uint64_t positions = std::uint64_t(position) + 1;
    const std::uint64_t chunks = (positions - std::uint64_t(Length)) * ChunkHeaderSize + size + (size & 1);
    const std::uint64_t needed = chunks + ChunkHeaderSize + positions * IndexEntrySize + ClosingReserve;
    struct statvfs disk {};
    if (::statvfs(Path.constData(), &disk) == 0 && disk.f_frsize > 0 &&
        std::uint64_t(disk.f_bavail) < needed / disk.f_frsize + 1)
        return false;
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const std::int64_t written = avio_tell(Context->pb);
        if (written >= 0 && std::uint64_t(written) + needed > std::uint64_t(limit.rlim_cur)) return false;
    }
    return true;
}

AviResult TAviFileWriter::TImpl::WritePacket(int position, const void* data, std::size_t size,
                                             bool keyFrame) {
    // The muxer only reads the packet; it copies nothing when the packet owns no buffer.
    av_packet_unref(Packet);
    Packet->data = static_cast<std::uint8_t*>(const_cast<void*>(data));
    Packet->size = int(size);
    Packet->pts = Packet->dts = position;
    Packet->duration = 1;
    Packet->stream_index = Stream->index;
    Packet->flags = keyFrame ? AV_PKT_FLAG_KEY : 0;
    const int written = av_write_frame(Context, Packet);
    Packet->data = nullptr;
    Packet->size = 0;
    if (written < 0) {
        Failure = AviWriteResult(written);
        return Failure;
    }
    return AVIERR_OK;
}

TAviFileWriter::TAviFileWriter() : Impl(std::make_unique<TImpl>()) {}

TAviFileWriter::~TAviFileWriter() {
    Close();
}

AviResult TAviFileWriter::Open(const QString& fileName) {
    if (Impl->Context) return AVIERR_BADHANDLE;
    if (fileName.isEmpty()) return AVIERR_FILEOPEN;
    try {
        Impl->Path = QFile::encodeName(fileName);
        const int made = avformat_alloc_output_context2(&Impl->Context, nullptr, "avi", nullptr);
        if (made < 0) return made == AVERROR(ENOMEM) ? AVIERR_MEMORY : AVIERR_UNSUPPORTED;
        // Our frames are bottom-up rows, as a positive height declares; by default the muxer declares
        // uncompressed rows top-down.
        if (av_opt_set_int(Impl->Context->priv_data, "flipped_raw_rgb", 1, 0) < 0) {
            Impl->Release();
            return AVIERR_UNSUPPORTED;
        }
        // Each frame goes to the file as it is written: a full disk shows at the frame that hit it.
        Impl->Context->flush_packets = 1;
        // The protocol prefix keeps a relative name such as "pipe:1.avi" a plain file name.
        const QByteArray url = "file:" + Impl->Path;
        const int opened = avio_open(&Impl->Context->pb, url.constData(), AVIO_FLAG_WRITE);
        if (opened < 0) {
            Impl->Release();
            return AviCreateResult(opened);
        }
    } catch (const std::bad_alloc&) {
        Impl->Release();
        return AVIERR_MEMORY;
    }
    return AVIERR_OK;
}

AviResult TAviFileWriter::CreateStream(int framesPerSecond) {
    if (framesPerSecond < 1) return Impl->Context ? AVIERR_BADPARAM : AVIERR_BADHANDLE;
    return CreateStream(std::uint32_t(framesPerSecond), 1);
}

AviResult TAviFileWriter::CreateStream(std::uint32_t rate, std::uint32_t scale) {
    if (!Impl->Context) return AVIERR_BADHANDLE;
    if (Impl->Stream) return AVIERR_UNSUPPORTED;
    const std::uint32_t divisor = rate && scale ? std::gcd(rate, scale) : 1;
    rate /= divisor;
    scale /= divisor;
    if (rate == 0 || scale == 0 || rate > INT_MAX || scale > INT_MAX ||
        std::uint64_t(rate) > std::uint64_t(scale) * MaxFramesPerSecond)
        return AVIERR_BADPARAM;
    Impl->Stream = avformat_new_stream(Impl->Context, nullptr);
    if (!Impl->Stream) return AVIERR_MEMORY;
    // One position is one frame: a time base of scale / rate seconds.
    Impl->Stream->time_base = AVRational{int(scale), int(rate)};
    Impl->Stream->avg_frame_rate = AVRational{int(rate), int(scale)};
    return AVIERR_OK;
}

AviResult TAviFileWriter::SetFormat(const void* format, std::size_t size) {
    if (!Impl->Stream) return AVIERR_BADHANDLE;
    if (Impl->Failure) return Impl->Failure;
    if (Impl->HeaderWritten) return AVIERR_UNSUPPORTED;
    const AviResult result = Impl->ApplyFormat(static_cast<const std::uint8_t*>(format), size);
    if (result != AVIERR_OK && !Impl->Failure) {
        // A refused format leaves the stream as it was, ready for another one.
        AVCodecParameters* par = Impl->Stream->codecpar;
        av_freep(&par->extradata);
        par->extradata_size = 0;
        Impl->Uncompressed = false;
        Impl->UncompressedFrameSize = 0;
    }
    return result;
}

AviResult TAviFileWriter::Write(int position, const void* data, std::size_t size, bool keyFrame) {
    if (!Impl->HeaderWritten) return AVIERR_BADHANDLE;
    if (Impl->Failure) return Impl->Failure;
    // The muxer would append a repeated or earlier position as the next frame, putting every later
    // frame one late; refuse it instead.
    if (position < Impl->Length || position == INT_MAX) return AVIERR_BADPARAM;
    if (!data || size == 0 || size > std::size_t(INT_MAX)) return AVIERR_BADPARAM;
    if (Impl->Uncompressed) {
        if (std::int64_t(size) != Impl->UncompressedFrameSize) return AVIERR_BADFORMAT;
        keyFrame = true; // every uncompressed frame stands alone
    }
    if (!Impl->RoomFor(position, size)) {
        Impl->OutOfRoom = true;
        Impl->Failure = AVIERR_FILEWRITE;
        return Impl->Failure;
    }
    if (Impl->Length == 0 && position > 0) {
        // The muxer fills gaps only after its first frame, and would move a first frame at k > 0 to
        // position 0: an empty frame at 0 keeps the positions.
        static const std::uint8_t nothing = 0;
        if (const AviResult r = Impl->WritePacket(0, &nothing, 0, false)) return r;
        Impl->Length = 1;
    }
    if (const AviResult r = Impl->WritePacket(position, data, size, keyFrame)) return r;
    Impl->KeyFrames.resize(std::size_t(position) + 1, false);
    Impl->KeyFrames[std::size_t(position)] = keyFrame;
    Impl->Length = position + 1;
    return AVIERR_OK;
}

AviResult TAviFileWriter::Close() {
    if (!Impl->Context) return AVIERR_OK;
    AviResult result = Impl->Failure;
    bool complete = !result || Impl->OutOfRoom;
    if (Impl->HeaderWritten && complete) {
        const int trailer = av_write_trailer(Impl->Context);
        if (trailer < 0 && !result) result = AviWriteResult(trailer);
        complete = trailer >= 0;
    }
    const int closed = avio_closep(&Impl->Context->pb);
    if (closed < 0 && !result) result = AviWriteResult(closed);
    if (closed < 0) complete = false;
    if (!complete && Impl->HeaderWritten) {
        // The muxer cannot go on after a failed write: the file is completed from what reached it.
        CompleteWrittenAvi(Impl->Path, Impl->KeyFrames);
    } else if (const AviResult synced = SyncToDisk(Impl->Path); !result) {
        result = synced;
    }
    Impl->Release();
    return result;
}

bool TAviFileWriter::IsOpen() const {
    return Impl->Context != nullptr;
}

int TAviFileWriter::Length() const {
    return Impl->Length;
}

namespace {

constexpr std::uint32_t IndexKeyFrame = 0x10; // AVIIF_KEYFRAME of an idx1 entry

void Put32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        at[i] = std::uint8_t(v >> (8 * i));
}

bool WriteAll(int fd, std::uint64_t offset, const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, p, size, off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        offset += std::uint64_t(n);
        size -= std::size_t(n);
    }
    return true;
}

bool Patch32(int fd, std::uint64_t offset, std::uint64_t value) {
    std::uint8_t b[4];
    Put32(b, std::uint32_t(std::min<std::uint64_t>(value, UINT32_MAX)));
    return offset == 0 || WriteAll(fd, offset, b, sizeof b);
}

int CompleteOpenAvi(int fd, const std::vector<bool>& keyFrames) {
    TAviFileBytes bytes(fd);
    TAviStreamLayout layout;
    if (ReadAviStreamLayout(bytes, layout, true) != AVIERR_OK || layout.FormOffsets.empty() ||
        !layout.LastMoviListOffset)
        return -1;
    std::vector<TAviChunk> chunks = std::move(layout.Chunks);
    std::uint64_t dataEnd = layout.DataEnd;
    const std::uint64_t moviType = layout.LastMoviListOffset + 8;
    // Only a file of one RIFF form has its index at its end; the parts of a larger one are found by
    // readers through their own chunks.
    const bool oneForm = layout.FormOffsets.size() == 1;
    std::uint8_t chunkId[4] = {'0', '0', 'd', 'c'};
    if (!chunks.empty() && !bytes.Read(chunks.front().Offset - 8, chunkId, 4)) return -1;

    std::uint64_t fileEnd = dataEnd;
    while (true) {
        if (::ftruncate(fd, off_t(dataEnd)) != 0) return -1;
        if (!oneForm) break;
        std::vector<std::uint8_t> index(8 + 16 * chunks.size());
        std::memcpy(index.data(), "idx1", 4);
        Put32(index.data() + 4, std::uint32_t(16 * chunks.size()));
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            std::uint8_t* e = index.data() + 8 + 16 * i;
            std::memcpy(e, chunkId, 4);
            Put32(e + 4, i < keyFrames.size() && keyFrames[i] ? IndexKeyFrame : 0);
            Put32(e + 8, std::uint32_t(chunks[i].Offset - 8 - moviType));
            Put32(e + 12, chunks[i].Size);
        }
        if (WriteAll(fd, dataEnd, index.data(), index.size())) {
            fileEnd = dataEnd + index.size();
            break;
        }
        // No room for the index: the last frame gives up its room, until the index fits.
        if (chunks.empty() || (errno != ENOSPC && errno != EFBIG && errno != EDQUOT)) return -1;
        dataEnd = chunks.back().Offset - 8;
        chunks.pop_back();
    }
    const std::uint64_t form = layout.FormOffsets.back();
    const std::uint64_t positions = chunks.size();
    const bool patched = Patch32(fd, form + 4, fileEnd - form - 8) &&
                         Patch32(fd, layout.LastMoviListOffset + 4, dataEnd - moviType) &&
                         Patch32(fd, layout.LengthOffset, positions) &&
                         Patch32(fd, layout.OpenDmlFramesOffset, positions) &&
                         (!oneForm || Patch32(fd, layout.MainFramesOffset, positions));
    if (!patched || ::fsync(fd) != 0) return -1;
    return int(std::min<std::uint64_t>(positions, INT_MAX));
}

} // namespace

int CompleteWrittenAvi(const QByteArray& path, const std::vector<bool>& keyFrames) {
    const int fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    int positions = -1;
    try {
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) positions = CompleteOpenAvi(fd, keyFrames);
    } catch (const std::bad_alloc&) {
    }
    ::close(fd);
    return positions;
}
