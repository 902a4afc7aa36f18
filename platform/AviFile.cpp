#include "platform/AviFile.h"

#include "platform/BitmapInfoHeader.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <unistd.h>

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
    // The first failure of the file itself: once the muxer has failed, what it wrote may be partial,
    // so nothing more is written.
    AviResult Failure = AVIERR_OK;

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
        Failure = AVIERR_OK;
    }

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
    if (!Impl->Context) return AVIERR_BADHANDLE;
    if (Impl->Stream) return AVIERR_UNSUPPORTED;
    if (framesPerSecond < 1 || framesPerSecond > MaxFramesPerSecond) return AVIERR_BADPARAM;
    Impl->Stream = avformat_new_stream(Impl->Context, nullptr);
    if (!Impl->Stream) return AVIERR_MEMORY;
    // Scale 1 and rate framesPerSecond: one position is one frame.
    Impl->Stream->time_base = AVRational{1, framesPerSecond};
    Impl->Stream->avg_frame_rate = AVRational{framesPerSecond, 1};
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
    if (Impl->Length == 0 && position > 0) {
        // The muxer fills gaps only after its first frame, and would move a first frame at k > 0 to
        // position 0: an empty frame at 0 keeps the positions.
        static const std::uint8_t nothing = 0;
        if (const AviResult r = Impl->WritePacket(0, &nothing, 0, false)) return r;
        Impl->Length = 1;
    }
    if (const AviResult r = Impl->WritePacket(position, data, size, keyFrame)) return r;
    Impl->Length = position + 1;
    return AVIERR_OK;
}

AviResult TAviFileWriter::Close() {
    if (!Impl->Context) return AVIERR_OK;
    AviResult result = Impl->Failure;
    if (Impl->HeaderWritten) {
        const int trailer = av_write_trailer(Impl->Context);
        if (trailer < 0 && !result) result = AviWriteResult(trailer);
    }
    const int closed = avio_closep(&Impl->Context->pb);
    if (closed < 0 && !result) result = AviWriteResult(closed);
    if (!result) result = SyncToDisk(Impl->Path);
    Impl->Release();
    return result;
}

bool TAviFileWriter::IsOpen() const {
    return Impl->Context != nullptr;
}

int TAviFileWriter::Length() const {
    return Impl->Length;
}
