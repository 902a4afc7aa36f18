// What files and texts from outside cost: settings files of many lines, pictures whose headers claim
// more than their data holds, progressive JPEGs with repeated scans, and the repaint at 1920x1080 of
// the largest annotation texts the reader accepts. Prints each figure; the tests check outcomes and
// memory, these the time.
//
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "model/AnnotationScript.h"
#include "model/AnnotationTarget.h"
#include "model/LoadedStepBounds.h"
#include "platform/Canvas.h"
#include "platform/Exceptions.h"
#include "platform/IniFile.h"
#include "platform/JpegFormat.h"
#include "platform/Picture.h"
#include "tests/support/ProgressiveJpeg.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kScreenWidth = 1920, kScreenHeight = 1080;

double Ms(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

void WriteFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(data);
}

void IniFigures(const QTemporaryDir& dir) {
    const QString path = dir.filePath("Bench.ini");
    for (const int lines : {20000, 100000}) {
        QByteArray text = "[Settings]\nHotKey=Shift+Ctrl+W\n[Colors]\n";
        for (int i = 0; i < lines; ++i)
            text += "Color" + QByteArray::number(i) + "=" + QByteArray::number(i) + "\n";
        WriteFile(path, text);
        qsizetype read = 0;
        const double load = Ms([&] {
            const TIniFile ini(path);
            const QStringList values = ini.ReadSectionValues("Colors");
            for (const QString& value : values)
                read += ini.ReadString("Colors", value.section('=', 0, 0), {}).size();
        });
        const double write = Ms([&] { TIniFile(path).WriteInteger("Colors", "Color0", 1); });
        std::printf("settings, %6d lines in [Colors] (%4lld KB): read all %8.1f ms, one write %7.1f ms\n",
                    lines, (long long)(text.size() >> 10), load, write);
    }
    WriteFile(path, "[S]\nK=1\n" + QByteArray(5 << 20, '\n'));
    const double load = Ms([&] { TIniFile(path).ReadString("S", "K", {}); });
    const double write = Ms([&] { TIniFile(path).WriteString("S", "K", "2"); });
    std::printf("settings, 5 MB of empty lines: read %.1f ms, one write %.1f ms\n", load, write);
}

// The last scan (a refinement of few bits) repeated before the end marker.
QByteArray WithLastScanRepeated(const QByteArray& jpeg, int copies) {
    const qsizetype sos = jpeg.lastIndexOf(QByteArray("\xFF\xDA", 2));
    const QByteArray scan = jpeg.mid(sos, jpeg.size() - 2 - sos);
    return jpeg.left(jpeg.size() - 2) + scan.repeated(copies) + jpeg.right(2);
}

void PictureFigures(const QTemporaryDir& dir) {
    auto time = [&](const char* what, const QString& name, const QByteArray& data) {
        const QString path = dir.filePath(name);
        WriteFile(path, data);
        QString outcome = QStringLiteral("loaded");
        const double ms = Ms([&] {
            try {
                TPicture picture;
                picture.LoadFromFile(path);
                outcome = QStringLiteral("%1 x %2")
                              .arg(picture.Graphic()->Width())
                              .arg(picture.Graphic()->Height());
            } catch (const Exception& e) {
                outcome = e.message();
            }
        });
        std::printf("%-52s %8lld bytes %9.1f ms  %s\n", what, (long long)data.size(), ms,
                    qPrintable(outcome));
    };
    const QByteArray real = ProgressiveJpeg(2048, 3);
    time("progressive JPEG 2048 x 2048, as written", "real.jpg", real);
    time("the same with its last scan 200 times more", "scans.jpg", WithLastScanRepeated(real, 200));
    // The largest picture a stamp may be, its scans up to the bound and one beyond it.
    const QByteArray largest = ProgressiveJpeg(5760, 3);
    time("progressive JPEG 5760 x 5760, as written", "largest.jpg", largest);
    time("the same with 6 more scans, at the bound", "largest16.jpg", WithLastScanRepeated(largest, 6));
    time("the same with 7 more scans, beyond it", "largest17.jpg", WithLastScanRepeated(largest, 7));
    const QByteArray small = ProgressiveJpeg(512, 3);
    time("progressive JPEG 512 x 512, last scan 490 times more", "small.jpg",
         WithLastScanRepeated(small, 490));
}

class TBenchTarget : public TAnnotationTarget {
public:
    std::vector<std::unique_ptr<TDrawStep>> Steps;
    std::vector<TDrawStep*> Paint;
    bool GetLayerVisible(int) const override { return true; }
    void SetLayerVisible(int, bool) override {}
    int GetCurrLayer() const override { return 1; }
    void SetCurrLayer(int) override {}
    void PlaceLoaded(std::unique_ptr<TDrawStep> step) override {
        Paint.push_back(step.get());
        Steps.push_back(std::move(step));
    }
    const std::vector<TDrawStep*>& PaintList() const override { return Paint; }
};

// The largest count of items the reader accepts, and the target holding them.
bool Accepted(const QStringList& text) {
    TBenchTarget target;
    try {
        ReadScript(target, text);
        return true;
    } catch (const EReadError&) {
        return false;
    }
}

// The largest count of items the reader accepts, and the target holding them. The count doubles until
// the reader refuses it, so no text built is much larger than the largest accepted.
std::unique_ptr<TBenchTarget> LargestAccepted(const std::function<QStringList(int)>& text, int& count) {
    int low = 1, high = 2;
    while (Accepted(text(high))) {
        low = high;
        high *= 2;
    }
    while (high - low > 1) {
        const int mid = low + (high - low) / 2;
        (Accepted(text(mid)) ? low : high) = mid;
    }
    count = low;
    auto target = std::make_unique<TBenchTarget>();
    ReadScript(*target, text(low));
    return target;
}

void RepaintFigures() {
    QImage surface(kScreenWidth, kScreenHeight, QImage::Format_RGB32);
    auto repaint = [&](const char* what, const std::function<QStringList(int)>& text) {
        int count = 0;
        const std::unique_ptr<TBenchTarget> target = LargestAccepted(text, count);
        double slowest = 0;
        for (int run = 0; run < 3; ++run) {
            surface.fill(0xFF808080u);
            Canvas canvas(surface);
            canvas.Brush.Style = TBrushStyle::bsClear;
            slowest = std::max(slowest, Ms([&] {
                                   for (const TDrawStep* step : target->PaintList())
                                       step->Draw(canvas);
                               }));
        }
        std::printf("%-60s %8d accepted, repaint %7.1f ms (slowest of 3)\n", what, count, slowest);
    };
    auto section = [](const QString& header, const QString& body) {
        return QStringList{header} + body.split('\n');
    };
    repaint("freehand points at width 1000, one stroke", [&](int n) {
        QStringList lines = section("[MoveList]", "Start=0,0\nLayer=1\nMode=4");
        for (int i = 0; i < n; ++i)
            lines << QStringLiteral("Move=%1,%2,1000,clRed").arg(i * 37 % 1920).arg(i * 53 % 1080);
        return lines;
    });
    repaint("freehand points at width 1, one stroke", [&](int n) {
        QStringList lines = section("[MoveList]", "Start=0,0\nLayer=1\nMode=4");
        for (int i = 0; i < n; ++i)
            lines << QStringLiteral("Move=%1,%2,1,clRed").arg(i * 37 % 1920).arg(i * 53 % 1080);
        return lines;
    });
    repaint("highlighter strokes of 100 points at width 40", [&](int n) {
        QStringList lines;
        for (int s = 0; s < n; ++s) {
            lines += section("[MoveList]", QStringLiteral("Start=%1,0\nLayer=1\nMode=12").arg(s % 1900));
            for (int i = 0; i < 100; ++i)
                lines << QStringLiteral("Move=%1,%2,40,clYellow").arg(s % 1900 + i).arg(i * 10);
        }
        return lines;
    });
    repaint("rectangles with everything outside covered", [&](int n) {
        QStringList lines;
        for (int i = 0; i < n; ++i)
            lines +=
                section("[EllipseRect]", "Start=10,10\nLayer=1\nMode=4\nEnd=200,200,1,clRed\nType=0,0,-1");
        return lines;
    });
    repaint("one-point strokes", [&](int n) {
        QStringList lines;
        for (int i = 0; i < n; ++i)
            lines += section("[MoveList]",
                             QStringLiteral("Start=%1,5\nLayer=1\nMode=4\nMove=%1,6,1,clRed").arg(i % 1900));
        return lines;
    });
    repaint("characters of one text at 1000 pt", [&](int n) {
        return section("[TextStep]", "Start=0,0\nLayer=1\nMode=4\nText=\"" + QString(n, 'W') +
                                         "\"\nFont=\"Arial\";1000;clRed\nTransparent=-1");
    });
    repaint("characters of one text at 8 pt", [&](int n) {
        return section("[TextStep]", "Start=0,0\nLayer=1\nMode=4\nText=\"" + QString(n, 'W') +
                                         "\"\nFont=\"Arial\";8;clRed\nTransparent=0");
    });
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QTemporaryDir dir;
    IniFigures(dir);
    PictureFigures(dir);
    RepaintFigures();
    return 0;
}
