#include "FileMove.h"

#include "TempFileName.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

TMoveResult Failure(int error) {
    return {false, error, QString::fromLocal8Bit(std::strerror(error))};
}

// The permissions a newly created file gets from this process.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// A rename is only durable once the folder that holds the name is on the disk.
void SyncFolder(const QByteArray& path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

struct TTargetState {
    QByteArray Path; // the name to replace: a link's final file, not the link
    bool Exists = false;
    struct stat Stat {};
};

TTargetState InspectTarget(const QByteArray& target) {
    TTargetState state;
    state.Path = target;
    if (::lstat(target.constData(), &state.Stat) != 0) return state;
    if (S_ISLNK(state.Stat.st_mode)) {
        char* real = ::realpath(target.constData(), nullptr);
        if (!real) return state; // a dangling link: the link itself is replaced
        state.Path = real;
        std::free(real);
        if (::stat(state.Path.constData(), &state.Stat) != 0) return state;
    }
    state.Exists = true;
    return state;
}

int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

int CopyData(int from, int to) {
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) return 0;
        if (const int error = WriteAll(to, buffer.data(), static_cast<std::size_t>(got))) return error;
    }
}

// Across file systems: the new data go into a file of our own beside the target, on the target's
// file system, and only a complete, synced copy is renamed over it.
TMoveResult CopyBesideThenRename(const QByteArray& source, int from, const TTargetState& target,
                                 mode_t mode) {
    QString besideName;
    const int to =
        CreateTempFileIn(QFileInfo(QFile::decodeName(target.Path)).absolutePath(), ".tmp", besideName);
    if (to < 0) return Failure(-to);
    const QByteArray beside = QFile::encodeName(besideName);
    int error = ::lseek(from, 0, SEEK_SET) < 0 ? errno : CopyData(from, to);
    if (!error && target.Exists) {
        if (::fchown(to, target.Stat.st_uid, target.Stat.st_gid) != 0) {
            // Another owner's file: we keep its permissions, the file becomes ours.
        }
    }
    if (!error && ::fchmod(to, mode) != 0) error = errno;
    if (!error && ::fsync(to) != 0) error = errno;
    if (::close(to) != 0 && !error) error = errno;
    if (!error && ::rename(beside.constData(), target.Path.constData()) != 0) error = errno;
    if (error) {
        ::unlink(beside.constData());
        return Failure(error);
    }
    SyncFolder(target.Path);
    ::unlink(source.constData());
    return {true, 0, {}};
}

} // namespace

TMoveResult MoveFileOver(const QString& source, const QString& target) {
    const QByteArray from = QFile::encodeName(source);
    const TTargetState state = InspectTarget(QFile::encodeName(target));
    const mode_t mode = state.Exists ? (state.Stat.st_mode & 07777) : NewFileMode();

    // Opened before its mode changes: the target's mode may not let its owner read.
    const int fd = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Failure(errno);
    // The owner goes first: a change of owner clears set-id bits that the mode then restores.
    if (state.Exists) {
        if (::fchown(fd, state.Stat.st_uid, state.Stat.st_gid) != 0) {
            // Another owner's file: we keep its permissions, the file becomes ours.
        }
    }
    ::fchmod(fd, mode);

    TMoveResult result{true, 0, {}};
    if (::rename(from.constData(), state.Path.constData()) == 0) {
        SyncFolder(state.Path);
    } else if (errno == EXDEV) {
        result = CopyBesideThenRename(from, fd, state, mode);
    } else {
        result = Failure(errno);
    }
    ::close(fd);
    return result;
}
