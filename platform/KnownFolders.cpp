#include "KnownFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString GetMyPicturesFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    // Qt answers the home folder, or a folder that was never made, when the desktop names none.
    if (folder.isEmpty() || QDir(folder) == QDir::home() || !QFileInfo(folder).isDir()) return {};
    return QDir::toNativeSeparators(folder);
}

QString GetTempFolder() {
    // Qt's own answer for a TMPDIR that names no folder is empty, and a file name made from it lands
    // in the root folder.
    const QString fromEnvironment = qEnvironmentVariable("TMPDIR");
    if (!fromEnvironment.isEmpty() && QFileInfo(fromEnvironment).isDir()) {
        const QString folder = QDir(fromEnvironment).canonicalPath();
        if (!folder.isEmpty()) return folder;
    }
    return QStringLiteral("/tmp");
}

QString ProgramFolder() {
    QString folder = QCoreApplication::applicationDirPath();
    if (!folder.endsWith('/')) folder += '/';
    return folder;
}
