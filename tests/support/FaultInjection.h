#pragma once

// Places where writing fails as it does for users: a process whose file-size limit stands for a full
// disk, a folder on a file system mounted read-only, a folder on another file system. Header-only, so
// that any test folder can use it.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fault {

// Makes path the temporary folder ($TMPDIR, which the programs started from here inherit) for as
// long as it lives.
class TTempFolderScope {
public:
    explicit TTempFolderScope(const QString& path) : Saved(qgetenv("TMPDIR")) {
        QDir().mkpath(path);
        qputenv("TMPDIR", path.toLocal8Bit());
    }
    ~TTempFolderScope() { qputenv("TMPDIR", Saved); }
    TTempFolderScope(const TTempFolderScope&) = delete;
    TTempFolderScope& operator=(const TTempFolderScope&) = delete;

private:
    QByteArray Saved;
};

// Runs body in a child process and answers its exit code. The child must not paint with Qt: painting
// threads of the parent do not exist in it. (-signal number when a signal ended it).
// fileSizeLimit > 0 caps every file the child writes at that many bytes; SIGXFSZ is ignored, so a
// write past the cap fails with EFBIG, as a write to a full disk fails, instead of ending the child.
inline int RunInChild(const std::function<int()>& body, rlim_t fileSizeLimit = 0) {
    const pid_t child = fork();
    if (child == 0) {
        if (fileSizeLimit > 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

inline dev_t DeviceOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : dev_t(-1);
}

inline bool RunCommand(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A folder whose file system refuses every write, also for root: a small tmpfs remounted read-only
// after setUp has filled it. Without the right to mount, and as root, none can be had: Ok() is false.
// An unprivileged process gets a folder without write permission instead.
class TReadOnlyFolder {
public:
    TReadOnlyFolder(const QString& path, const std::function<void(const QString&)>& setUp) : Path(path) {
        QDir().mkpath(path);
        if (geteuid() != 0) {
            setUp(path);
            Good = ::chmod(QFile::encodeName(path).constData(), 0555) == 0;
            return;
        }
        Mounted = RunCommand("mount", {"-t", "tmpfs", "-o", "size=16m", "tmpfs", path});
        if (!Mounted) return;
        setUp(path);
        Good = RunCommand("mount", {"-o", "remount,ro", path});
    }
    ~TReadOnlyFolder() {
        if (Mounted)
            RunCommand("umount", {"-l", Path});
        else
            ::chmod(QFile::encodeName(Path).constData(), 0755);
    }
    bool Ok() const { return Good; }

private:
    QString Path;
    bool Mounted = false;
    bool Good = false;
};

// A folder on a file system of its own that holds at most bytes: a disk that fills up. For a process
// that draws with Qt, where a forked child with a file-size limit could wait for ever on the parent's
// painting threads. Ok() is false without the right to mount.
class TSmallFileSystem {
public:
    TSmallFileSystem(const QString& path, qint64 bytes) : Path(path) {
        QDir().mkpath(path);
        Mounted = RunCommand("mount", {"-t", "tmpfs", "-o", QString("size=%1").arg(bytes), "tmpfs", path});
    }
    ~TSmallFileSystem() {
        if (Mounted) RunCommand("umount", {"-l", Path});
    }
    bool Ok() const { return Mounted; }

private:
    QString Path;
    bool Mounted = false;
};

// A folder on another file system than other, or an empty path when none can be found: /dev/shm where
// it differs, else a small tmpfs mounted for the test.
class TOtherFileSystemFolder {
public:
    TOtherFileSystemFolder(const QString& other, const QString& mountPoint) {
        const QString shm = "/dev/shm";
        if (QFileInfo(shm).isDir() && QFileInfo(shm).isWritable() && DeviceOf(shm) != DeviceOf(other)) {
            Made.reset(new QTemporaryDir(shm + "/tavelin-test-XXXXXX"));
            if (Made->isValid()) Path = Made->path();
            return;
        }
        QDir().mkpath(mountPoint);
        if (RunCommand("mount", {"-t", "tmpfs", "-o", "size=256m", "tmpfs", mountPoint})) {
            MountPoint = mountPoint;
            Path = mountPoint;
        }
    }
    ~TOtherFileSystemFolder() {
        if (!MountPoint.isEmpty()) RunCommand("umount", {"-l", MountPoint});
    }
    const QString& path() const { return Path; }

private:
    std::unique_ptr<QTemporaryDir> Made;
    QString MountPoint;
    QString Path;
};

} // namespace fault
