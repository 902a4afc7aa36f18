#include "FuzzSupport.h"
#include "cursors/CurImg.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Kept as plain bytes: the folder is removed at exit, after static objects are gone.
char FolderPath[512];

void RemoveFuzzFolder() {
    QDir(QFile::decodeName(FolderPath)).removeRecursively();
}

QString FuzzFolder() {
    if (!FolderPath[0]) {
        const char* base = QDir("/dev/shm").exists() ? "/dev/shm" : "/tmp";
        std::snprintf(FolderPath, sizeof FolderPath, "%s/tavelin-fuzz-%d", base, int(getpid()));
        QDir().mkpath(QFile::decodeName(FolderPath));
        std::atexit(RemoveFuzzFolder);
    }
    return QFile::decodeName(FolderPath);
}

} // namespace

// Every target reads as the programs do: with the application object and the cursor files' picture
// format registered.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartFuzzApplication();
    RegisterCursorFormat();
    return 0;
}

void StartFuzzApplication() {
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // The readers' own messages are not findings; keep the fuzzer's output readable.
        qputenv("QT_LOGGING_RULES", "*=false");
        static int argc = 1;
        static char name[] = "fuzz";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    (void)app;
}

QString WriteFuzzFile(const uint8_t* data, size_t size, const QString& extension) {
    const QString path = FuzzFolder() + QStringLiteral("/input.") + extension;
    const QByteArray local = QFile::encodeName(path);
    const int fd = ::open(local.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) FuzzFailure("the input file cannot be written", path);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) FuzzFailure("the input file cannot be written", path);
        done += size_t(n);
    }
    ::close(fd);
    return path;
}

void FuzzFailure(const char* what, const QString& detail) {
    std::fprintf(stderr, "fuzz property failed: %s\n%s\n", what, detail.toLocal8Bit().constData());
    std::abort();
}
