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
    return QDir::tempPath();
}

QString ProgramFolder() {
    QString folder = QCoreApplication::applicationDirPath();
    if (!folder.endsWith('/')) folder += '/';
    return folder;
}
