#include "AviProbe.h"

#include <QFile>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

std::uint32_t FourCC(const char* s) {
    return std::uint32_t(std::uint8_t(s[0])) | std::uint32_t(std::uint8_t(s[1])) << 8 |
           std::uint32_t(std::uint8_t(s[2])) << 16 | std::uint32_t(std::uint8_t(s[3])) << 24;
}

std::uint32_t Le32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Walks the chunks between begin and end, descending into RIFF and LIST chunks.
void Walk(QFile& f, qint64 begin, qint64 end, TRiffLayout& out) {
    qint64 at = begin;
    while (at + 8 <= end) {
        std::uint8_t head[12];
        f.seek(at);
        if (f.read(reinterpret_cast<char*>(head), 8) != 8) return;
        const std::uint32_t id = Le32(head), size = Le32(head + 4);
        const qint64 data = at + 8;
        if (id == FourCC("RIFF") || id == FourCC("LIST")) {
            if (f.read(reinterpret_cast<char*>(head + 8), 4) != 4) return;
            if (id == FourCC("RIFF")) out.RiffForms.push_back(Le32(head + 8));
            if (Le32(head + 8) != FourCC("movi")) Walk(f, data + 4, data + size, out);
        } else if (id == FourCC("avih") || id == FourCC("strh") || id == FourCC("strf") ||
                   id == FourCC("idx1")) {
            QByteArray bytes = f.read(size);
            const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.constData());
            if (id == FourCC("avih") && bytes.size() >= 20) out.MainHeaderFrames = Le32(b + 16);
            if (id == FourCC("strh") && bytes.size() >= 36 && out.Rate == 0) {
                out.StreamHandler = Le32(b + 4);
                out.Scale = Le32(b + 20);
                out.Rate = Le32(b + 24);
                out.Length = Le32(b + 32);
            }
            if (id == FourCC("strf") && out.StreamFormat.empty())
                out.StreamFormat.assign(b, b + bytes.size());
            if (id == FourCC("idx1"))
                for (qsizetype i = 0; i + 16 <= bytes.size(); i += 16)
                    out.Index.push_back({Le32(b + i), Le32(b + i + 4), Le32(b + i + 12)});
        } else if (id == FourCC("indx")) {
            out.HasOpenDmlIndex = true;
        }
        at = data + size + (size & 1);
    }
}

struct TInput {
    AVFormatContext* Context = nullptr;
    ~TInput() { avformat_close_input(&Context); }
};

} // namespace

TProbedStream ProbeAvi(const QString& fileName, bool packetsToo) {
    TProbedStream out;
    TInput in;
    if (avformat_open_input(&in.Context, QFile::encodeName(fileName).constData(), nullptr, nullptr) < 0)
        return out;
    if (in.Context->nb_streams < 1) return out;
    AVStream* st = in.Context->streams[0];
    out.Opened = true;
    out.CodecId = st->codecpar->codec_id;
    out.CodecTag = st->codecpar->codec_tag;
    out.Width = st->codecpar->width;
    out.Height = st->codecpar->height;
    out.TimeBaseNum = st->time_base.num;
    out.TimeBaseDen = st->time_base.den;
    out.FrameRateNum = st->avg_frame_rate.num;
    out.FrameRateDen = st->avg_frame_rate.den;
    out.FrameCount = st->nb_frames;
    for (int i = 0; i < avformat_index_get_entries_count(st); ++i) {
        out.IndexTimestamps.push_back(avformat_index_get_entry(st, i)->timestamp);
        out.IndexPositions.push_back(avformat_index_get_entry(st, i)->pos);
    }
    if (!packetsToo) return out;
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(in.Context, pkt) >= 0) {
        out.Packets.push_back({pkt->pts, (pkt->flags & AV_PKT_FLAG_KEY) != 0,
                               std::vector<std::uint8_t>(pkt->data, pkt->data + pkt->size)});
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    return out;
}

namespace {

// A decoded picture of the formats our files decode to, as 32-bit pixels; null for any other.
QImage ToImage(const AVFrame* frame) {
    const int f = frame->format;
    if (f != AV_PIX_FMT_BGRA && f != AV_PIX_FMT_BGR24 && f != AV_PIX_FMT_RGB555LE && f != AV_PIX_FMT_PAL8)
        return {};
    QImage image(frame->width, frame->height, QImage::Format_ARGB32);
    auto five = [](int c) { return c << 3 | c >> 2; };
    for (int y = 0; y < frame->height; ++y) {
        const std::uint8_t* row = frame->data[0] + std::ptrdiff_t(y) * frame->linesize[0];
        auto* outRow = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < frame->width; ++x) {
            if (f == AV_PIX_FMT_BGRA) {
                outRow[x] = qRgba(row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]);
            } else if (f == AV_PIX_FMT_BGR24) {
                outRow[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
            } else if (f == AV_PIX_FMT_RGB555LE) {
                const int v = row[2 * x] | row[2 * x + 1] << 8;
                outRow[x] = qRgb(five(v >> 10 & 31), five(v >> 5 & 31), five(v & 31));
            } else {
                outRow[x] = reinterpret_cast<const std::uint32_t*>(frame->data[1])[row[x]] | 0xFF000000u;
            }
        }
    }
    return image;
}

} // namespace

int ForEachDecodedFrame(const QString& fileName,
                        const std::function<bool(std::int64_t position, const QImage& picture)>& visit) {
    TInput in;
    if (avformat_open_input(&in.Context, QFile::encodeName(fileName).constData(), nullptr, nullptr) < 0)
        return -1;
    if (avformat_find_stream_info(in.Context, nullptr) < 0 || in.Context->nb_streams < 1) return -1;
    const AVCodecParameters* par = in.Context->streams[0]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) return -1;
    AVCodecContext* dec = avcodec_alloc_context3(codec);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int visited = -1;
    if (avcodec_parameters_to_context(dec, par) >= 0 && avcodec_open2(dec, codec, nullptr) >= 0) {
        visited = 0;
        bool more = true;
        while (more && av_read_frame(in.Context, pkt) >= 0) {
            // Each packet of these codecs is one whole picture: it comes out at once or not at all.
            if (avcodec_send_packet(dec, pkt) >= 0 && avcodec_receive_frame(dec, frame) >= 0) {
                ++visited;
                more = visit(frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->pkt_dts, ToImage(frame));
            }
            av_packet_unref(pkt);
        }
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    return visited;
}

QImage DecodeFirstFrame(const QString& fileName) {
    QImage first;
    ForEachDecodedFrame(fileName, [&](std::int64_t, const QImage& picture) {
        first = picture;
        return false;
    });
    return first;
}

TRiffLayout ReadRiffLayout(const QString& fileName) {
    TRiffLayout out;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) return out;
    Walk(f, 0, f.size(), out);
    return out;
}
