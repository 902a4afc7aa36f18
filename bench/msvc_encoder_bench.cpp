// Our Microsoft Video 1 encoder against FFmpeg's msvideo1 encoder on synthetic 1920 x 1080 screen
// content: time per frame (median, key frames apart), bytes per frame and PSNR of what FFmpeg's decoder
// shows, both encoders in the same run. Also the worst case, where every block changes every frame.
//
//   msvc_encoder_bench [frames] [quality]      (defaults: 40 frames, quality 6550, a key frame every 5)
#include "platform/Msvc1Encoder.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kKeyFramesEvery = 5; // the recorder's default
constexpr int kDefaultQuality = 6550;

// Wall-clock and thread CPU time of one call, in milliseconds. The CPU time leaves out the time the
// thread waited for a core, which on a busy machine is most of the difference.
class Stopwatch {
public:
    Stopwatch() : Wall(std::chrono::steady_clock::now()), Cpu(CpuNow()) {}
    double WallMs() const {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Wall).count();
    }
    double CpuMs() const { return CpuNow() - Cpu; }

private:
    static double CpuNow() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    }
    std::chrono::steady_clock::time_point Wall;
    double Cpu;
};

struct Timing {
    double WallMs = 0, CpuMs = 0;
};

// ---------------------------------------------------------------------------------------------------
// Screen content

void DrawWindow(QPainter& p, const QRect& r, const QString& title, int seed) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(r, QColor(0xD4, 0xD0, 0xC8));
    p.setPen(Qt::white);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    const QRect bar(r.left() + 3, r.top() + 3, r.width() - 6, 18);
    QLinearGradient g(bar.topLeft(), bar.topRight());
    g.setColorAt(0, QColor(0x0A, 0x24, 0x6A));
    g.setColorAt(1, QColor(0xA6, 0xCA, 0xF0));
    p.fillRect(bar, g);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    QFont f("DejaVu Sans");
    f.setPixelSize(12);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(bar.adjusted(4, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, title);
    const QRect client(r.left() + 4, r.top() + 44, r.width() - 8, r.height() - 48);
    p.fillRect(client, Qt::white);
    f.setBold(false);
    f.setPixelSize(13);
    p.setFont(f);
    p.setPen(Qt::black);
    static const char* words[] = {"recording", "the",         "screen", "into",  "AVI",    "files",
                                  "with",      "annotations", "layer",  "frame", "editor", "pointer",
                                  "clicks",    "quality",     "key",    "Video"};
    std::mt19937 rng(seed);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    for (int y = client.top() + 16; y < client.bottom() - 4; y += 17) {
        QString line;
        while (line.size() < client.width() / 8)
            line += QString(words[rng() % 16]) + ' ';
        p.drawText(QPoint(client.left() + 6, y), line);
    }
    // A row of buttons under the title bar.
    for (int i = 0; i < 5; ++i) {
        const QRect b(r.left() + 6 + i * 64, r.top() + 23, 60, 18);
        p.setPen(Qt::white);
        p.drawRect(b);
        p.setPen(QColor(0x80, 0x80, 0x80));
        p.drawLine(b.bottomLeft(), b.bottomRight());
        p.drawLine(b.topRight(), b.bottomRight());
        f.setPixelSize(11);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(b, Qt::AlignCenter, QString("Item %1").arg(i + 1));
    }
}

QImage MakePhoto(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 6);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double u = double(x) / w, v = double(y) / h;
            const double r = 120 + 90 * std::sin(6 * u + 2 * v) + noise(rng);
            const double g = 110 + 70 * std::cos(4 * v - 3 * u) + noise(rng);
            const double b = 90 + 60 * std::sin(9 * u * v + 1) + noise(rng);
            row[x] = qRgb(std::clamp(int(r), 0, 255), std::clamp(int(g), 0, 255), std::clamp(int(b), 0, 255));
        }
    }
    return img;
}

void DrawPointer(QPainter& p, QPoint at) {
    QPainterPath arrow;
    arrow.moveTo(at);
    arrow.lineTo(at + QPoint(0, 17));
    arrow.lineTo(at + QPoint(4, 13));
    arrow.lineTo(at + QPoint(8, 20));
    arrow.lineTo(at + QPoint(10, 19));
    arrow.lineTo(at + QPoint(6, 12));
    arrow.lineTo(at + QPoint(12, 12));
    arrow.closeSubpath();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawPath(arrow);
    p.setBrush(Qt::NoBrush);
}

// A desktop with a task bar, three windows (one holding a photo), a window dragged across it and the
// pointer dragging it; a line of text grows by a word each frame.
class ScreenScene {
public:
    ScreenScene() : Photo(MakePhoto(560, 360)), Background(kWidth, kHeight, QImage::Format_RGB32) {
        Background.fill(QColor(0x3A, 0x6E, 0xA5));
        QPainter p(&Background);
        p.fillRect(0, kHeight - 30, kWidth, 30, QColor(0xD4, 0xD0, 0xC8));
        p.setPen(Qt::white);
        p.drawLine(0, kHeight - 30, kWidth, kHeight - 30);
        DrawWindow(p, QRect(60, 40, 900, 620), "Framory - holiday.avi", 1);
        DrawWindow(p, QRect(1000, 80, 820, 460), "Notes", 2);
        DrawWindow(p, QRect(1100, 580, 620, 440), "Photo", 3);
        p.drawImage(1104, 624, Photo);
        QFont f("DejaVu Sans");
        f.setPixelSize(12);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(QRect(kWidth - 80, kHeight - 30, 80, 30), Qt::AlignCenter, "12:34");
    }

    QImage Frame(int n) const {
        QImage img = Background.copy();
        QPainter p(&img);
        const QPoint origin(200 + 9 * n, 300 + 4 * n);
        DrawWindow(p, QRect(origin, QSize(520, 340)), "Options", 4);
        QFont f("DejaVu Sans");
        f.setPixelSize(13);
        p.setFont(f);
        p.setPen(Qt::black);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        QString typed;
        for (int i = 0; i <= n; ++i)
            typed += QString("word%1 ").arg(i);
        p.drawText(QPoint(1010, 128), typed.left(100));
        DrawPointer(p, origin + QPoint(120, 10));
        return img;
    }

private:
    QImage Photo, Background;
};

// Every block changes every frame: fresh noise over the whole screen.
QImage NoiseFrame(int n) {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    std::mt19937 rng(1000 + n);
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < kWidth; ++x)
            row[x] = 0xFF000000u | (rng() & 0xFFFFFF);
    }
    return img;
}

// ---------------------------------------------------------------------------------------------------
// FFmpeg

struct CodecContext {
    AVCodecContext* Ctx = nullptr;
    AVFrame* Frame = av_frame_alloc();
    AVPacket* Pkt = av_packet_alloc();
    ~CodecContext() {
        avcodec_free_context(&Ctx);
        av_frame_free(&Frame);
        av_packet_free(&Pkt);
    }
};

class FfmpegDecoder : CodecContext {
public:
    FfmpegDecoder(int w, int h) {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MSVIDEO1);
        Ctx = avcodec_alloc_context3(codec);
        Ctx->width = w;
        Ctx->height = h;
        Ctx->bits_per_coded_sample = 16;
        if (avcodec_open2(Ctx, codec, nullptr) < 0) throw std::runtime_error("msvideo1 decoder");
    }
    // The decoded picture with its RGB555 levels shown as a reader shows them ((v << 3) | (v >> 2)).
    QImage Decode(const uint8_t* data, int size) {
        if (av_new_packet(Pkt, size) < 0) throw std::runtime_error("packet");
        std::memcpy(Pkt->data, data, size);
        const int sent = avcodec_send_packet(Ctx, Pkt);
        av_packet_unref(Pkt);
        if (sent < 0 || avcodec_receive_frame(Ctx, Frame) < 0) return {};
        QImage img(Frame->width, Frame->height, QImage::Format_RGB32);
        for (int y = 0; y < Frame->height; ++y) {
            const auto* in = reinterpret_cast<const uint16_t*>(Frame->data[0] + y * Frame->linesize[0]);
            auto* out = reinterpret_cast<uint32_t*>(img.scanLine(y));
            for (int x = 0; x < Frame->width; ++x) {
                const int r = in[x] >> 10 & 31, g = in[x] >> 5 & 31, b = in[x] & 31;
                out[x] = qRgb(r << 3 | r >> 2, g << 3 | g >> 2, b << 3 | b >> 2);
            }
        }
        av_frame_unref(Frame);
        return img;
    }
};

class FfmpegEncoder : CodecContext {
public:
    FfmpegEncoder(int w, int h, int keyFramesEvery) {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MSVIDEO1);
        Ctx = avcodec_alloc_context3(codec);
        Ctx->width = w;
        Ctx->height = h;
        Ctx->pix_fmt = AV_PIX_FMT_RGB555LE;
        Ctx->time_base = {1, 10};
        Ctx->keyint_min = keyFramesEvery; // its key-frame rule reads this one
        Ctx->gop_size = keyFramesEvery;
        if (avcodec_open2(Ctx, codec, nullptr) < 0) throw std::runtime_error("msvideo1 encoder");
        Frame->format = AV_PIX_FMT_RGB555LE;
        Frame->width = w;
        Frame->height = h;
        if (av_frame_get_buffer(Frame, 0) < 0) throw std::runtime_error("frame");
        Sws = sws_getContext(w, h, AV_PIX_FMT_BGRA, w, h, AV_PIX_FMT_RGB555LE, SWS_POINT, nullptr, nullptr,
                             nullptr);
    }
    ~FfmpegEncoder() { sws_freeContext(Sws); }
    // Encodes one RGB32 picture; the time covers the encoder only, not the RGB555 conversion it needs.
    std::vector<uint8_t> Encode(const QImage& img, Timing& time, bool& key) {
        av_frame_make_writable(Frame);
        const uint8_t* src[1] = {img.constBits()};
        const int srcStride[1] = {int(img.bytesPerLine())};
        sws_scale(Sws, src, srcStride, 0, img.height(), Frame->data, Frame->linesize);
        Frame->pts = Pts++;
        const Stopwatch watch;
        if (avcodec_send_frame(Ctx, Frame) < 0 || avcodec_receive_packet(Ctx, Pkt) < 0)
            throw std::runtime_error("encode");
        time = {watch.WallMs(), watch.CpuMs()};
        key = Pkt->flags & AV_PKT_FLAG_KEY;
        std::vector<uint8_t> out(Pkt->data, Pkt->data + Pkt->size);
        av_packet_unref(Pkt);
        return out;
    }

private:
    SwsContext* Sws = nullptr;
    int64_t Pts = 0;
};

// ---------------------------------------------------------------------------------------------------
// Figures

double SquaredError(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = reinterpret_cast<const uint32_t*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const uint32_t*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            for (int s = 0; s < 24; s += 8) {
                const int d = int(pa[x] >> s & 0xFF) - int(pb[x] >> s & 0xFF);
                sum += d * d;
            }
    }
    return sum;
}

double Psnr(double squaredError, double samples) {
    return squaredError <= 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * samples / squaredError);
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Figures {
    std::vector<double> KeyMs, PredictedMs, KeyCpuMs, PredictedCpuMs;
    Timing First;
    double Bytes = 0, KeyBytes = 0, Error = 0;
    int Frames = 0, Keys = 0, Undecoded = 0;
    void Add(Timing time, bool key, size_t bytes, const QImage& source, const QImage& decoded) {
        if (Frames == 0) First = time;
        (key ? KeyMs : PredictedMs).push_back(time.WallMs);
        (key ? KeyCpuMs : PredictedCpuMs).push_back(time.CpuMs);
        Bytes += bytes;
        if (key) KeyBytes += bytes, ++Keys;
        ++Frames;
        if (decoded.isNull() || decoded.size() != source.size())
            ++Undecoded;
        else
            Error += SquaredError(source, decoded);
    }
    double BytesPerFrame() const { return Bytes / Frames; }
    double PsnrDb() const { return Psnr(Error, 3.0 * kWidth * kHeight * (Frames - Undecoded)); }
    static std::string Ms(const std::vector<double>& wall, const std::vector<double>& cpu) {
        if (wall.empty()) return "     -                ";
        char text[64];
        std::snprintf(text, sizeof text, "%7.2f ms (cpu %6.2f)", Median(wall), Median(cpu));
        return text;
    }
    void Print(const char* name) const {
        std::printf(
            "  %-7s predicted %s  key %s  first %6.2f ms | %8.0f bytes/frame (key %8.0f) | PSNR %.2f dB%s\n",
            name, Ms(PredictedMs, PredictedCpuMs).c_str(), Ms(KeyMs, KeyCpuMs).c_str(), First.WallMs,
            BytesPerFrame(), Keys ? KeyBytes / Keys : 0.0, PsnrDb(),
            Undecoded ? "  (SOME FRAMES DID NOT DECODE)" : "");
    }
};

template <typename MakeFrame>
void Run(const char* title, int frames, int quality, bool withFfmpeg, MakeFrame makeFrame) {
    std::printf("%s: %d frames of %dx%d, quality %d, a key frame every %d\n", title, frames, kWidth, kHeight,
                quality, kKeyFramesEvery);
    std::vector<QImage> sources;
    for (int n = 0; n < frames; ++n)
        sources.push_back(makeFrame(n));

    Msvc1Encoder ours(kWidth, kHeight, quality, kKeyFramesEvery);
    FfmpegDecoder ourDecoder(kWidth, kHeight);
    Figures our;
    for (const QImage& img : sources) {
        bool key = false;
        const Stopwatch watch;
        const std::vector<uint8_t>& packet = ours.Encode(img.constBits(), img.bytesPerLine(), key);
        const Timing time{watch.WallMs(), watch.CpuMs()};
        const QImage decoded = ourDecoder.Decode(packet.data(), int(packet.size()));
        our.Add(time, key, packet.size(), img, decoded);
    }
    our.Print("ours");

    if (!withFfmpeg) return;
    FfmpegEncoder theirs(kWidth, kHeight, kKeyFramesEvery);
    FfmpegDecoder theirDecoder(kWidth, kHeight);
    Figures their;
    for (const QImage& img : sources) {
        Timing time;
        bool key = false;
        const std::vector<uint8_t> packet = theirs.Encode(img, time, key);
        const QImage decoded = theirDecoder.Decode(packet.data(), int(packet.size()));
        their.Add(time, key, packet.size(), img, decoded);
    }
    their.Print("FFmpeg");
    std::vector<double> ourAll = our.PredictedMs, theirAll = their.PredictedMs;
    ourAll.insert(ourAll.end(), our.KeyMs.begin(), our.KeyMs.end());
    theirAll.insert(theirAll.end(), their.KeyMs.begin(), their.KeyMs.end());
    std::printf(
        "  ours against FFmpeg: %.0f times as fast (median of all frames), %.0f %% of the bytes, %+.2f dB\n",
        Median(theirAll) / Median(ourAll), 100.0 * our.BytesPerFrame() / their.BytesPerFrame(),
        our.PsnrDb() - their.PsnrDb());
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
    const int quality = argc > 2 ? std::atoi(argv[2]) : kDefaultQuality;
    const bool ffmpeg = !(argc > 3 && std::strcmp(argv[3], "--ours-only") == 0);
    double load[3] = {};
    if (getloadavg(load, 3) > 0)
        std::printf(
            "Load average %.1f on %u cores: the wall-clock times grow with it, the CPU times much less.\n",
            load[0], std::thread::hardware_concurrency());

    const ScreenScene scene;
    Run("Screen content", frames, quality, ffmpeg, [&](int n) { return scene.Frame(n); });
    Run("Worst case, the whole screen scrolling a pixel a frame", std::min(frames, 20), quality, ffmpeg,
        [&](int n) {
            const QImage screen = scene.Frame(0);
            return screen.copy(0, -n, kWidth, kHeight); // rows above the top read as black
        });
    Run("Worst case, noise changing every pixel every frame", std::min(frames, 10), quality, ffmpeg,
        NoiseFrame);
    return 0;
}
