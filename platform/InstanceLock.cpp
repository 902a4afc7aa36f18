#include "InstanceLock.h"

#include "KnownFolders.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder that only its owner, this user, can change.
bool PrivateFolder(const struct stat& info) {
    return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

QString RuntimeFolder() {
    const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty()) return {};
    struct stat info {};
    if (lstat(QFile::encodeName(folder).constData(), &info) != 0 || !PrivateFolder(info)) return {};
    return folder;
}

// The user's own folder in the shared temporary folder, named by the user's number so that each user
// finds the same one at every start.
QString SharedTempFolder() {
    return GetTempFolder() + "/quorvex-" + QString::number(getuid());
}

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Opens the lock's folder without following a link and makes sure that only this user can change it.
// A descriptor of the folder, or -1 with the reason.
int OpenPrivateFolder(const QString& folder, bool mayCreate, QString& error) {
    const QByteArray name = QFile::encodeName(folder);
    if (mayCreate && mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
        error = QStringLiteral("The folder %1 cannot be created: %2").arg(folder, SystemError(errno));
        return -1;
    }
    const int fd = open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        error = errno == ELOOP || errno == ENOTDIR
                    ? QStringLiteral("%1 is not a folder but a link or a file that another user may have "
                                     "put there.")
                          .arg(folder)
                    : QStringLiteral("The folder %1 cannot be opened: %2").arg(folder, SystemError(errno));
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_uid != getuid()) {
        close(fd);
        error = QStringLiteral("The folder %1 belongs to another user.").arg(folder);
        return -1;
    }
    // Our own folder that others could write to: made ours alone again. What others may have put in it
    // meanwhile is checked where it is used.
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && fchmod(fd, 0700) != 0) {
        close(fd);
        error = QStringLiteral("The folder %1 can be changed by other users and its permissions cannot be "
                               "corrected: %2")
                    .arg(folder, SystemError(errno));
        return -1;
    }
    return fd;
}

} // namespace

TInstanceLock::TInstanceLock(const QString& name) : Path(LockPath(name)) {}

TInstanceLock::~TInstanceLock() {
    if (Fd >= 0) close(Fd); // releases the lock; the file stays for the next start
}

QString TInstanceLock::LockPath(const QString& name) {
    QString folder = RuntimeFolder();
    if (folder.isEmpty()) folder = SharedTempFolder();
    return folder + "/" + name + ".lock";
}

TInstanceLock::TResult TInstanceLock::TryLock() {
    if (Fd >= 0) return TResult::Locked;
    Error.clear();
    const qsizetype slash = Path.lastIndexOf(u'/');
    const QString folder = Path.left(slash);
    const QString fileName = Path.mid(slash + 1);
    const int dir = OpenPrivateFolder(folder, folder == SharedTempFolder(), Error);
    if (dir < 0) return TResult::Unsafe;
    const int fd = openat(dir, QFile::encodeName(fileName).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    const int openError = errno;
    close(dir);
    if (fd < 0) {
        if (openError == ELOOP) {
            Error = QStringLiteral("The lock file %1 is a symbolic link, which is not followed.").arg(Path);
            return TResult::Unsafe;
        }
        // Nowhere to keep a lock (a full or read-only disk): never stop the program for that.
        return TResult::Locked;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != getuid()) {
        close(fd);
        Error = QStringLiteral("The lock file %1 is not a file of your own.").arg(Path);
        return TResult::Unsafe;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return TResult::HeldByOther;
    }
    Fd = fd;
    return TResult::Locked;
}
