#include "TempFileName.h"

#include "KnownFolders.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The name's number is a 16-bit signed value in the programs that share this naming.
constexpr int LastTempNumber = 32767;

} // namespace

int CreateTempFileIn(const QString& folder, const QString& extension, QString& name) {
    QString prefix = folder;
    if (!prefix.endsWith('/')) prefix += '/';
    prefix += "~Qz";
    for (int n = 0; n <= LastTempNumber; ++n) {
        name = prefix + QString::number(n) + extension;
        // O_EXCL makes the test and the reservation one step: a name another program took between
        // our look and our create is simply taken.
        const int fd = ::open(QFile::encodeName(name).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) return fd;
        // Anything but a taken name is the folder's refusal, which no other number changes.
        if (errno != EEXIST) {
            const int error = errno;
            name.clear();
            return -error;
        }
    }
    name.clear();
    return -EEXIST;
}

QString MakeTempFileNameIn(const QString& folder, const QString& extension) {
    QString name;
    const int fd = CreateTempFileIn(folder, extension, name);
    if (fd < 0) return {};
    ::close(fd);
    return name;
}

QString MakeTempFileName(const QString& extension) {
    return MakeTempFileNameIn(GetTempFolder(), extension);
}
