// The editor's AVI reader against FFmpeg on the same file, in the same run: a 1920 x 1080 "MSVC"
// recording of 300 frames with a key frame every 5, written by our writer, read
//   - sequentially: our GetFrame against FFmpeg decoding each frame and converting it to RGB32;
//   - in random order: our GetFrame against FFmpeg seeking to each position and decoding it alone.
// Prints frames per second of each and the ratios (ours / FFmpeg's; above 1 is faster).
//
//   avi_reader_bench [frames] [file]     (defaults: 300 frames, a temporary file)
#include "avi/AviReader.h"
#include "avi/SaveAvi.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <random>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int Width = 1920, Height = 1080;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Screen-like content: a desktop with windows and text, one window moving and its text changing, so
// that each predicted frame changes a part of the picture, as a recording does.
QImage Desktop(int frame) {
    QImage picture(Width, Height, QImage::Format_RGB32);
    QPainter p(&picture);
    QLinearGradient sky(0, 0, Width, Height);
    sky.setColorAt(0, QColor(20, 60, 120));
    sky.setColorAt(1, QColor(140, 180, 220));
    p.fillRect(picture.rect(), sky);
    for (int i = 0; i < 6; ++i) {
        const QRect window(80 + i * 260, 60 + (i % 3) * 280, 520, 360);
        p.fillRect(window, QColor(235, 235, 235));
        p.fillRect(window.adjusted(0, 0, 0, -window.height() + 28), QColor(40, 80, 160));
        p.setPen(Qt::black);
        for (int line = 0; line < 12; ++line)
            p.drawText(window.left() + 12, window.top() + 50 + line * 24,
                       QString("Line %1 of window %2: some text as documents show it").arg(line).arg(i));
    }
    const QRect moving(100 + frame * 5 % 1200, 500 + frame * 3 % 400, 600, 300);
    p.fillRect(moving, QColor(250, 250, 200));
    p.setPen(Qt::darkRed);
    p.drawText(
        moving.adjusted(20, 20, -20, -20), Qt::TextWordWrap,
        QString("Frame %1: a window moving over the desktop, its text changing every frame.").arg(frame));
    return picture;
}

struct TFFmpegInput {
    AVFormatContext* Format = nullptr;
    AVCodecContext* Codec = nullptr;
    AVPacket* Packet = av_packet_alloc();
    AVFrame* Frame = av_frame_alloc();
    int Stream = -1;

    explicit TFFmpegInput(const QString& file) {
        if (avformat_open_input(&Format, QFile::encodeName(file).constData(), nullptr, nullptr) < 0) return;
        avformat_find_stream_info(Format, nullptr);
        Stream = av_find_best_stream(Format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (Stream < 0) return;
        const AVCodec* decoder = avcodec_find_decoder(Format->streams[Stream]->codecpar->codec_id);
        Codec = avcodec_alloc_context3(decoder);
        avcodec_parameters_to_context(Codec, Format->streams[Stream]->codecpar);
        avcodec_open2(Codec, decoder, nullptr);
    }
    ~TFFmpegInput() {
        av_frame_free(&Frame);
        av_packet_free(&Packet);
        avcodec_free_context(&Codec);
        avformat_close_input(&Format);
    }
    // The next picture in decoding order, or false at the end.
    bool Next() {
        while (true) {
            const int received = avcodec_receive_frame(Codec, Frame);
            if (received == 0) return true;
            if (received != AVERROR(EAGAIN)) return false;
            if (av_read_frame(Format, Packet) < 0) {
                avcodec_send_packet(Codec, nullptr);
                continue;
            }
            if (Packet->stream_index == Stream) avcodec_send_packet(Codec, Packet);
            av_packet_unref(Packet);
        }
    }
};

// drawnOn: the caller writes to each frame, as the editor's save road does, which gives the frame
// pixels of its own.
double OursSequential(const QString& file, int frames, bool drawnOn) {
    TAVIFile avi;
    avi.Open(file);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        QImage* frame = avi.GetFrame(i);
        if (!frame)
            std::fprintf(stderr, "frame %d missing\n", i);
        else if (drawnOn)
            frame->bits()[0] = 0;
    }
    return frames / Seconds(start);
}

double OursRandom(const QString& file, const std::vector<int>& order) {
    TAVIFile avi;
    avi.Open(file);
    const auto start = std::chrono::steady_clock::now();
    for (int position : order)
        if (!avi.GetFrame(position)) std::fprintf(stderr, "frame %d missing\n", position);
    return double(order.size()) / Seconds(start);
}

double FFmpegSequential(const QString& file, int frames) {
    TFFmpegInput in(file);
    QImage rgb(Width, Height, QImage::Format_RGB32);
    SwsContext* scaler = nullptr;
    const auto start = std::chrono::steady_clock::now();
    int decoded = 0;
    while (decoded < frames && in.Next()) {
        scaler =
            sws_getCachedContext(scaler, in.Frame->width, in.Frame->height, AVPixelFormat(in.Frame->format),
                                 Width, Height, AV_PIX_FMT_RGB32, SWS_BICUBIC, nullptr, nullptr, nullptr);
        std::uint8_t* planes[4] = {rgb.bits()};
        int strides[4] = {int(rgb.bytesPerLine())};
        sws_scale(scaler, in.Frame->data, in.Frame->linesize, 0, in.Frame->height, planes, strides);
        ++decoded;
    }
    const double rate = decoded / Seconds(start);
    sws_freeContext(scaler);
    return rate;
}

double FFmpegRandom(const QString& file, const std::vector<int>& order) {
    TFFmpegInput in(file);
    const auto start = std::chrono::steady_clock::now();
    for (int position : order) {
        av_seek_frame(in.Format, in.Stream, position, AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(in.Codec);
        while (in.Next()) {
            const std::int64_t at = in.Frame->best_effort_timestamp;
            if (at >= position) break;
        }
    }
    return double(order.size()) / Seconds(start);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    QTemporaryDir dir;
    const QString file = argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath("bench.avi");

    if (!QFile::exists(file)) {
        std::printf("writing %d frames of %d x %d to %s ...\n", frames, Width, Height, qPrintable(file));
        TSaveAvi writer;
        writer.KeyFrameEvery = 5;
        writer.Open(file, Desktop(0));
        for (int i = 0; i < frames; ++i)
            writer.AddFrame(Desktop(i));
        writer.Close();
    }
    std::vector<int> order(std::size_t(frames), 0);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937(1));

    // Each measured twice, FFmpeg's and ours in turn, the better of two kept: the machine is shared.
    double ourSeq = 0, ourDrawn = 0, ffSeq = 0, ourRandom = 0, ffRandom = 0;
    for (int run = 0; run < 2; ++run) {
        ffSeq = std::max(ffSeq, FFmpegSequential(file, frames));
        ourSeq = std::max(ourSeq, OursSequential(file, frames, false));
        ourDrawn = std::max(ourDrawn, OursSequential(file, frames, true));
        ffRandom = std::max(ffRandom, FFmpegRandom(file, order));
        ourRandom = std::max(ourRandom, OursRandom(file, order));
    }
    std::printf("%-44s %10s %10s %8s\n", "", "ours", "FFmpeg", "ratio");
    std::printf("%-44s %8.0f/s %8.0f/s %8.2f\n", "sequential (FFmpeg: decode + RGB32)", ourSeq, ffSeq,
                ourSeq / ffSeq);
    std::printf("%-44s %8.0f/s %8.0f/s %8.2f\n", "sequential, each frame drawn on", ourDrawn, ffSeq,
                ourDrawn / ffSeq);
    std::printf("%-44s %8.0f/s %8.0f/s %8.2f\n", "random order (FFmpeg: seek + decode)", ourRandom, ffRandom,
                ourRandom / ffRandom);
    return 0;
}
