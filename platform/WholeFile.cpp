#include "WholeFile.h"

#include <QDir>
#include <QSaveFile>

QString WriteWholeFile(const QString& fileName, const QByteArray& data) {
    const QString shown = QDir::toNativeSeparators(fileName);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot create file \"%1\". %2").arg(shown, file.errorString());
    if (file.write(data) != data.size() || !file.commit())
        return QStringLiteral("Cannot write file \"%1\". %2").arg(shown, file.errorString());
    return {};
}
