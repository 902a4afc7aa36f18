// Our Microsoft Video 1 encoder, judged by what FFmpeg's msvideo1 decoder makes of its packets.
#include "platform/Msvc1Encoder.h"
#include "platform/Msvc1BlockKernels.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace {

constexpr int kDefaultQuality = 6550;
constexpr int kTopQuality = 10000;
// A channel shown at its nearest 5-bit level is at most this far from the source.
constexpr int kLevelStep = 4;

// FFmpeg's decoder, one stream at a time; frames come out as RGB32 with the 5-bit levels shown as a
// reader shows them ((v << 3) | (v >> 2)).
class Msvideo1Decoder {
public:
    Msvideo1Decoder(int width, int height) {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MSVIDEO1);
        Ctx = avcodec_alloc_context3(codec);
        Ctx->width = width;
        Ctx->height = height;
        Ctx->bits_per_coded_sample = 16;
        if (avcodec_open2(Ctx, codec, nullptr) < 0) throw std::runtime_error("msvideo1 decoder");
        Frame = av_frame_alloc();
        Pkt = av_packet_alloc();
    }
    ~Msvideo1Decoder() {
        avcodec_free_context(&Ctx);
        av_frame_free(&Frame);
        av_packet_free(&Pkt);
    }
    Msvideo1Decoder(const Msvideo1Decoder&) = delete;
    Msvideo1Decoder& operator=(const Msvideo1Decoder&) = delete;

    // A null image when the decoder refuses the packet.
    QImage Decode(const std::vector<uint8_t>& packet) {
        if (av_new_packet(Pkt, int(packet.size())) < 0) throw std::runtime_error("packet");
        std::memcpy(Pkt->data, packet.data(), packet.size());
        const int sent = avcodec_send_packet(Ctx, Pkt);
        av_packet_unref(Pkt);
        if (sent < 0 || avcodec_receive_frame(Ctx, Frame) < 0) return {};
        QImage img(Frame->width, Frame->height, QImage::Format_RGB32);
        for (int y = 0; y < Frame->height; ++y) {
            const auto* in = reinterpret_cast<const uint16_t*>(Frame->data[0] + y * Frame->linesize[0]);
            auto* out = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < Frame->width; ++x) {
                const int r = in[x] >> 10 & 31, g = in[x] >> 5 & 31, b = in[x] & 31;
                out[x] = qRgb(r << 3 | r >> 2, g << 3 | g >> 2, b << 3 | b >> 2);
            }
        }
        av_frame_unref(Frame);
        return img;
    }

private:
    AVCodecContext* Ctx = nullptr;
    AVFrame* Frame = nullptr;
    AVPacket* Pkt = nullptr;
};

const std::vector<uint8_t>& EncodeImage(Msvc1Encoder& encoder, const QImage& img, bool* key = nullptr) {
    bool isKey = false;
    const std::vector<uint8_t>& packet = encoder.Encode(img.constBits(), img.bytesPerLine(), isKey);
    if (key) *key = isKey;
    return packet;
}

// The codes of a packet, read the way FFmpeg's decoder reads them.
struct PacketCodes {
    int SkipWords = 0, SkippedBlocks = 0, Fills = 0, Pairs = 0, Quarters = 0;
    bool Complete = true;  // every block covered, nothing read past the end
    bool ZeroSkip = false; // a skip word of count 0 (FFmpeg then skips the rest of the frame)
};

PacketCodes ReadCodes(const std::vector<uint8_t>& p, int blocks) {
    PacketCodes c;
    size_t pos = 0;
    for (int done = 0; done < blocks;) {
        if (pos + 2 > p.size()) return c.Complete = false, c;
        const int a = p[pos], b = p[pos + 1];
        pos += 2;
        if ((b & 0xFC) == 0x84) {
            const int n = (b - 0x84) << 8 | a;
            c.ZeroSkip |= n == 0;
            ++c.SkipWords;
            c.SkippedBlocks += n;
            done += std::max(n, 1);
        } else if (b < 0x80) {
            if (pos + 4 > p.size()) return c.Complete = false, c;
            const bool eight = p[pos + 1] & 0x80;
            pos += eight ? 16 : 4;
            ++(eight ? c.Quarters : c.Pairs);
            ++done;
        } else {
            ++c.Fills;
            ++done;
        }
    }
    c.Complete = pos <= p.size();
    return c;
}

int Blocks(const Msvc1Encoder& e) {
    return e.PaddedWidth() / 4 * (e.PaddedHeight() / 4);
}

int ChannelError(QRgb a, QRgb b) {
    return std::max(
        {std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// Largest channel difference over the source's rectangle.
int MaxError(const QImage& source, const QImage& decoded) {
    int worst = 0;
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            worst = std::max(worst, ChannelError(source.pixel(x, y), decoded.pixel(x, y)));
    return worst;
}

double Psnr(const QImage& source, const QImage& decoded) {
    double sum = 0;
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x) {
            const QRgb a = source.pixel(x, y), b = decoded.pixel(x, y);
            const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
            sum += dr * dr + dg * dg + db * db;
        }
    if (sum == 0) return 99;
    return 10 * std::log10(255.0 * 255.0 * 3.0 * source.width() * source.height() / sum);
}

// Each channel at its nearest 5-bit level: the closest any 16-bit stream can come.
QImage NearestLevels(const QImage& source) {
    QImage img = source.copy();
    auto level = [](int v) {
        int best = 0;
        for (int l = 1; l < 32; ++l)
            if (std::abs((l << 3 | l >> 2) - v) < std::abs((best << 3 | best >> 2) - v)) best = l;
        return best << 3 | best >> 2;
    };
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            img.setPixel(x, y, qRgb(level(qRed(p)), level(qGreen(p)), level(qBlue(p))));
        }
    return img;
}

// A small desktop: a classic title bar (its dark end the #0A246A of the skip-code trap), anti-aliased
// text, buttons, a smooth gradient standing in for a photo, and a little noise.
QImage ScreenPicture(int width, int height, int shift = 0) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(QColor(0xD4, 0xD0, 0xC8));
    QPainter p(&img);
    QLinearGradient bar(0, 0, width, 0);
    bar.setColorAt(0, QColor(0x0A, 0x24, 0x6A));
    bar.setColorAt(1, QColor(0xA6, 0xCA, 0xF0));
    p.fillRect(0, 0, width, 18, bar);
    p.fillRect(4, 40, width / 2, height - 44, Qt::white);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    QFont f("DejaVu Sans");
    f.setPixelSize(12);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(6, 13, "Options - Tavelin");
    p.setPen(Qt::black);
    for (int y = 56; y < height - 8; y += 15)
        p.drawText(8 + shift, y, "The quick brown fox jumps over the lazy dog 0123456789");
    QLinearGradient photo(width / 2 + 10, 40, width - 4, height - 4);
    photo.setColorAt(0, QColor(200, 120, 60));
    photo.setColorAt(0.5, QColor(60, 160, 90));
    photo.setColorAt(1, QColor(40, 70, 200));
    p.fillRect(QRect(QPoint(width / 2 + 10, 40), QPoint(width - 4, height - 4)), photo);
    p.end();
    std::mt19937 rng(5);
    for (int y = 40; y < height / 2; ++y)
        for (int x = width * 3 / 4; x < width - 4; ++x) {
            const QRgb c = img.pixel(x, y);
            const int n = int(rng() % 9) - 4;
            img.setPixel(x, y,
                         qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                              std::clamp(qBlue(c) + n, 0, 255)));
        }
    return img;
}

QImage EncodeAndDecodeKeyFrame(const QImage& img, int quality, size_t* bytes = nullptr) {
    Msvc1Encoder encoder(img.width(), img.height(), quality, 1);
    Msvideo1Decoder decoder(encoder.PaddedWidth(), encoder.PaddedHeight());
    const std::vector<uint8_t>& packet = EncodeImage(encoder, img);
    if (bytes) *bytes = packet.size();
    return decoder.Decode(packet);
}

} // namespace

TEST(Msvc1Encoder, DefaultQualityKeepsScreenContentAndTopQualityKeepsMore) {
    const QImage source = ScreenPicture(320, 240);
    const QImage atDefault = EncodeAndDecodeKeyFrame(source, kDefaultQuality);
    const QImage atTop = EncodeAndDecodeKeyFrame(source, kTopQuality);
    ASSERT_FALSE(atDefault.isNull());
    ASSERT_FALSE(atTop.isNull());
    // Two colours per quarter cannot follow every pixel of anti-aliased text: far from the levels' 40 dB
    // even at the top, which must still be clearly closer than the default.
    const double defaultPsnr = Psnr(source, atDefault), topPsnr = Psnr(source, atTop);
    EXPECT_GT(defaultPsnr, 27.0);
    EXPECT_GT(topPsnr, 29.5);
    EXPECT_GT(topPsnr, defaultPsnr + 1.5);
}

TEST(Msvc1Encoder, TopQualityShowsBlocksOfUpToTwoColoursPerQuarterExactlyAtTheirLevels) {
    // Random colours (red levels of 1 among them), each quarter two of them in a random pattern, some
    // blocks one colour and some two colours in all: every bit of mask and colour order must be right.
    std::mt19937 rng(11);
    QImage source(64, 48, QImage::Format_RGB32);
    for (int by = 0; by < 12; ++by)
        for (int bx = 0; bx < 16; ++bx) {
            const int kind = int(rng() % 3); // 0: one colour, 1: two colours, 2: two colours per quarter
            QRgb colours[4][2];
            for (auto& q : colours)
                for (QRgb& c : q)
                    c = qRgb(int(rng() % 256), int(rng() % 256), int(rng() % 256));
            if (bx % 4 == 0) colours[0][0] = qRgb(10, 36, 106);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    const int q = kind == 2 ? (y / 2) * 2 + x / 2 : 0;
                    const int pick = kind == 0 ? 0 : int(rng() % 2);
                    source.setPixel(bx * 4 + x, by * 4 + y, colours[q][pick]);
                }
        }
    const QImage decoded = EncodeAndDecodeKeyFrame(source, kTopQuality);
    ASSERT_FALSE(decoded.isNull());
    EXPECT_EQ(decoded, NearestLevels(source));
}

TEST(Msvc1Encoder, SizesNotMultipleOfFourArePaddedWithTheirEdges) {
    struct Case {
        int W, H, PaddedW, PaddedH;
    } cases[] = {{1366, 768, 1368, 768}, {1, 1, 4, 4}, {5, 3, 8, 4},
                 {17, 9, 20, 12},        {8, 8, 8, 8}, {6, 13, 8, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.W << "x" << c.H);
        // Grey, with a red last column and last row: the edges a lost border would take away.
        QImage source(c.W, c.H, QImage::Format_RGB32);
        source.fill(QColor(128, 128, 128));
        for (int y = 0; y < c.H; ++y)
            source.setPixel(c.W - 1, y, qRgb(220, 20, 20));
        for (int x = 0; x < c.W; ++x)
            source.setPixel(x, c.H - 1, qRgb(220, 20, 20));
        for (int quality : {kDefaultQuality, kTopQuality}) {
            Msvc1Encoder encoder(c.W, c.H, quality, 0);
            EXPECT_EQ(encoder.PaddedWidth(), c.PaddedW);
            EXPECT_EQ(encoder.PaddedHeight(), c.PaddedH);
            Msvideo1Decoder decoder(encoder.PaddedWidth(), encoder.PaddedHeight());
            const QImage decoded = decoder.Decode(EncodeImage(encoder, source));
            ASSERT_EQ(decoded.size(), QSize(c.PaddedW, c.PaddedH));
            EXPECT_LE(MaxError(source, decoded), kLevelStep) << "quality " << quality;
            // The padding repeats the edge pixels.
            for (int y = 0; y < c.PaddedH; ++y)
                for (int x = 0; x < c.PaddedW; ++x)
                    if (x >= c.W || y >= c.H) {
                        ASSERT_LE(ChannelError(decoded.pixel(x, y),
                                               source.pixel(std::min(x, c.W - 1), std::min(y, c.H - 1))),
                                  kLevelStep)
                            << x << "," << y;
                    }
        }
    }
}

TEST(Msvc1Encoder, ColoursWhoseFillWordReadsAsASkipCodeAreStillShown) {
    // A red level of 1 (8-bit red 8..11) puts a one-colour word at 0x84xx..0x87xx, a skip code. Each
    // picture follows a black one, so a misread skip would leave black (and shift all later blocks).
    const QRgb trapped[] = {qRgb(0x0A, 0x24, 0x6A), qRgb(8, 0, 0), qRgb(11, 11, 11), qRgb(9, 250, 250)};
    for (QRgb colour : trapped)
        for (int quality : {kDefaultQuality, kTopQuality}) {
            SCOPED_TRACE(testing::Message() << std::hex << colour << std::dec << " quality " << quality);
            QImage black(64, 32, QImage::Format_RGB32);
            black.fill(Qt::black);
            QImage source(64, 32, QImage::Format_RGB32);
            source.fill(colour);
            for (int x = 0; x < 64; ++x)
                source.setPixel(x, 31, qRgb(255, 255, 255)); // a last row that a shift would move or drop
            for (bool keyFrames : {true, false}) {
                Msvc1Encoder encoder(64, 32, quality, keyFrames ? 1 : 0);
                Msvideo1Decoder decoder(64, 32);
                decoder.Decode(EncodeImage(encoder, black));
                const QImage decoded = decoder.Decode(EncodeImage(encoder, source));
                ASSERT_FALSE(decoded.isNull());
                // Nudged to a neighbouring red level at worst, never lost.
                EXPECT_LE(MaxError(source, decoded), quality == kTopQuality ? kLevelStep : 10);
            }
        }
}

TEST(Msvc1Encoder, UnchangedFrameGivesAnAllSkipPacketThatTheDecoderTakes) {
    for (QSize size : {QSize(1920, 1080), QSize(640, 480), QSize(8, 4), QSize(4092, 4)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        const QImage source = ScreenPicture(size.width(), size.height());
        Msvc1Encoder encoder(size.width(), size.height(), kDefaultQuality, 0);
        Msvideo1Decoder decoder(encoder.PaddedWidth(), encoder.PaddedHeight());
        const QImage first = decoder.Decode(EncodeImage(encoder, source));
        ASSERT_FALSE(first.isNull());
        const std::vector<uint8_t> packet = EncodeImage(encoder, source);
        const PacketCodes codes = ReadCodes(packet, Blocks(encoder));
        EXPECT_TRUE(codes.Complete);
        EXPECT_FALSE(codes.ZeroSkip);
        EXPECT_EQ(codes.SkippedBlocks, Blocks(encoder));
        EXPECT_EQ(codes.SkipWords, (Blocks(encoder) + 1022) / 1023); // runs as long as a skip word holds
        EXPECT_GE(int(packet.size()), Blocks(encoder) / 512);        // FFmpeg's "Packet is too small"
        const QImage second = decoder.Decode(packet);
        ASSERT_FALSE(second.isNull()) << "decoder refused the all-skip packet";
        EXPECT_EQ(second, first);
    }
}

TEST(Msvc1Encoder, KeyFramesComeAtTheIntervalAndStandAlone) {
    struct Case {
        int Every;
        std::vector<bool> Keys;
    } cases[] = {
        {3, {true, false, false, true, false, false, true, false}},
        {1, {true, true, true, true, true, true, true, true}},
        {0, {true, false, false, false, false, false, false, false}},
        {-2, {true, false, false, false, false, false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "every " << c.Every);
        Msvc1Encoder encoder(160, 120, kDefaultQuality, c.Every);
        for (size_t n = 0; n < c.Keys.size(); ++n) {
            const QImage source = ScreenPicture(160, 120, int(n) * 3); // the text moves each frame
            bool key = false;
            const std::vector<uint8_t>& packet = EncodeImage(encoder, source, &key);
            EXPECT_EQ(key, c.Keys[n]) << "frame " << n;
            const PacketCodes codes = ReadCodes(packet, Blocks(encoder));
            EXPECT_TRUE(codes.Complete);
            if (key) {
                EXPECT_EQ(codes.SkipWords, 0) << "frame " << n;
                // A key frame decodes on its own, whatever came before.
                Msvideo1Decoder fresh(encoder.PaddedWidth(), encoder.PaddedHeight());
                const QImage decoded = fresh.Decode(packet);
                ASSERT_FALSE(decoded.isNull());
                EXPECT_GT(Psnr(source, decoded), 27.0) << "frame " << n;
            } else {
                EXPECT_GT(codes.SkipWords, 0) << "frame " << n; // the still parts are skipped
            }
        }
    }
}

TEST(Msvc1Encoder, KeyFramesSentAgainFromUnchangedBlocksMatchAFreshEncoder) {
    // Blocks unchanged since they were coded are sent again as coded; the key frame must be exactly what
    // an encoder that never saw the earlier frames sends. The second run has blocks that changed a little,
    // were skipped, then stayed: those must be fitted anew.
    const QImage a = ScreenPicture(320, 240, 0), b = ScreenPicture(320, 240, 5);
    QImage nudged = a.copy();
    for (int y = 100; y < 140; ++y)
        for (int x = 200; x < 300; ++x) {
            const QRgb c = nudged.pixel(x, y);
            nudged.setPixel(x, y, qRgb(std::min(qRed(c) + 2, 255), qGreen(c), qBlue(c)));
        }
    const std::vector<QImage> runs[] = {{a, b, a, b, a}, {a, nudged, nudged, nudged, nudged}};
    for (const std::vector<QImage>& run : runs) {
        Msvc1Encoder running(320, 240, kDefaultQuality, 4);
        std::vector<uint8_t> keyPacket;
        bool key = false;
        for (const QImage& picture : run)
            keyPacket = EncodeImage(running, picture, &key);
        ASSERT_TRUE(key);
        Msvc1Encoder fresh(320, 240, kDefaultQuality, 0);
        EXPECT_EQ(EncodeImage(fresh, run.back()), keyPacket);
    }
}

TEST(Msvc1Encoder, HigherQualityNeverGivesFewerBytesOrAWorsePicture) {
    const QImage source = ScreenPicture(320, 240);
    const int qualities[] = {0, 1000, 2500, 4000, 5500, 6550, 8000, 9000, 9800, 10000};
    size_t lastBytes = 0;
    double lastPsnr = 0;
    std::vector<size_t> bytes;
    std::vector<double> psnr;
    for (int q : qualities) {
        size_t size = 0;
        const QImage decoded = EncodeAndDecodeKeyFrame(source, q, &size);
        ASSERT_FALSE(decoded.isNull());
        bytes.push_back(size);
        psnr.push_back(Psnr(source, decoded));
        EXPECT_GE(size, lastBytes) << "quality " << q;
        EXPECT_GE(psnr.back(), lastPsnr) << "quality " << q;
        lastBytes = size, lastPsnr = psnr.back();
    }
    // And the range is a real one.
    EXPECT_GT(bytes.back(), 2 * bytes.front());
    EXPECT_GT(psnr.back(), psnr.front() + 6.0);
}

TEST(Msvc1Encoder, LongRunsOfPredictedFramesDoNotDrift) {
    // A gradient that brightens by one step a frame never changes a block by more than a skip tolerates,
    // so an encoder comparing with its last source instead of the shown picture would fall ever further
    // behind. Meanwhile a box moves across and text scrolls.
    constexpr int kFrames = 120;
    for (int quality : {kDefaultQuality, kTopQuality}) {
        SCOPED_TRACE(testing::Message() << "quality " << quality);
        Msvc1Encoder encoder(160, 96, quality, 0);
        Msvideo1Decoder decoder(160, 96);
        double worstPsnr = 99;
        int worstError = 0;
        QImage last, lastDecoded;
        for (int n = 0; n < kFrames; ++n) {
            QImage source = ScreenPicture(160, 96, n % 40);
            QPainter p(&source);
            const int level = 40 + n;
            QLinearGradient ramp(0, 0, 160, 0);
            ramp.setColorAt(0, QColor(level, level / 2, 255 - level));
            ramp.setColorAt(1, QColor(level + 40, level, 200 - level));
            p.fillRect(0, 60, 160, 36, ramp);
            p.fillRect(n % 140, 20, 16, 16, Qt::red);
            p.end();
            bool key = true;
            const QImage decoded = decoder.Decode(EncodeImage(encoder, source, &key));
            ASSERT_FALSE(decoded.isNull());
            ASSERT_EQ(key, n == 0);
            worstPsnr = std::min(worstPsnr, Psnr(source, decoded));
            const QImage rampSource = source.copy(0, 60, 160, 36), rampDecoded = decoded.copy(0, 60, 160, 36);
            worstError = std::max(worstError, MaxError(rampSource, rampDecoded));
            last = source, lastDecoded = decoded;
        }
        const double keyPsnr = Psnr(last, EncodeAndDecodeKeyFrame(last, quality));
        EXPECT_GT(worstPsnr, keyPsnr - 3.0);
        EXPECT_GT(Psnr(last, lastDecoded), keyPsnr - 2.0);
        EXPECT_LE(worstError,
                  quality == kTopQuality ? kLevelStep : 20); // drifting, it would grow by 1 a frame
    }
}

TEST(Msvc1Encoder, BottomUpRowsGiveTheSamePacket) {
    const QImage source = ScreenPicture(100, 70);
    // The same picture stored bottom row first, as a bottom-up bitmap holds it.
    std::vector<uint32_t> bottomUp(100 * 70);
    for (int y = 0; y < 70; ++y)
        std::memcpy(&bottomUp[size_t(69 - y) * 100], source.constScanLine(y), 400);
    Msvc1Encoder a(100, 70, kDefaultQuality, 0), b(100, 70, kDefaultQuality, 0);
    bool key = false;
    const auto* top = reinterpret_cast<const uint8_t*>(&bottomUp[size_t(69) * 100]);
    EXPECT_EQ(b.Encode(top, -400, key), EncodeImage(a, source));
}

TEST(Msvc1Encoder, RejectsSizesItCannotCode) {
    EXPECT_THROW(Msvc1Encoder(0, 10, kDefaultQuality, 5), std::invalid_argument);
    EXPECT_THROW(Msvc1Encoder(10, -1, kDefaultQuality, 5), std::invalid_argument);
    EXPECT_THROW(Msvc1Encoder(100000, 10, kDefaultQuality, 5), std::invalid_argument);
}

#if MSVC1_SSE2
TEST(Msvc1BlockKernels, Sse2AndPortableAgree) {
    namespace P = msvc1::portable;
    namespace S = msvc1::sse2;
    std::mt19937 random(3);
    const auto rng = [&] { return uint32_t(random()); };
    for (int round = 0; round < 2000; ++round) {
        alignas(64) uint32_t px[16], other[16];
        const int spread = round % 4 == 0 ? 0 : 1 << (round % 9); // flat, close and wild blocks
        const uint32_t base = rng() & 0xFFFFFF;
        for (int i = 0; i < 16; ++i) {
            uint32_t v = 0;
            for (int s = 0; s < 24; s += 8)
                v |= uint32_t(
                         std::clamp(int(base >> s & 0xFF) + int(rng() % (spread + 1)) - spread / 2, 0, 255))
                     << s;
            px[i] = v;
            other[i] = rng() & 0xFFFFFF;
        }
        {
            // Loading masks off the fourth byte; the kept copy is taken over when it differs.
            alignas(64) uint32_t raw[16], pl[16], sl[16], pk[16], sk[16];
            for (uint32_t& v : raw)
                v = rng();
            const uint8_t* rows[4];
            for (int r = 0; r < 4; ++r)
                rows[r] = reinterpret_cast<const uint8_t*>(raw + 4 * r);
            P::LoadRows(rows, 0, pl);
            S::LoadRows(rows, 0, sl);
            ASSERT_EQ(0, std::memcmp(pl, sl, sizeof pl));
            std::memcpy(pk, px, sizeof pk);
            std::memcpy(sk, px, sizeof sk);
            if (round % 2) pk[round % 16] ^= 1, sk[round % 16] ^= 1;
            ASSERT_EQ(P::SameOrCopy(px, pk), S::SameOrCopy(px, sk));
            ASSERT_EQ(0, std::memcmp(pk, sk, sizeof pk));
            ASSERT_EQ(0, std::memcmp(pk, px, sizeof pk));
        }
        P::Block pb;
        S::Block sb;
        P::Unpack(px, pb);
        S::Unpack(px, sb);
        ASSERT_EQ(P::IsFlat(px), S::IsFlat(px));
        ASSERT_EQ(P::SquaredDifference(px, other), S::SquaredDifference(px, other));
        ASSERT_EQ(P::SumOfSquares(pb), S::SumOfSquares(sb));
        const uint32_t mask = rng() & 0xFFFF;
        msvc1::QuarterTriples ps, ss, plo, phi, slo, shi;
        P::QuarterSums(pb, mask, ps);
        S::QuarterSums(sb, mask, ss);
        P::QuarterMinMax(pb, plo, phi);
        S::QuarterMinMax(sb, slo, shi);
        int pt[3], st[3];
        P::BlockSums(pb, mask, pt);
        S::BlockSums(sb, mask, st);
        for (int q = 0; q < 4; ++q)
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(ps.V[q][c], ss.V[q][c]);
                ASSERT_EQ(plo.V[q][c], slo.V[q][c]);
                ASSERT_EQ(phi.V[q][c], shi.V[q][c]);
            }
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(pt[c], st[c]);
        const int threshold[4] = {int(rng() % 512), int(rng() % 512), 0, int(rng() % 512)};
        const int channel[4] = {int(rng() % 3), int(rng() % 3), int(rng() % 3), int(rng() % 3)};
        ASSERT_EQ(P::Split(pb, channel, threshold), S::Split(sb, channel, threshold));
        ASSERT_EQ(P::SplitBlock(pb, channel[1], threshold[1]), S::SplitBlock(sb, channel[1], threshold[1]));
        msvc1::QuarterColours first, second;
        for (int q = 0; q < 4; ++q) {
            first.C[q] = msvc1::Pack(int(rng() % 256), int(rng() % 256), int(rng() % 256));
            second.C[q] = msvc1::Pack(int(rng() % 256), int(rng() % 256), int(rng() % 256));
        }
        int pe = 0, se = 0;
        ASSERT_EQ(P::Nearest(pb, first, second, pe), S::Nearest(sb, first, second, se));
        ASSERT_EQ(pe, se);
        ASSERT_EQ(P::NearestBlock(pb, first.C[2], second.C[3], pe),
                  S::NearestBlock(sb, first.C[2], second.C[3], se));
        ASSERT_EQ(pe, se);
        const uint32_t a[4] = {rng() & 0xFFFFFF, rng() & 0xFFFFFF, rng() & 0xFFFFFF, rng() & 0xFFFFFF};
        const uint32_t b[4] = {rng() & 0xFFFFFF, rng() & 0xFFFFFF, rng() & 0xFFFFFF, rng() & 0xFFFFFF};
        alignas(64) uint32_t pp[16], sp[16];
        P::Paint(pp, mask, a, b);
        S::Paint(sp, mask, a, b);
        ASSERT_EQ(0, std::memcmp(pp, sp, sizeof pp));
    }
}
#endif
