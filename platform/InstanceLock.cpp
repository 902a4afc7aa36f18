#include "InstanceLock.h"

#include "KnownFolders.h"

#include <QDir>
#include <QStandardPaths>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TInstanceLock::TInstanceLock(const QString& name) : Path(LockPath(name)) {}

TInstanceLock::~TInstanceLock() {
    if (Fd >= 0) close(Fd); // releases the lock; the file stays for the next start
}

QString TInstanceLock::LockPath(const QString& name) {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists()) folder = GetTempFolder();
    return folder + "/" + name + "-" + QString::number(getuid()) + ".lock";
}

bool TInstanceLock::TryLock() {
    if (Fd >= 0) return true;
    const int fd = open(QFile::encodeName(Path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return true; // nowhere to keep a lock: never stop the program from running for that
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    Fd = fd;
    return true;
}
