#include "AviFixtures.h"

#include "avi/AviReader.h"
#include "avi/SaveAvi.h"

#include "platform/Msvc1Compressor.h"
#include "recorder/AviRecordingSink.h"
#include "recorder/PackedDib.h"

#include <QDir>
#include <QProcess>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

constexpr int CommandTimeoutMs = 120000;
constexpr int PatternColours = 64;

QByteArray RunTool(const QString& program, const QStringList& arguments, bool* ok) {
    QProcess process;
    process.start(program, arguments);
    *ok = process.waitForFinished(CommandTimeoutMs) && process.exitStatus() == QProcess::NormalExit &&
          process.exitCode() == 0;
    return process.readAllStandardOutput();
}

QRgb PatternColour(int number) {
    return qRgb((number & 3) * 85, ((number >> 2) & 3) * 85, ((number >> 4) & 3) * 85);
}

} // namespace

bool RunFFmpeg(const QStringList& arguments) {
    bool ok = false;
    RunTool("ffmpeg", QStringList{"-v", "error", "-y", "-nostdin"} + arguments, &ok);
    return ok;
}

bool MakeTestAvi(const QString& file, int width, int height, const QString& rate, int frames,
                 const QString& codecArguments) {
    QStringList arguments{"-f",        "lavfi",
                          "-i",        QString("testsrc=size=%1x%2:rate=%3").arg(width).arg(height).arg(rate),
                          "-frames:v", QString::number(frames)};
    arguments += codecArguments.split(' ', Qt::SkipEmptyParts);
    arguments << file;
    return RunFFmpeg(arguments);
}

std::vector<QImage> DecodeWithFFmpeg(const QString& file, bool byTime) {
    bool ok = false;
    const QByteArray size = RunTool("ffprobe",
                                    {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                     "stream=width,height", "-of", "csv=p=0:s=x", file},
                                    &ok);
    const QList<QByteArray> sides = size.trimmed().split('x');
    if (!ok || sides.size() != 2) return {};
    const int width = sides[0].toInt(), height = sides[1].toInt();
    const QByteArray raw =
        RunTool("ffmpeg",
                {"-v", "error", "-nostdin", "-i", file, "-fps_mode", byTime ? "cfr" : "passthrough", "-f",
                 "rawvideo", "-pix_fmt", "bgra", "-"},
                &ok);
    const qsizetype frameBytes = qsizetype(width) * height * 4;
    std::vector<QImage> frames;
    if (!ok || frameBytes <= 0) return frames;
    for (qsizetype at = 0; at + frameBytes <= raw.size(); at += frameBytes) {
        QImage picture(reinterpret_cast<const uchar*>(raw.constData() + at), width, height, width * 4,
                       QImage::Format_RGB32);
        frames.push_back(picture.copy());
    }
    return frames;
}

QString ProbeRate(const QString& file) {
    bool ok = false;
    return QString::fromUtf8(RunTool("ffprobe",
                                     {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                      "stream=r_frame_rate", "-of", "csv=p=0", file},
                                     &ok)
                                 .trimmed());
}

int ProbeFrameCount(const QString& file) {
    bool ok = false;
    const QByteArray out = RunTool("ffprobe",
                                   {"-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                                    "stream=nb_read_frames", "-of", "csv=p=0", file},
                                   &ok);
    return ok ? out.trimmed().toInt() : -1;
}

void ExpectReadRate(const QString& file, int delay, std::uint32_t numerator, std::uint32_t denominator) {
    TAVIFile avi;
    ASSERT_NO_THROW(avi.Open(file));
    EXPECT_EQ(avi.FrameDelay(), delay);
    EXPECT_EQ(avi.RateNumerator(), numerator);
    EXPECT_EQ(avi.RateDenominator(), denominator);
}

int MaxChannelDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            worst = std::max({worst, std::abs(qRed(p[col]) - qRed(q[col])),
                              std::abs(qGreen(p[col]) - qGreen(q[col])),
                              std::abs(qBlue(p[col]) - qBlue(q[col]))});
        }
    }
    return worst;
}

double MeanChannelDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            sum += std::abs(qRed(p[col]) - qRed(q[col])) + std::abs(qGreen(p[col]) - qGreen(q[col])) +
                   std::abs(qBlue(p[col]) - qBlue(q[col]));
    }
    return sum / (3.0 * x.width() * x.height());
}

QImage PatternPicture(int width, int height, int number) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(PatternColour(number % PatternColours));
    return picture;
}

int PatternNumberOf(const QImage& picture) {
    if (picture.isNull()) return -1;
    const QRgb seen = picture.pixel(picture.width() / 2, picture.height() / 2);
    for (int n = 0; n < PatternColours; ++n) {
        const QRgb c = PatternColour(n);
        if (std::abs(qRed(c) - qRed(seen)) < 20 && std::abs(qGreen(c) - qGreen(seen)) < 20 &&
            std::abs(qBlue(c) - qBlue(seen)) < 20)
            return n;
    }
    return -1;
}

bool WriteMsvcRecording(const QString& file, int width, int height, const std::vector<int>& positions) {
    TAviRecordingSink sink(Msvc1CompressorFactory());
    const TPackedDib first = MakeDIB(PatternPicture(width, height, 0), 32);
    if (sink.Open(file) || sink.CreateStream(10, first) ||
        sink.MakeCompressedStream(MakeFourCC('M', 'S', 'V', 'C'), 5, 6550) || sink.SetFormat(first))
        return false;
    for (int position : positions)
        if (sink.Write(position, MakeDIB(PatternPicture(width, height, position), 32))) return false;
    return sink.Close() == 0;
}

bool CopyThroughEditor(const QString& source, const QString& target, TSaveAvi& out,
                       const std::function<int(int position)>& frameOf) {
    TAVIFile in;
    try {
        in.Open(source);
        out.Open(target, *in.GetFrame(0));
    } catch (const Exception&) {
        return false;
    }
    for (int i = 0; i < int(in.FrameCount()); ++i) {
        const QImage* frame = in.GetFrame(frameOf ? frameOf(i) : i);
        if (!frame || !out.AddFrame(*frame)) return false;
    }
    return out.Close();
}

int OpenDescriptorCount() {
    return int(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
}
