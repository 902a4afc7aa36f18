#include "platform/AviFrameDecoder.h"

#include "platform/AviErrors.h"
#include "platform/BitmapInfoHeader.h"
#include "platform/Msvc1Decoder.h"
#include "platform/Msvc1KeyFrame.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr std::uint32_t OpaqueAlpha = 0xFF000000u;
constexpr int PaletteEntries = 256;

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}
void PutFourCC(std::vector<std::uint8_t>& out, const char* code) {
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(code[i]));
}
void Patch32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = std::uint8_t(v >> (8 * i));
}

// A file of just the stream's headers, for FFmpeg's AVI demuxer to read the codec's parameters from:
// the demuxer's own rules (codec tags, bottom-up raw rows, codec data) then apply, while nothing else
// of the file (other streams, index, data) reaches it.
std::vector<std::uint8_t> HeaderOnlyAvi(const TAviStreamLayout& layout, int width, int height) {
    std::vector<std::uint8_t> f;
    f.reserve(256 + layout.StreamHeader.size() + layout.Format.size());
    PutFourCC(f, "RIFF");
    Put32(f, 0);
    PutFourCC(f, "AVI ");
    PutFourCC(f, "LIST");
    const std::size_t hdrlSize = f.size();
    Put32(f, 0);
    PutFourCC(f, "hdrl");
    PutFourCC(f, "avih");
    Put32(f, 56);
    const std::uint32_t avih[14] = {
        0, 0, 0, 0, layout.Length, 0, 1, 0, std::uint32_t(width), std::uint32_t(height)};
    for (std::uint32_t v : avih)
        Put32(f, v);
    PutFourCC(f, "LIST");
    const std::size_t strlSize = f.size();
    Put32(f, 0);
    PutFourCC(f, "strl");
    PutFourCC(f, "strh");
    std::vector<std::uint8_t> strh = layout.StreamHeader;
    strh.resize(std::max<std::size_t>(strh.size(), 56), 0);
    std::memcpy(strh.data(), "vids", 4);
    Put32(f, std::uint32_t(strh.size()));
    f.insert(f.end(), strh.begin(), strh.end());
    PutFourCC(f, "strf");
    Put32(f, std::uint32_t(layout.Format.size()));
    f.insert(f.end(), layout.Format.begin(), layout.Format.end());
    if (layout.Format.size() & 1) f.push_back(0);
    Patch32(f, strlSize, std::uint32_t(f.size() - strlSize - 4));
    Patch32(f, hdrlSize, std::uint32_t(f.size() - hdrlSize - 4));
    PutFourCC(f, "LIST");
    Put32(f, 4);
    PutFourCC(f, "movi");
    Patch32(f, 4, std::uint32_t(f.size() - 8));
    return f;
}

// 5-bit levels spread over 8 bits as every reader shows them, (v << 3) | (v >> 2). Run on whole
// vectors of pixels: one at a time, a 1080p picture costs more than decoding it.
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("O3")))
#endif
void ExpandRgb555(const std::uint16_t* __restrict in, std::uint32_t* __restrict out, int count) {
    for (int x = 0; x < count; ++x) {
        const std::uint32_t v = in[x];
        const std::uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        out[x] = OpaqueAlpha | ((r << 3 | r >> 2) << 16) | ((g << 3 | g >> 2) << 8) | (b << 3 | b >> 2);
    }
}

struct TMemoryInput {
    const std::vector<std::uint8_t>* Bytes = nullptr;
    std::size_t At = 0;
};

int ReadMemory(void* opaque, std::uint8_t* buffer, int size) {
    auto* in = static_cast<TMemoryInput*>(opaque);
    const std::size_t left = in->Bytes->size() - in->At;
    if (left == 0) return AVERROR_EOF;
    const std::size_t n = std::min(left, std::size_t(size));
    std::memcpy(buffer, in->Bytes->data() + in->At, n);
    in->At += n;
    return int(n);
}

// The codec parameters FFmpeg's AVI demuxer derives from the stream's headers.
AviResult ReadCodecParameters(const TAviStreamLayout& layout, int width, int height, AVCodecParameters* out) {
    const std::vector<std::uint8_t> header = HeaderOnlyAvi(layout, width, height);
    TMemoryInput input{&header, 0};
    constexpr int BufferSize = 4096;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(BufferSize));
    if (!buffer) return AVIERR_MEMORY;
    AVIOContext* io = avio_alloc_context(buffer, BufferSize, 0, &input, ReadMemory, nullptr, nullptr);
    if (!io) {
        av_free(buffer);
        return AVIERR_MEMORY;
    }
    io->seekable = 0;
    AVFormatContext* context = avformat_alloc_context();
    AviResult result = AVIERR_BADFORMAT;
    if (!context) {
        result = AVIERR_MEMORY;
    } else {
        context->pb = io;
        context->flags |= AVFMT_FLAG_CUSTOM_IO;
        // Asked for by name: only AVI files are read, whatever their contents resemble.
        const AVInputFormat* avi = av_find_input_format("avi");
        const int opened =
            avi ? avformat_open_input(&context, nullptr, avi, nullptr) : AVERROR_DEMUXER_NOT_FOUND;
        if (opened < 0) {
            result = AviReadResult(opened);
            context = nullptr; // freed by the failed open
        } else if (context->nb_streams >= 1 &&
                   context->streams[0]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            const int copied = avcodec_parameters_copy(out, context->streams[0]->codecpar);
            result = copied < 0 ? AviReadResult(copied) : AVIERR_OK;
        }
        avformat_close_input(&context);
    }
    av_freep(&io->buffer);
    avio_context_free(&io);
    return result;
}

} // namespace

struct TAviFrameDecoder::TImpl {
    int Fd = -1;
    TAviStreamLayout Layout;
    std::uint64_t FileSize = 0;
    int Width = 0;
    int Height = 0;
    std::uint32_t Count = 0;
    // The chunks that hold data, and for each position the one it shows (-1: none before it).
    std::vector<TAviChunk> Data;
    std::vector<std::int32_t> PositionData;
    // Key frames found by decoding: 1 a key frame, 0 not, -1 unknown.
    std::vector<std::int8_t> Key;
    bool IntraOnly = false;
    std::uint32_t Palette[PaletteEntries] = {};
    bool HasPalette = false;
    // A chunk that was in the file when it was opened could not be read: the file has changed since.
    bool ReadFailed = false;

    AVCodecParameters* Parameters = nullptr;
    AVCodecContext* Codec = nullptr;
    AVPacket* Packet = nullptr;
    AVFrame* Received = nullptr;
    AVFrame* Picture = nullptr; // the picture of PictureData
    SwsContext* Scaler = nullptr;
    // The aligned picture the scaler writes when the bitmap's rows are not aligned for it.
    AVFrame* Aligned = nullptr;
    bool CodecDelays = false;
    // 16-bit Video 1, our recordings': decoded by our own decoder straight into Working, which the
    // image handed out shares until either is written to.
    bool OwnMsvc1 = false;
    QImage Working;
    std::vector<std::uint8_t> Chunk;

    // Where the decoder stands: the next data chunk it is sent, the data chunk of its next picture out.
    bool Started = false;
    bool Draining = false;
    std::int64_t NextSend = 0;
    std::int64_t LastOut = -1;
    std::int64_t PictureData = -1;

    ~TImpl() { Release(); }

    void Release() {
        sws_freeContext(Scaler);
        Scaler = nullptr;
        av_frame_free(&Aligned);
        av_frame_free(&Picture);
        av_frame_free(&Received);
        av_packet_free(&Packet);
        avcodec_free_context(&Codec);
        avcodec_parameters_free(&Parameters);
        Fd = -1;
        Layout = TAviStreamLayout();
        Data.clear();
        PositionData.clear();
        Key.clear();
        Width = Height = 0;
        Count = 0;
        HasPalette = false;
        ReadFailed = false;
        Started = Draining = false;
        OwnMsvc1 = false;
        Working = QImage();
        Chunk.clear();
        NextSend = 0;
        LastOut = -1;
        PictureData = -1;
    }

    AviResult Prepare();
    void ReadPalette();
    bool IsRestartPoint(std::int64_t data);
    std::int64_t RestartPoint(std::int64_t data);
    int SendChunk(std::int64_t data);
    bool DecodeData(std::int64_t data);
    bool DecodeOwn(std::int64_t data);
    bool Convert(const AVFrame* frame, QImage& image);
};

void TAviFrameDecoder::TImpl::ReadPalette() {
    TBitmapInfoHeader h;
    std::memcpy(&h, Layout.Format.data(), sizeof h);
    if (h.biBitCount > 8 || h.biBitCount == 0 || h.biSize < sizeof h) return;
    const std::uint32_t full = 1u << h.biBitCount;
    const std::uint32_t entries = std::min(h.biClrUsed ? h.biClrUsed : full, std::uint32_t(PaletteEntries));
    const std::size_t start = h.biSize;
    if (start > Layout.Format.size()) return;
    const std::size_t available = (Layout.Format.size() - start) / DibColorEntrySize;
    const std::size_t n = std::min<std::size_t>(entries, available);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t bgrx;
        std::memcpy(&bgrx, Layout.Format.data() + start + i * DibColorEntrySize, 4);
        Palette[i] = OpaqueAlpha | (bgrx & 0xFFFFFF);
    }
    HasPalette = n > 0;
}

AviResult TAviFrameDecoder::TImpl::Prepare() {
    TBitmapInfoHeader h;
    std::memcpy(&h, Layout.Format.data(), sizeof h);
    const std::int64_t width = h.biWidth;
    const std::int64_t height = h.biHeight < 0 ? -std::int64_t(h.biHeight) : std::int64_t(h.biHeight);
    if (width <= 0 || height <= 0 || width > MaxAviFrameSide || height > MaxAviFrameSide ||
        width * height > MaxAviFramePixels)
        return AVIERR_BADFORMAT;
    Width = int(width);
    Height = int(height);

    Parameters = avcodec_parameters_alloc();
    if (!Parameters) return AVIERR_MEMORY;
    if (const AviResult r = ReadCodecParameters(Layout, Width, Height, Parameters)) return r;
    const AVCodec* decoder = avcodec_find_decoder(Parameters->codec_id);
    if (!decoder) return AVIERR_BADFORMAT;
    Codec = avcodec_alloc_context3(decoder);
    Packet = av_packet_alloc();
    Received = av_frame_alloc();
    Picture = av_frame_alloc();
    Aligned = av_frame_alloc();
    if (!Codec || !Packet || !Received || !Picture || !Aligned) return AVIERR_MEMORY;
    if (avcodec_parameters_to_context(Codec, Parameters) < 0) return AVIERR_MEMORY;
    // One thread: a picture is asked for and wanted at once, and frame threads would hold frames back.
    Codec->thread_count = 1;
    // A picture's size comes from its own bytes in some codecs: none larger than the stream's may be.
    Codec->max_pixels = MaxAviFramePixels;
    if (const int opened = avcodec_open2(Codec, decoder, nullptr); opened < 0) return AviReadResult(opened);
    CodecDelays = (decoder->capabilities & AV_CODEC_CAP_DELAY) != 0;
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(Parameters->codec_id);
    IntraOnly = descriptor && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY);
    OwnMsvc1 = Parameters->codec_id == AV_CODEC_ID_MSVIDEO1 &&
               Msvc1Decoder::Takes(Width, Height, Parameters->bits_per_coded_sample);
    ReadPalette();

    Count = Layout.FrameCount();
    PositionData.resize(Count);
    std::int32_t last = -1;
    for (std::uint32_t p = 0; p < Count; ++p) {
        const TAviChunk& c = Layout.Chunks[p];
        // A chunk that claims more than the file holds cannot be read: it shows the picture before.
        if (c.Size > 0 && c.Offset <= FileSize && c.Size <= FileSize - c.Offset) {
            last = std::int32_t(Data.size());
            Data.push_back(c);
        }
        PositionData[p] = last;
    }
    Key.assign(Data.size(), -1);
    for (std::size_t i = 0; i < Data.size(); ++i)
        if (IntraOnly || Data[i].KeyKnown) Key[i] = IntraOnly || Data[i].KeyFrame ? 1 : 0;
    return AVIERR_OK;
}

bool TAviFrameDecoder::TImpl::IsRestartPoint(std::int64_t data) {
    // The first picture is where every decode can start, whatever the index says of it.
    if (data == 0) return true;
    std::int8_t& key = Key[std::size_t(data)];
    if (key < 0) {
        // A chunk no index told of: a Video 1 frame says itself whether it needs the one before.
        key = 0;
        const TAviChunk& c = Data[std::size_t(data)];
        if (Parameters->codec_id == AV_CODEC_ID_MSVIDEO1) {
            std::vector<std::uint8_t> bytes(c.Size);
            if (TAviFileBytes(Fd).Read(c.Offset, bytes.data(), bytes.size()))
                key = IsSelfContainedMsvc1Frame(bytes.data(), bytes.size(), Width, Height,
                                                Parameters->bits_per_coded_sample)
                          ? 1
                          : 0;
            else
                key = -1; // asked again should the bytes come back
        }
    }
    return key == 1;
}

std::int64_t TAviFrameDecoder::TImpl::RestartPoint(std::int64_t data) {
    while (data > 0 && !IsRestartPoint(data))
        --data;
    return data;
}

int TAviFrameDecoder::TImpl::SendChunk(std::int64_t data) {
    const TAviChunk& c = Data[std::size_t(data)];
    av_packet_unref(Packet);
    if (const int made = av_new_packet(Packet, int(std::min<std::uint32_t>(c.Size, INT32_MAX))); made < 0)
        return made;
    TAviFileBytes bytes(Fd);
    if (!bytes.Read(c.Offset, Packet->data, std::size_t(Packet->size))) {
        ReadFailed = true;
        return AVERROR(EIO);
    }
    // No presentation time: the codec's own order gives it, and a decoder would otherwise reorder by it.
    Packet->pts = AV_NOPTS_VALUE;
    Packet->dts = data;
    Packet->flags = Key[std::size_t(data)] == 1 ? AV_PKT_FLAG_KEY : 0;
    if (HasPalette) {
        // Sent with every packet: after a restart the decoder must have its colours again.
        std::uint8_t* side = av_packet_new_side_data(Packet, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
        if (side) std::memcpy(side, Palette, AVPALETTE_SIZE);
    }
    return avcodec_send_packet(Codec, Packet);
}

bool TAviFrameDecoder::TImpl::DecodeData(std::int64_t data) {
    if (PictureData == data) return true;
    // A picture held here would make the decoder copy its whole picture before it decodes into it.
    av_frame_unref(Picture);
    PictureData = -1;
    std::int64_t key = RestartPoint(data);
    // A codec that holds frames back may show, after a key frame, pictures that refer to the frames
    // before it: those are decoded too, from the key frame before.
    if (CodecDelays && key > 0) key = RestartPoint(key - 1);
    // Going on costs the chunks up to data; starting again costs those from the key frame.
    if (!Started || Draining || data <= LastOut || key >= NextSend) {
        avcodec_flush_buffers(Codec);
        Started = true;
        Draining = false;
        NextSend = key;
        LastOut = key - 1;
    }
    const std::int64_t chunks = std::int64_t(Data.size());
    while (true) {
        const int received = avcodec_receive_frame(Codec, Received);
        if (received == 0) {
            // Each packet carries its chunk's number as its decoding time; a picture comes out with
            // that of the packet that pushed it out, as many packets late as the codec holds back.
            // Pictures drained at the end carry none and follow one another.
            const std::int64_t out = Received->pkt_dts != AV_NOPTS_VALUE
                                         ? Received->pkt_dts - std::max(Codec->has_b_frames, 0)
                                         : LastOut + 1;
            if (out <= LastOut) {
                av_frame_unref(Received);
                continue;
            }
            LastOut = out;
            if (out >= data) {
                av_frame_unref(Picture);
                av_frame_move_ref(Picture, Received);
                PictureData = out;
                // Past the one asked for: that chunk gave no picture.
                return out == data;
            }
            av_frame_unref(Received);
            continue;
        }
        if (received == AVERROR(EAGAIN)) {
            if (NextSend < chunks) {
                // A chunk that does not decode gives no picture; the next ones keep their numbers.
                SendChunk(NextSend++);
                if (ReadFailed) {
                    // Not a picture that does not decode: the bytes are gone, and what the decoder
                    // would show from here on is not this position's picture.
                    ReadFailed = false;
                    Started = false;
                    return false;
                }
            } else if (!Draining) {
                Draining = true;
                avcodec_send_packet(Codec, nullptr);
            } else {
                Started = false;
                return false;
            }
            continue;
        }
        // The end of the drained stream, or a decoder failure: the decoder starts again next time.
        Started = false;
        return false;
    }
}

bool TAviFrameDecoder::TImpl::DecodeOwn(std::int64_t data) {
    if (PictureData == data) return true;
    const std::int64_t key = RestartPoint(data);
    if (!Started || data <= LastOut || key >= NextSend) {
        Started = true;
        NextSend = key;
        LastOut = key - 1;
    }
    TAviFileBytes bytes(Fd);
    while (NextSend <= data) {
        const TAviChunk& c = Data[std::size_t(NextSend++)];
        Chunk.resize(c.Size);
        if (!bytes.Read(c.Offset, Chunk.data(), Chunk.size())) {
            // The chunk was in the file when it was opened: the file has changed since, and the
            // picture before it is not this position's. Decoding starts afresh next time.
            Started = false;
            PictureData = -1;
            Working = QImage();
            return false;
        }
        // A chunk that does not decode leaves the picture before it.
        Msvc1Decoder::Decode(Chunk.data(), Chunk.size(), Working, Width, Height);
        LastOut = NextSend - 1;
    }
    if (Working.isNull()) return false;
    PictureData = data;
    return true;
}

bool TAviFrameDecoder::TImpl::Convert(const AVFrame* frame, QImage& image) {
    if (image.width() != Width || image.height() != Height || image.format() != QImage::Format_RGB32) {
        image = QImage(Width, Height, QImage::Format_RGB32);
        if (image.isNull()) return false;
    }
    AVPixelFormat format = AVPixelFormat(frame->format);
    if (format == AV_PIX_FMT_RGB555LE && frame->width == Width && frame->height == Height) {
        // Microsoft Video 1's pictures, our recordings': the scaler's own loop for them costs more than
        // decoding does.
        for (int y = 0; y < Height; ++y)
            ExpandRgb555(reinterpret_cast<const std::uint16_t*>(frame->data[0] +
                                                                std::ptrdiff_t(y) * frame->linesize[0]),
                         reinterpret_cast<std::uint32_t*>(image.scanLine(y)), Width);
        return true;
    }
    bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    // The scaler takes JPEG's full-range formats as their plain ones with the range said apart.
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        format = AV_PIX_FMT_YUV420P, fullRange = true;
        break;
    case AV_PIX_FMT_YUVJ422P:
        format = AV_PIX_FMT_YUV422P, fullRange = true;
        break;
    case AV_PIX_FMT_YUVJ444P:
        format = AV_PIX_FMT_YUV444P, fullRange = true;
        break;
    case AV_PIX_FMT_YUVJ440P:
        format = AV_PIX_FMT_YUV440P, fullRange = true;
        break;
    case AV_PIX_FMT_YUVJ411P:
        format = AV_PIX_FMT_YUV411P, fullRange = true;
        break;
    default:
        break;
    }
    Scaler = sws_getCachedContext(Scaler, frame->width, frame->height, format, Width, Height,
                                  AV_PIX_FMT_RGB32, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!Scaler) return false;
    if (fullRange) {
        int* inverse = nullptr;
        int* table = nullptr;
        int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
        if (sws_getColorspaceDetails(Scaler, &inverse, &srcRange, &table, &dstRange, &brightness, &contrast,
                                     &saturation) >= 0 &&
            srcRange != 1)
            sws_setColorspaceDetails(Scaler, inverse, 1, table, dstRange, brightness, contrast, saturation);
    }
    // The scaler's fast paths write whole groups of pixels and want rows aligned as FFmpeg aligns its
    // own: a row of a width that is no multiple of 16 goes through an aligned buffer.
    const int rowBytes = Width * 4;
    const bool direct = rowBytes % 64 == 0 && image.bytesPerLine() == rowBytes;
    if (!direct && (Aligned->width != Width || Aligned->height != Height)) {
        av_frame_unref(Aligned);
        Aligned->format = AV_PIX_FMT_RGB32;
        Aligned->width = Width;
        Aligned->height = Height;
        if (av_frame_get_buffer(Aligned, 0) < 0) return false;
    }
    std::uint8_t* planes[4] = {direct ? image.bits() : Aligned->data[0], nullptr, nullptr, nullptr};
    int strides[4] = {direct ? int(image.bytesPerLine()) : Aligned->linesize[0], 0, 0, 0};
    if (sws_scale(Scaler, frame->data, frame->linesize, 0, frame->height, planes, strides) <= 0) return false;
    if (!direct) {
        for (int y = 0; y < Height; ++y)
            std::memcpy(image.scanLine(y), planes[0] + std::ptrdiff_t(y) * strides[0], std::size_t(rowBytes));
    }
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    if (d && (d->flags & (AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL))) {
        // Our bitmaps are opaque: a picture's alpha would show the canvas through.
        for (int y = 0; y < Height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
            for (int x = 0; x < Width; ++x)
                row[x] |= OpaqueAlpha;
        }
    }
    return true;
}

TAviFrameDecoder::TAviFrameDecoder() : Impl(std::make_unique<TImpl>()) {}

TAviFrameDecoder::~TAviFrameDecoder() = default;

AviResult TAviFrameDecoder::Open(int fd, TAviStreamLayout layout) {
    Impl->Release();
    if (layout.Format.size() < sizeof(TBitmapInfoHeader)) return AVIERR_BADFORMAT;
    Impl->Fd = fd;
    Impl->FileSize = TAviFileBytes(fd).Size();
    Impl->Layout = std::move(layout);
    AviResult result;
    try {
        result = Impl->Prepare();
    } catch (const std::bad_alloc&) {
        result = AVIERR_MEMORY;
    }
    if (result) Impl->Release();
    return result;
}

void TAviFrameDecoder::Close() {
    Impl->Release();
}

int TAviFrameDecoder::Width() const {
    return Impl->Width;
}

int TAviFrameDecoder::Height() const {
    return Impl->Height;
}

std::uint32_t TAviFrameDecoder::FrameCount() const {
    return Impl->Count;
}

bool TAviFrameDecoder::Decode(std::uint32_t position, QImage& image) {
    if (!Impl->Codec || position >= Impl->Count) return false;
    const std::int32_t data = Impl->PositionData[position];
    if (data < 0) {
        // Nothing was written before this position: it shows black, as a player shows it.
        if (image.width() != Impl->Width || image.height() != Impl->Height ||
            image.format() != QImage::Format_RGB32)
            image = QImage(Impl->Width, Impl->Height, QImage::Format_RGB32);
        if (image.isNull()) return false;
        image.fill(OpaqueAlpha);
        return true;
    }
    try {
        if (Impl->OwnMsvc1) {
            // The image gives up its share first, so that decoding copies nothing the caller no longer
            // holds.
            image = QImage();
            if (!Impl->DecodeOwn(data)) return false;
            image = Impl->Working;
            return true;
        }
        return Impl->DecodeData(data) && Impl->Convert(Impl->Picture, image);
    } catch (const std::bad_alloc&) {
        return false;
    }
}
