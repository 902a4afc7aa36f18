// Framory on a full-HD recording: the time from process start to the first painted thumbnail page, a
// page turn, and how many playback ticks show their frame on time at 100 % zoom; beside them FFmpeg's
// own decoding of the same file in the same run.
//
//   framory_bench                 600 frames of 1920x1080 at 30 and at 60 frames a second, 10 s of
//                                 playback each
//   framory_bench --fps 60        one of the two recordings only
//   framory_bench --frames 300    shorter recordings
//   framory_bench --seconds 5     a shorter playback
//   framory_bench --file x.avi    a file of your own instead of the recordings (its own rate is played)
//   framory_bench --busy 8        the same beside 8 processes that keep the cores busy, in a session
//                                 of their own as another program would be
//
// Each figure is printed with the machine's load average beside it (and the number of busy processes
// of --busy): on a shared machine a quiet run is only as quiet as the others let it be.
//
// The recording is written by our recorder's writing road (Microsoft Video 1, as Tavelin records):
// boxes with text move over a cell pattern and a panel scrolls, so every frame differs from the last.
// The window runs in this process on Qt's offscreen platform, so the figures are the editor's own
// work (decoding, copying, scaling and painting), without a display server's. "From process start"
// counts from the kernel's start time of this process, before the application object exists.
//
// Playback: every paint of the frame view is logged with the position shown. Position k of the run is
// due at k frame times after Play; it counts as on time when it was painted before position k + 1 was
// due. A late tick goes on to the position due then, so a slow step costs the positions skipped, not
// the pace of all later ones.
#include "avi/AviReader.h"
#include "bench/support/BusyLoad.h"
#include "editor/FrmMain.h"
#include "editor/PaintBox.h"
#include "platform/BitmapInfoHeader.h"
#include "platform/Msvc1Compressor.h"
#include "recorder/AviRecordingSink.h"
#include "recorder/PackedDib.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QMap>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Milliseconds since this process was started, by the kernel's clocks.
double MsSinceProcessStart() {
    QFile stat("/proc/self/stat");
    QFile uptime("/proc/uptime");
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly)) return -1;
    const QByteArray s = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble();
    const double up = uptime.readAll().split(' ').value(0).toDouble();
    return (up - startTicks / sysconf(_SC_CLK_TCK)) * 1000.0;
}

QImage ScreenLikeFrame(int index, QSize size) {
    QImage frame(size, QImage::Format_RGB32);
    frame.fill(QColor(0xEC, 0xEC, 0xEC));
    QPainter p(&frame);
    for (int y = 0; y < size.height(); y += 48)
        for (int x = 0; x < size.width(); x += 64)
            p.fillRect(x + 2, y + 2, 60, 44, ((x / 64 + y / 48) % 2) ? QColor(0xD8, 0xE4, 0xF0) : Qt::white);
    p.setFont(QFont("DejaVu Sans", 14));
    for (int box = 0; box < 6; ++box) {
        const int x = (index * (7 + box * 3) + box * 300) % (size.width() - 300);
        const int y = (index * (4 + box * 2) + box * 170) % (size.height() - 120);
        p.fillRect(x, y, 300, 120, QColor::fromHsv((box * 60 + index) % 360, 160, 220));
        p.drawText(QRect(x, y, 300, 120), Qt::AlignCenter,
                   QStringLiteral("Box %1, frame %2").arg(box).arg(index));
    }
    for (int line = 0; line < 20; ++line)
        p.drawText(20, size.height() - 400 + ((line * 20 - index * 3) % 400 + 400) % 400,
                   QStringLiteral("Scrolling text line %1 of the panel").arg(line + index / 7));
    return frame;
}

// " (busy N, load L)" for the figures of a measuring run, which the run that keeps the machine busy
// has told how many processes it runs.
std::string Load() {
    char text[64];
    std::snprintf(text, sizeof text, " (busy %d, load %.1f)",
                  qEnvironmentVariableIntValue("FRAMORY_BENCH_BUSY"), TBusyLoad::LoadAverage());
    return text;
}

bool WriteRecording(const QString& file, int frames, int fps) {
    const QSize size(1920, 1080);
    TAviRecordingSink sink(Msvc1CompressorFactory());
    TPackedDib block = MakeDIB(ScreenLikeFrame(0, size), 32);
    if (sink.Open(file) || sink.CreateStream(fps, block) ||
        sink.MakeCompressedStream(MakeFourCC('M', 'S', 'V', 'C'), 15, 7500) || sink.SetFormat(block))
        return false;
    for (int i = 0; i < frames; ++i) {
        block = MakeDIB(ScreenLikeFrame(i, size), 32, std::move(block));
        if (sink.Write(i, block)) return false;
    }
    return sink.Close() == 0;
}

// Waits, processing events, until the condition holds or the time is up.
bool Await(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Notes when a paint box has painted, and which position it showed.
class TPaintLog : public QObject {
public:
    TPaintLog(QWidget* box, const TFrmMain& form) : Form(form) { box->installEventFilter(this); }
    struct TEntry {
        qint64 Ns;
        int Position;
    };
    std::vector<TEntry> Entries;
    QElapsedTimer Clock;
    int Paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            // After the widget's own paint handler has run.
            static_cast<QWidget*>(watched)->removeEventFilter(this);
            QCoreApplication::sendEvent(watched, event);
            watched->installEventFilter(this);
            ++Paints;
            if (Clock.isValid()) Entries.push_back({Clock.nsecsElapsed(), Form.Edits().CurFrame});
            return true;
        }
        return false;
    }

private:
    const TFrmMain& Form;
};

double FFmpegSeconds(const QStringList& args) {
    QElapsedTimer timer;
    timer.start();
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", args);
    if (!ffmpeg.waitForFinished(600000) || ffmpeg.exitCode() != 0) return -1;
    return timer.nsecsElapsed() / 1e9;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The busy processes as another program's: in a session of their own. The scheduler shares the
// cores between sessions first, so spinning children of this one would take their time from the
// editor alone, which no user's browser or build does.
class TOtherProgramLoad {
public:
    explicit TOtherProgramLoad(int processes) {
        if (processes <= 0) return;
        Leader = fork();
        if (Leader != 0) return;
        setsid();
        sigset_t term;
        sigemptyset(&term);
        sigaddset(&term, SIGTERM);
        sigprocmask(SIG_BLOCK, &term, nullptr);
        {
            const TBusyLoad load(processes);
            int signal = 0;
            sigwait(&term, &signal);
        }
        _exit(0);
    }
    ~TOtherProgramLoad() {
        if (Leader <= 0) return;
        kill(Leader, SIGTERM);
        waitpid(Leader, nullptr, 0);
    }
    TOtherProgramLoad(const TOtherProgramLoad&) = delete;
    TOtherProgramLoad& operator=(const TOtherProgramLoad&) = delete;

private:
    pid_t Leader = -1;
};

// Runs this program again with args and the environment given, its output passed through.
int RunChild(const char* self, const QStringList& args, const QMap<QString, QString>& environment) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto i = environment.begin(); i != environment.end(); ++i)
        env.insert(i.key(), i.value());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QString::fromLocal8Bit(self), args);
    child.waitForFinished(-1);
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : 1;
}

// The measuring run: a fresh process started on the finished file, as the editor is started.
int Measure(int argc, char** argv, double startedAt, const QElapsedTimer& sinceMain, const QString& file,
            int seconds) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    TFrmMain form(dir.filePath("Framory.ini"), dir.path() + "/", {file});
    TPaintLog pages(form.PaintBox1, form);
    TPaintLog views(form.PaintBox2, form);
    form.show();
    Await([&] { return pages.Paints > 0 && views.Paints > 0; }, 60000);
    const double firstPage = startedAt + sinceMain.nsecsElapsed() / 1e6;
    const std::string firstPageLoad = Load();
    const int count = form.Edits().Count();
    if (count == 0) {
        std::printf("The file could not be opened\n");
        return 1;
    }

    std::vector<double> turns;
    for (int turn = 0; turn < 20 && form.Edits().CurFrame + 12 < count; ++turn) {
        const int before = pages.Paints;
        QElapsedTimer t;
        t.start();
        form.NextPageExecute();
        Await([&] { return pages.Paints > before; }, 60000);
        turns.push_back(t.nsecsElapsed() / 1e6);
    }
    const std::string turnsLoad = Load();

    form.FirstFrameExecute();
    Await([] { return false; }, 200);
    views.Clock.start();
    form.Action("Play")->trigger();
    const int interval = form.Timer1->interval();
    Await([] { return false; }, seconds * 1000);
    form.StopPlayExecute();
    const std::string playLoad = Load();
    // Position k of the run (counted on from the first) is due at k intervals.
    const qint64 due = qint64(seconds) * 1000 / interval;
    int onTime = 0;
    for (qint64 k = 1; k < due; ++k) {
        const int position = int(k % count);
        const qint64 from = k * interval * 1000000LL, to = (k + 1) * interval * 1000000LL;
        const bool shown = std::any_of(views.Entries.begin(), views.Entries.end(), [&](const auto& e) {
            return e.Position == position && e.Ns >= from - 2000000 && e.Ns < to;
        });
        onTime += shown;
    }
    // The longest wait between two positions shown, a stall the user sees.
    double stall = 0;
    int shownPositions = 0;
    for (size_t i = 1; i < views.Entries.size(); ++i) {
        if (views.Entries[i].Position == views.Entries[i - 1].Position) continue;
        ++shownPositions;
        stall = std::max(stall, (views.Entries[i].Ns - views.Entries[i - 1].Ns) / 1e6);
    }

    // The reader alone, every frame in order, for the comparison with FFmpeg's decode.
    double readerMs = 0;
    {
        TAVIFile reader;
        reader.Open(file);
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < count; ++i)
            reader.GetFrame(i);
        readerMs = t.nsecsElapsed() / 1e6 / count;
    }
    const std::string readerLoad = Load();
    const double ffAll = FFmpegSeconds({"-loglevel", "error", "-i", file, "-f", "null", "-"});
    const std::string ffAllLoad = Load();
    const double ffPage =
        FFmpegSeconds({"-loglevel", "error", "-i", file, "-frames:v", "12", "-f", "null", "-"});
    const std::string ffPageLoad = Load();

    std::printf("File: %s, %d frames, %d ms a frame\n", qPrintable(file), count, interval);
    std::printf("First painted page, from process start: %.0f ms (of which before main: %.0f ms)%s\n",
                firstPage, startedAt, firstPageLoad.c_str());
    std::printf("Page turn (12 frames decoded, page painted): median %.1f ms, max %.1f ms over %zu%s\n",
                Median(turns), turns.empty() ? 0.0 : *std::max_element(turns.begin(), turns.end()),
                turns.size(), turnsLoad.c_str());
    std::printf("Playback at 100 %%: %d of %lld positions shown on time (%.1f %%), %.1f positions a second, "
                "longest stall %.0f ms%s\n",
                onTime, due - 1, 100.0 * onTime / std::max<qint64>(1, due - 1),
                shownPositions / double(seconds), stall, playLoad.c_str());
    std::printf("Our reader, every frame in order into 32-bit pixels: %.2f ms a frame%s\n", readerMs,
                readerLoad.c_str());
    std::printf("FFmpeg, same file: whole decode %.2f s (%.2f ms a frame)%s, first 12 frames with process "
                "start %.0f ms%s\n",
                ffAll, ffAll * 1000 / count, ffAllLoad.c_str(), ffPage * 1000, ffPageLoad.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const double startedAt = MsSinceProcessStart();
    QElapsedTimer sinceMain;
    sinceMain.start();
    const int busy = TBusyLoad::TakeBusyArgument(argc, argv);
    int frames = 600, seconds = 10, fps = 0;
    QString file;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!strcmp(argv[i], "--frames"))
            frames = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--seconds"))
            seconds = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--file"))
            file = QString::fromLocal8Bit(argv[++i]);
        else if (!strcmp(argv[i], "--fps"))
            fps = atoi(argv[++i]);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsSet("FRAMORY_BENCH_WRITE")) {
        QGuiApplication app(argc, argv);
        return WriteRecording(qEnvironmentVariable("FRAMORY_BENCH_WRITE"), frames,
                              qEnvironmentVariableIntValue("FRAMORY_BENCH_FPS"))
                   ? 0
                   : 1;
    }
    if (qEnvironmentVariableIsSet("FRAMORY_BENCH_MEASURE"))
        return Measure(argc, argv, startedAt, sinceMain, file, seconds);

    // This run only prepares: the recordings are written by a child run, and each is measured in a
    // fresh process started on the finished file, beside the busy processes when there are any.
    QTemporaryDir dir;
    QStringList files;
    if (!file.isEmpty()) {
        files << file;
    } else {
        for (int rate : {30, 60}) {
            if (fps && fps != rate) continue;
            const QString recording = dir.filePath(QStringLiteral("recording%1.avi").arg(rate));
            std::printf("Writing %d frames of 1920x1080 at %d fps with our recorder's writer...\n", frames,
                        rate);
            std::fflush(stdout);
            if (RunChild(argv[0], {"--frames", QString::number(frames)},
                         {{"FRAMORY_BENCH_WRITE", recording},
                          {"FRAMORY_BENCH_FPS", QString::number(rate)}}) != 0) {
                std::printf("The recording could not be written\n");
                return 1;
            }
            files << recording;
        }
    }
    const TOtherProgramLoad load(busy);
    // The busy processes have the cores before the editor starts.
    if (busy > 0) QThread::msleep(3000);
    int result = 0;
    for (const QString& f : files) {
        std::fflush(stdout);
        result |= RunChild(argv[0], {"--file", f, "--seconds", QString::number(seconds)},
                           {{"FRAMORY_BENCH_MEASURE", "1"}, {"FRAMORY_BENCH_BUSY", QString::number(busy)}});
    }
    return result;
}
