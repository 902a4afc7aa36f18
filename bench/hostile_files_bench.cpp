// Hostile files that declare huge sizes or counts, each opened in a child process as the programs
// open them (a stamp picture, a pointer file, an AVI file in the editor): prints the message each
// gives, the time it takes and the child's peak memory above that of a child that opens nothing.
#include "avi/AviReader.h"
#include "cursors/CurImg.h"
#include "cursors/CursorEntry.h"
#include "platform/Exceptions.h"
#include "platform/Picture.h"
#include "tests/support/HostileFiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace hostile;

struct TCase {
    const char* Name;
    const char* Extension;
    QByteArray Bytes;
};

// Opens the file as the programs do; the message the user would be shown, or what was opened.
QString OpenAsTheProgramsDo(const QString& path, const QString& extension) {
    try {
        if (extension == "avi") {
            TAVIFile avi;
            avi.Open(path);
            return QStringLiteral("opened, %1 x %2, %3 frames")
                .arg(avi.Width())
                .arg(avi.Height())
                .arg(avi.FrameCount());
        }
        if (extension == "cur" || extension == "ani") {
            const bool pointer = TCursorEntry::FromFile(path) != nullptr;
            std::unique_ptr<TGraphic> stamp = LoadStampPicture(path);
            return QStringLiteral("pointer %1, stamp %2 x %3")
                .arg(pointer ? "made" : "refused")
                .arg(stamp->Width())
                .arg(stamp->Height());
        }
        std::unique_ptr<TGraphic> graphic = LoadStampPicture(path);
        return QStringLiteral("opened, %1 x %2").arg(graphic->Width()).arg(graphic->Height());
    } catch (const Exception& e) {
        return e.message();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("(out of memory)");
    }
}

struct TChildResult {
    QString Message;
    long PeakKb = 0;
    qint64 Ms = 0;
    bool Crashed = false;
};

TChildResult InChild(const std::function<QString()>& work) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        const QByteArray message = work().toUtf8();
        (void)!write(pipeFds[1], message.constData(), size_t(message.size()));
        _exit(0);
    }
    close(pipeFds[1]);
    QByteArray message;
    char buffer[512];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, n);
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return {QString::fromUtf8(message), usage.ru_maxrss, timer.elapsed(), !WIFEXITED(status)};
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterCursorFormat();
    QTemporaryDir dir;

    const TCase cases[] = {
        {"BMP 30000 x 30000, 24 bits, 54 bytes", "bmp", Bmp(30000, 30000, 24)},
        {"BMP 8192 x 8192, 32 bits, 54 bytes", "bmp", Bmp(8192, 8192, 32)},
        {"BMP -2147483648 high", "bmp", Bmp(16, INT32_MIN, 24)},
        {"PNG 100000 x 100000", "png", Png(100000, 100000)},
        {"PNG 8192 x 8192, one byte of data", "png", Png(8192, 8192)},
        {"GIF 65535 x 65535, no data", "gif", Gif(65535, 65535)},
        {"GIF 8000 x 8000, no data", "gif", Gif(8000, 8000)},
        {"JPEG 65500 x 65500, no data", "jpg", Jpeg(65500, 65500)},
        {"JPEG 8192 x 8192, no data", "jpg", Jpeg(8192, 8192)},
        {"ICO 65535 entries in 22 bytes", "ico", Icon(1, 65535, 40, 22)},
        {"ICO image of 4 GiB", "ico", Icon(1, 1, 0xFFFFFFFFll, 22)},
        {"CUR image past the file's end", "cur", Icon(2, 1, 1 << 30, 1 << 30)},
        {"ANI 65536 steps, 1024 frames, 4 GiB list", "ani", Ani(1024, 65536, 0xFFFFFFF0ll)},
        {"AVI 100000 x 100000", "avi", Avi(100000, 100000, 1, 1)},
        {"AVI 2^31 frames, 2^28 index entries", "avi", Avi(64, 48, INT32_MAX, 1 << 28)},
        // For scale: a whole picture that is allocated, as it should be.
        {"BMP 2048 x 2048, 32 bits, complete", "bmp", Complete(Bmp(2048, 2048, 32), 2048 * 2048 * 4)},
    };

    const TChildResult base = InChild([] { return QString(); });
    std::printf("A child that opens nothing peaks at %ld KiB.\n\n", base.PeakKb);
    std::printf("| File | Message | Time | Peak memory above that |\n|---|---|---|---|\n");
    for (const TCase& c : cases) {
        const QString path = dir.filePath(QStringLiteral("hostile.") + c.Extension);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(c.Bytes) != c.Bytes.size())
            return 1;
        file.close();
        const QString extension = c.Extension;
        const TChildResult r = InChild([&] { return OpenAsTheProgramsDo(path, extension); });
        std::printf("| %s | %s | %lld ms | %.1f MiB |\n", c.Name,
                    r.Crashed ? "(crashed)" : r.Message.toUtf8().constData(), (long long)r.Ms,
                    double(r.PeakKb - base.PeakKb) / 1024.0);
    }
    return 0;
}
