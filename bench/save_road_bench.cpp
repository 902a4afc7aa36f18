// Framory's save road against FFmpeg transcoding the same file, in the same run: a 1920 x 1080
// recording of 300 frames (written on the recorder's road, a key frame every 5), a third of its
// positions annotated, saved through the whole road (decode, draw the steps, encode, write, move over
// the target) and, beside it, `ffmpeg -i same.avi -c:v msvideo1`. Prints frames per second of each,
// their ratio, and the longest gap between two progress steps, each with the load average beside it.
//
//   save_road_bench [frames]      (default 300)
//   save_road_bench --busy 8      the same beside 8 processes spinning on the cores
#include "avi/AviReader.h"
#include "avi/SaveAvi.h"
#include "editor/EditList.h"
#include "editor/SaveEditList.h"
#include "editor/ScaledSteps.h"
#include "model/EllipseRect.h"
#include "model/LineStep.h"
#include "model/TextStep.h"
#include "platform/Canvas.h"
#include "support/BusyLoad.h"

#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <string>

namespace {

constexpr int Width = 1920, Height = 1080;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// A desktop with a window that moves a little every frame and a clock-like line of text: the kind
// of picture a screen recording holds.
QImage RecordedFrame(int i) {
    QImage frame(Width, Height, QImage::Format_RGB32);
    QPainter p(&frame);
    QLinearGradient sky(0, 0, 0, Height);
    sky.setColorAt(0, QColor(0x1E, 0x50, 0x8C));
    sky.setColorAt(1, QColor(0x8C, 0xB4, 0xDC));
    p.fillRect(frame.rect(), sky);
    const QRect window(200 + (i * 3) % 600, 150 + (i * 2) % 300, 900, 600);
    p.fillRect(window, QColor(0xF0, 0xF0, 0xF0));
    p.fillRect(window.x(), window.y(), window.width(), 28, QColor(0x0A, 0x24, 0x6A));
    p.setPen(Qt::black);
    for (int line = 0; line < 20; ++line)
        p.drawText(window.x() + 16, window.y() + 60 + line * 26,
                   QString("Line %1 of a document, frame %2").arg(line).arg(line == 3 ? i : 0));
    p.fillRect(0, Height - 40, Width, 40, QColor(0x30, 0x30, 0x30));
    p.setPen(Qt::white);
    p.drawText(Width - 120, Height - 14, QString("12:%1").arg(i / 10, 2, 10, QChar('0')));
    return frame;
}

void AddAnnotations(TDrawSteps& steps, int position) {
    auto box = std::make_unique<TEllipseRect>();
    box->StartX = 300 + position;
    box->StartY = 200;
    box->EndX = 900 + position;
    box->EndY = 500;
    box->Width = 5;
    box->Color = 0x0000FF;
    box->IsRect = true;
    steps.Add(std::move(box));
    auto line = std::make_unique<TLineStep>();
    line->StartX = 100;
    line->StartY = 900;
    line->EndPoint.X = 1500;
    line->EndPoint.Y = 300 + position;
    line->EndPoint.Width = 8;
    line->EndPoint.Color = 0x00FF00;
    steps.Add(std::move(line));
    auto ellipse = std::make_unique<TEllipseRect>();
    ellipse->StartX = 1200;
    ellipse->StartY = 600;
    ellipse->EndX = 1700;
    ellipse->EndY = 950;
    ellipse->Width = 3;
    ellipse->Color = 0xFF0000;
    ellipse->Filled = true;
    steps.Add(std::move(ellipse));
}

} // namespace

int main(int argc, char** argv) {
    // Started before any thread of this process, and spinning until the end.
    const TBusyLoad busy(TBusyLoad::TakeBusyArgument(argc, argv));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int frames = argc > 1 ? std::atoi(argv[1]) : 300;
    QTemporaryDir dir;
    qputenv("TMPDIR", dir.path().toLocal8Bit());
    const QString source = dir.path() + "/recording.avi";
    const QString target = dir.path() + "/saved.avi";

    {
        TSaveAvi writer;
        writer.SetFrameRate(10);
        writer.Open(source, RecordedFrame(0));
        for (int i = 0; i < frames; ++i)
            if (!writer.AddFrame(RecordedFrame(i))) {
                std::fprintf(stderr, "could not write the recording\n");
                return 1;
            }
        writer.Close();
    }
    QFile::copy(source, target);

    TAVIFile reader;
    reader.Open(source);
    TEditList list;
    list.Reset(int(reader.FrameCount()));
    for (int i = 0; i < list.Count(); i += 3)
        AddAnnotations(list.FrameSteps[i], i);

    TSaveRequest request;
    request.Target = target;
    request.FrameMap = list.FrameMap;
    request.ReadFrame = [&](int frame) { return reader.GetFrame(frame); };
    request.RateNumerator = reader.RateNumerator();
    request.RateDenominator = reader.RateDenominator();
    request.DrawSteps = [&](QImage& frame, int position) {
        const TDrawSteps& steps = list.FrameSteps[position];
        if (!steps.Count()) return;
        Canvas canvas(frame);
        canvas.Brush.Style = TBrushStyle::bsClear;
        for (int i = 0; i < steps.Count(); ++i)
            DrawStepScaled(*steps.GetItem(i), canvas, 100);
    };
    Clock::time_point lastStep = Clock::now();
    double longestGap = 0;
    request.Progress = [&](int) {
        const Clock::time_point now = Clock::now();
        longestGap = std::max(longestGap, Seconds(now - lastStep));
        lastStep = now;
    };
    const Clock::time_point started = Clock::now();
    lastStep = started;
    const TSaveOutcome outcome = SaveEditList(request);
    const double ours = Seconds(Clock::now() - started);
    const std::string ourLoad = busy.Label();
    if (outcome.End != TSaveEnd::Saved) {
        std::fprintf(stderr, "save failed: %s\n", qPrintable(outcome.Message));
        return 1;
    }

    QProcess ffmpeg;
    const Clock::time_point ffStarted = Clock::now();
    ffmpeg.start("ffmpeg",
                 {"-v", "error", "-y", "-i", source, "-c:v", "msvideo1", dir.path() + "/ffmpeg.avi"});
    const bool ran = ffmpeg.waitForFinished(-1) && ffmpeg.exitCode() == 0;
    const double theirs = Seconds(Clock::now() - ffStarted);

    std::printf("save road: %d frames of %dx%d, %d annotated, in %.2f s: %.1f frames/s; longest gap between "
                "progress steps %.0f ms%s\n",
                frames, Width, Height, (frames + 2) / 3, ours, frames / ours, longestGap * 1000,
                ourLoad.c_str());
    if (ran)
        std::printf("ffmpeg -i same.avi -c:v msvideo1: %.2f s: %.1f frames/s%s\nratio: %.1f x\n", theirs,
                    frames / theirs, busy.Label().c_str(), theirs / ours);
    else
        std::printf("ffmpeg did not run%s\n", busy.Label().c_str());
    return 0;
}
