// Records a continuously changing screen with the recorder, as the tray program does, and the same
// screen with FFmpeg's own x11grab and msvideo1 encoder, and prints what each costs and keeps.
//
//   recorder_bench                         30 s each at 1920x1080 and 3840x2160, grab periods 100 and 33 ms
//   recorder_bench --seconds 5             shorter runs
//   recorder_bench --sizes 1920x1080       one screen size only
//   recorder_bench --periods 100           one grab period only (the playback rate follows: 1000 / period)
//   recorder_bench --no-ffmpeg             our recorder only
//   recorder_bench --busy 8                the same beside 8 processes spinning on the cores
//
// Each screen size runs in a child process of its own, on its own Xvfb, because the application object
// binds to one display. The screen changes 30 times a second: boxes with text bounce over a cell
// pattern and a text panel scrolls, painted by a window of the child process.
//
// Figures: positions of the stream (recorded time / period), frames written, positions dropped (empty,
// showing the frame before), CPU seconds per recorded second of the recorder's threads (the process's
// CPU less that of its GUI thread, which paints the scene, from the start of the frame loop to its
// end) or of the ffmpeg process, CPU of the X server over the same time (it copies every grab; the
// animation costs it too, alike in both runs), and the file size. FFmpeg keeps x11grab's timestamps
// (the grab's wall-clock time) and its AVI muxer, like ours, leaves an empty chunk for each position
// that no frame reached: its dropped positions are those empty chunks, counted from the file as ours
// are. Its own "dup" and "drop" counts (frames repeated or thrown away to keep a constant rate) are
// shown beside them. Each line ends with the busy processes and the load average at its end: the
// machine may be shared.
#include "recorder/ScrCam.h"
#include "support/BusyLoad.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPaintEvent>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

extern char** environ;

namespace {

// The screen changes at this rate, faster than either grab period.
constexpr int AnimationFps = 30;
constexpr int BoxCount = 12;

struct TOptions {
    int Seconds = 30;
    QStringList Sizes{"1920x1080", "3840x2160"};
    std::vector<int> Periods{100, 33};
    bool Ffmpeg = true;
    int Busy = 0;
    QString Child; // the size this process measures, when it is a child
};

bool ParseOptions(int argc, char** argv, TOptions& o) {
    for (int i = 1; i < argc; ++i) {
        const QString a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--seconds" && hasValue) {
            o.Seconds = std::max(1, QString(argv[++i]).toInt());
        } else if (a == "--sizes" && hasValue) {
            o.Sizes = QString(argv[++i]).split(',', Qt::SkipEmptyParts);
        } else if (a == "--periods" && hasValue) {
            o.Periods.clear();
            for (const QString& p : QString(argv[++i]).split(',', Qt::SkipEmptyParts))
                if (p.toInt() > 0) o.Periods.push_back(p.toInt());
        } else if (a == "--no-ffmpeg") {
            o.Ffmpeg = false;
        } else if (a == "--child" && hasValue) {
            o.Child = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--seconds N] [--sizes WxH,...] [--periods MS,...] [--no-ffmpeg] "
                         "[--busy N]\n",
                         argv[0]);
            return false;
        }
    }
    return !o.Periods.empty() && !o.Sizes.isEmpty();
}

double ClockSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

double SteadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// CPU seconds a process has used so far, from /proc.
double ProcessCpuSeconds(qint64 pid) {
    QFile f(QString("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray stat = f.readAll();
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return 0;
    return (fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

QString LoadAverage() {
    QFile f("/proc/loadavg");
    if (!f.open(QIODevice::ReadOnly)) return "?";
    return QString::fromLatin1(f.readAll()).section(' ', 0, 2);
}

// The private X server of one child.
class TXvfb {
public:
    explicit TXvfb(const QString& size) {
        // The server writes the display number it found free to standard output.
        Server.start("Xvfb", {"-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0", size + "x24",
                              "+extension", "XInputExtension"});
        QByteArray number;
        while (!number.endsWith('\n') && Server.waitForReadyRead(15000))
            number += Server.readAllStandardOutput();
        if (!number.trimmed().isEmpty()) Display = ":" + number.trimmed();
    }
    ~TXvfb() {
        Server.terminate();
        if (!Server.waitForFinished(3000)) Server.kill();
        Server.waitForFinished();
    }
    QString Display;
    qint64 Pid() const { return Server.processId(); }

private:
    QProcess Server;
};

// A full-screen window whose picture changes AnimationFps times a second: bouncing boxes with text
// over a cell pattern, and a panel of scrolling text. Only what changed is repainted, so the window
// costs little beside the recorder.
class TMovingScene : public QWidget {
public:
    explicit TMovingScene(const QRect& screen)
        : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint),
          Scale(screen.width() / 1920.0) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setGeometry(screen);
        Background = QImage(screen.size(), QImage::Format_RGB32);
        for (int y = 0; y < Background.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(Background.scanLine(y));
            for (int x = 0; x < Background.width(); ++x) {
                const int cx = x / 24, cy = y / 24;
                row[x] = qRgb(80 + (cx * 37 + cy * 11) % 150, 80 + (cx * 13 + cy * 29) % 150,
                              80 + (cx * 7 + cy * 43) % 150);
            }
        }
        for (int i = 0; i < BoxCount; ++i) {
            TBox b;
            b.Rect = QRectF(40 * Scale + i * 140 * Scale, 60 * Scale + (i % 4) * 220 * Scale, 260 * Scale,
                            150 * Scale);
            b.Velocity =
                QPointF((4 + i % 5) * Scale * (i % 2 ? 1 : -1), (3 + i % 3) * Scale * (i % 3 ? 1 : -1));
            b.Colour = QColor::fromHsv((i * 360) / BoxCount, 160, 230);
            Boxes.push_back(b);
        }
        TextPanel = QRect(int(1100 * Scale), int(620 * Scale), int(760 * Scale), int(420 * Scale));
        Font = QFont("DejaVu Sans");
        Font.setPixelSize(int(18 * Scale));
        connect(&Ticker, &QTimer::timeout, this, [this] { Tick(); });
        Ticker.setTimerType(Qt::PreciseTimer);
        Ticker.start(1000 / AnimationFps);
    }

    int Paints() const { return PaintCount; }

protected:
    void paintEvent(QPaintEvent* e) override {
        ++PaintCount;
        QPainter p(this);
        for (const QRect& r : e->region())
            p.drawImage(r, Background, r);
        p.setFont(Font);
        for (int i = 0; i < int(Boxes.size()); ++i) {
            const TBox& b = Boxes[i];
            if (!e->region().intersects(b.Rect.toAlignedRect())) continue;
            p.fillRect(b.Rect, b.Colour);
            p.setPen(Qt::black);
            p.drawRect(b.Rect.adjusted(0, 0, -1, -1));
            p.drawText(b.Rect.adjusted(8 * Scale, 8 * Scale, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                       QString("Box %1\nframe %2\nx %3 y %4")
                           .arg(i)
                           .arg(Frame)
                           .arg(int(b.Rect.x()))
                           .arg(int(b.Rect.y())));
        }
        if (e->region().intersects(TextPanel)) {
            p.fillRect(TextPanel, Qt::white);
            p.setClipRect(TextPanel);
            p.setPen(Qt::black);
            const int lineHeight = int(24 * Scale);
            const int first = Frame * 2 / lineHeight;
            for (int line = 0; line * lineHeight < TextPanel.height() + lineHeight; ++line)
                p.drawText(TextPanel.left() + int(10 * Scale),
                           TextPanel.top() + line * lineHeight - (Frame * 2) % lineHeight + lineHeight,
                           QString("Line %1: the quick brown fox jumps over the lazy dog %2")
                               .arg(first + line)
                               .arg((first + line) * 7919 % 100000));
        }
    }

private:
    struct TBox {
        QRectF Rect;
        QPointF Velocity;
        QColor Colour;
    };

    void Tick() {
        ++Frame;
        for (TBox& b : Boxes) {
            const QRect before = b.Rect.toAlignedRect();
            b.Rect.translate(b.Velocity);
            if (b.Rect.left() < 0 || b.Rect.right() > width()) b.Velocity.rx() = -b.Velocity.x();
            if (b.Rect.top() < 0 || b.Rect.bottom() > height()) b.Velocity.ry() = -b.Velocity.y();
            update(before.united(b.Rect.toAlignedRect()).adjusted(-1, -1, 1, 1));
        }
        update(TextPanel);
    }

    double Scale;
    QImage Background;
    std::vector<TBox> Boxes;
    QRect TextPanel;
    QFont Font;
    QTimer Ticker;
    int Frame = 0;
    int PaintCount = 0;
};

// Runs the event loop (the scene keeps moving) for ms, sleeping while nothing is to be done.
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

struct TStreamCounts {
    bool Opened = false;
    long long Length = 0;  // positions as the stream header counts them
    long long Packets = 0; // frames with data
    long long FileSize = 0;
};

TStreamCounts ReadStream(const QString& file) {
    TStreamCounts c;
    c.FileSize = QFileInfo(file).size();
    AVFormatContext* in = nullptr;
    if (avformat_open_input(&in, QFile::encodeName(file).constData(), nullptr, nullptr) < 0) return c;
    if (in->nb_streams > 0) {
        c.Opened = true;
        c.Length = in->streams[0]->nb_frames;
        AVPacket* pkt = av_packet_alloc();
        while (av_read_frame(in, pkt) >= 0) {
            if (pkt->size > 0) ++c.Packets;
            av_packet_unref(pkt);
        }
        av_packet_free(&pkt);
    }
    avformat_close_input(&in);
    return c;
}

void PrintHeader() {
    std::printf("%-22s %6s %8s %8s %8s %9s %9s %10s  %s\n", "run", "fps", "positns", "written", "dropped",
                "cpu s/s", "Xvfb s/s", "file MB", "notes");
}

// One recording with the recorder as the tray program drives it, but for the period and rate.
void RecordOurs(const TOptions& o, int period, const QString& file, qint64 serverPid, TMovingScene& scene,
                const TBusyLoad& busy) {
    TScreenCam cam;
    cam.msPFRecord = uint32_t(period);
    cam.FPSPlayback = int(std::lround(1000.0 / period));
    std::mutex m;
    // The recorder may use more than one thread: it is what the process uses beside the GUI thread.
    clockid_t guiClock{};
    pthread_getcpuclockid(pthread_self(), &guiClock);
    auto recorderCpu = [guiClock] { return ClockSeconds(CLOCK_PROCESS_CPUTIME_ID) - ClockSeconds(guiClock); };
    double cpuStart = 0, cpuEnd = 0, wallStart = 0, wallEnd = 0;
    cam.OnStart = [&](TScreenCam*) {
        std::lock_guard lock(m);
        cpuStart = recorderCpu();
        wallStart = SteadySeconds();
    };
    cam.OnStop = [&](TScreenCam*) {
        std::lock_guard lock(m);
        cpuEnd = recorderCpu();
        wallEnd = SteadySeconds();
    };
    QString error;
    cam.OnError = [&](TScreenCam*, const QString& msg) { error = msg; };

    const double askedAt = SteadySeconds();
    cam.StartRecording(nullptr, file);
    // The recorded time starts with the frame loop, after the first grab and the file's set-up.
    auto started = [&] {
        std::lock_guard lock(m);
        return wallStart != 0;
    };
    while (!started() && cam.IsWorking())
        RunFor(5);
    const double setUp = SteadySeconds() - askedAt;
    const double serverBefore = ProcessCpuSeconds(serverPid);
    const int paintsBefore = scene.Paints();
    RunFor(o.Seconds * 1000);
    cam.Stop();
    const double stoppedAt = SteadySeconds();
    const double serverAfter = ProcessCpuSeconds(serverPid);
    const int paints = scene.Paints() - paintsBefore;
    cam.WaitForWorker(60000);
    const double completion = SteadySeconds() - stoppedAt;

    const QString run = QString("ours %1 ms").arg(period);
    if (!error.isEmpty()) {
        std::printf("%-22s %6d  failed: %s%s\n", qPrintable(run), cam.FPSPlayback, qPrintable(error),
                    busy.Label().c_str());
        return;
    }
    const double recorded = wallEnd - wallStart;
    const TStreamCounts s = ReadStream(file);
    const int positions = cam.FramesWritten() + cam.DroppedFrames();
    QString notes = QString("%1 s recorded, set-up %2 s, file completed %3 s after the stop, screen "
                            "repainted %4/s")
                        .arg(recorded, 0, 'f', 2)
                        .arg(setUp, 0, 'f', 2)
                        .arg(completion, 0, 'f', 2)
                        .arg(paints / recorded, 0, 'f', 1);
    if (!s.Opened || s.Length != positions || s.Packets != cam.FramesWritten())
        notes += QString("; file disagrees: length %1, frames %2").arg(s.Length).arg(s.Packets);
    notes += QString::fromStdString(busy.Label());
    std::printf("%-22s %6d %8d %8d %8d %9.3f %9.3f %10.2f  %s\n", qPrintable(run), cam.FPSPlayback, positions,
                cam.FramesWritten(), cam.DroppedFrames(), (cpuEnd - cpuStart) / recorded,
                (serverAfter - serverBefore) / recorded, s.FileSize / 1e6, qPrintable(notes));
    std::fflush(stdout);
}

// FFmpeg's own grab and encoder over the same screen, for the same time.
void RecordFfmpeg(const TOptions& o, int fps, const QString& size, const QString& display,
                  const QString& file, qint64 serverPid, TMovingScene& scene, const TBusyLoad& busy) {
    const QString log = file + ".log";
    const QByteArray fpsText = QByteArray::number(fps), sizeText = size.toLatin1(),
                     displayText = display.toLatin1(), seconds = QByteArray::number(o.Seconds),
                     out = QFile::encodeName(file);
    const char* args[] = {"ffmpeg",
                          "-hide_banner",
                          "-nostdin",
                          "-y",
                          "-f",
                          "x11grab",
                          "-framerate",
                          fpsText.constData(),
                          "-video_size",
                          sizeText.constData(),
                          "-i",
                          displayText.constData(),
                          "-c:v",
                          "msvideo1",
                          "-t",
                          seconds.constData(),
                          out.constData(),
                          nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, QFile::encodeName(log).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const double serverBefore = ProcessCpuSeconds(serverPid);
    const int paintsBefore = scene.Paints();
    const double wallStart = SteadySeconds();
    const int spawned = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, const_cast<char**>(args), environ);
    posix_spawn_file_actions_destroy(&actions);
    const QString run = QString("ffmpeg msvideo1");
    if (spawned != 0) {
        std::printf("%-22s %6d  ffmpeg could not be started%s\n", qPrintable(run), fps, busy.Label().c_str());
        return;
    }
    // The scene keeps moving while ffmpeg runs; its resource use comes with its exit status.
    rusage ru{};
    int status = 0;
    while (wait4(pid, &status, WNOHANG, &ru) == 0)
        RunFor(50);
    const double wall = SteadySeconds() - wallStart;
    const double serverAfter = ProcessCpuSeconds(serverPid);
    const int paints = scene.Paints() - paintsBefore;

    QFile logFile(log);
    logFile.open(QIODevice::ReadOnly);
    const QString text = QString::fromLocal8Bit(logFile.readAll());
    auto last = [&](const char* pattern) {
        QString value = "0";
        QRegularExpressionMatchIterator it = QRegularExpression(pattern).globalMatch(text);
        while (it.hasNext())
            value = it.next().captured(1);
        return value;
    };
    const QString dup = last("dup=\\s*(\\d+)"), drop = last("drop=\\s*(\\d+)"),
                  speed = last("speed=\\s*([\\d.]+)x");
    const TStreamCounts s = ReadStream(file);
    const double cpu =
        ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    QString notes = QString("%1 s wall for %2 s, speed %3x, dup %4 drop %5, screen repainted %6/s")
                        .arg(wall, 0, 'f', 2)
                        .arg(o.Seconds)
                        .arg(speed, dup, drop)
                        .arg(paints / wall, 0, 'f', 1);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) notes += " (ffmpeg failed, see " + log + ")";
    notes += QString::fromStdString(busy.Label());
    std::printf("%-22s %6d %8lld %8lld %8lld %9.3f %9.3f %10.2f  %s\n", qPrintable(run), fps, s.Length,
                s.Packets, s.Length - s.Packets, cpu / o.Seconds, (serverAfter - serverBefore) / wall,
                s.FileSize / 1e6, qPrintable(notes));
    std::fflush(stdout);
}

int RunChild(int argc, char** argv, const TOptions& o) {
    // Started before any thread of this process, and spinning for as long as it measures.
    const TBusyLoad busy(o.Busy);
    TXvfb server(o.Child);
    if (server.Display.isEmpty()) {
        std::fprintf(stderr, "Xvfb could not be started at %s\n", qPrintable(o.Child));
        return 1;
    }
    qputenv("DISPLAY", server.Display.toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    const QRect screen = QApplication::primaryScreen()->geometry();
    TMovingScene scene(screen);
    scene.show();
    RunFor(1000); // mapped and painted once before anything is measured

    QTemporaryDir dir;
    std::printf("\n%s on %s, %d s per run, %d busy processes, load average %s\n", qPrintable(o.Child),
                qPrintable(server.Display), o.Seconds, busy.Processes(), qPrintable(LoadAverage()));
    PrintHeader();
    for (int period : o.Periods) {
        RecordOurs(o, period, dir.filePath(QString("ours-%1.avi").arg(period)), server.Pid(), scene, busy);
        if (o.Ffmpeg) {
            const int fps = int(std::lround(1000.0 / period));
            RecordFfmpeg(o, fps, o.Child, server.Display, dir.filePath(QString("ffmpeg-%1.avi").arg(fps)),
                         server.Pid(), scene, busy);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    TOptions o;
    o.Busy = TBusyLoad::TakeBusyArgument(argc, argv);
    if (!ParseOptions(argc, argv, o)) return 2;
    if (!o.Child.isEmpty()) return RunChild(argc, argv, o);

    // One child per screen size: each binds its application object to a server of that size.
    int result = 0;
    for (const QString& size : o.Sizes) {
        QStringList args{"--child", size, "--seconds", QString::number(o.Seconds), "--periods"};
        QStringList periods;
        for (int p : o.Periods)
            periods << QString::number(p);
        args << periods.join(',');
        if (!o.Ffmpeg) args << "--no-ffmpeg";
        if (o.Busy > 0) args << "--busy" << QString::number(o.Busy);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        // The executable itself, wherever it was started from.
        child.start(QFileInfo("/proc/self/exe").canonicalFilePath(), args);
        if (!child.waitForFinished(-1) || child.exitCode() != 0) result = 1;
    }
    return result;
}
