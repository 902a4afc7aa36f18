#include "RecordedAvi.h"

#include <QFile>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

QImage ToImage(const AVFrame* frame) {
    const int f = frame->format;
    QImage image(frame->width, frame->height, QImage::Format_RGB32);
    auto five = [](int c) { return c << 3 | c >> 2; };
    for (int y = 0; y < frame->height; ++y) {
        const std::uint8_t* row = frame->data[0] + std::ptrdiff_t(y) * frame->linesize[0];
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < frame->width; ++x) {
            if (f == AV_PIX_FMT_RGB555LE) {
                const int v = row[2 * x] | row[2 * x + 1] << 8;
                out[x] = qRgb(five(v >> 10 & 31), five(v >> 5 & 31), five(v & 31));
            } else if (f == AV_PIX_FMT_BGRA || f == AV_PIX_FMT_BGR0) {
                out[x] = qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
            } else if (f == AV_PIX_FMT_BGR24) {
                out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
            } else if (f == AV_PIX_FMT_PAL8) {
                out[x] = reinterpret_cast<const std::uint32_t*>(frame->data[1])[row[x]] | 0xFF000000u;
            } else {
                return {};
            }
        }
    }
    return image;
}

} // namespace

TRecordedAvi ReadRecordedAvi(const QString& fileName) {
    TRecordedAvi out;
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, QFile::encodeName(fileName).constData(), nullptr, nullptr) < 0)
        return out;
    AVCodecContext* decoder = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    if (avformat_find_stream_info(context, nullptr) >= 0 && context->nb_streams >= 1) {
        const AVStream* stream = context->streams[0];
        out.Opened = true;
        out.Length = stream->nb_frames;
        out.Size = QSize(stream->codecpar->width, stream->codecpar->height);
        if (stream->avg_frame_rate.den)
            out.FramesPerSecond = stream->avg_frame_rate.num / stream->avg_frame_rate.den;
        const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
        decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
        if (decoder && avcodec_parameters_to_context(decoder, stream->codecpar) >= 0 &&
            avcodec_open2(decoder, codec, nullptr) >= 0) {
            while (av_read_frame(context, packet) >= 0) {
                const std::int64_t position = packet->pts;
                if (avcodec_send_packet(decoder, packet) >= 0 && avcodec_receive_frame(decoder, frame) >= 0)
                    out.Frames.emplace_back(position, ToImage(frame));
                av_packet_unref(packet);
            }
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&context);
    return out;
}

bool AviFileComplete(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 12) return false;
    const QByteArray head = file.read(8);
    std::uint32_t riffSize = 0;
    std::memcpy(&riffSize, head.constData() + 4, 4);
    return head.startsWith("RIFF") && qint64(riffSize) + 8 <= file.size() && riffSize > 4;
}
