#include "PictureFile.h"

#include "Exceptions.h"
#include "RegularFile.h"

#include <QDir>
#include <QFile>

void ThrowOpenError(const QString& fileName, const QString& reason) {
    throw EFOpenError(
        QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(fileName), reason));
}

void ThrowReadError() {
    throw EReadError(QStringLiteral("Stream read error"));
}

void ThrowInvalidPicture(const QString& kind, const QString& detail) {
    QString message = QStringLiteral("%1 image is not valid").arg(kind);
    if (!detail.isEmpty()) message += QStringLiteral(" (%1)").arg(detail);
    throw EInvalidGraphic(message);
}

QByteArray ReadPictureFile(const QString& fileName) {
    QFile file;
    QString reason;
    if (!OpenRegularFile(file, fileName, reason)) ThrowOpenError(fileName, reason);
    const qint64 size = file.size();
    if (size > kMaxPictureFileSize) throw EInvalidGraphic(QStringLiteral("Picture file is too large"));
    QByteArray data(size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.read(data.data() + done, size - done);
        if (n <= 0) break;
        done += n;
    }
    if (done < size) {
        // The file shrank while we read it, or the device failed.
        if (file.error() != QFileDevice::NoError) ThrowReadError();
        data.truncate(done);
    }
    return data;
}

void CheckPictureSize(const QString& kind, qint64 width, qint64 height) {
    if (width <= 0 || height <= 0)
        ThrowInvalidPicture(kind, QStringLiteral("size %1 x %2").arg(width).arg(height));
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels)
        throw EInvalidGraphic(
            QStringLiteral("%1 image is too large (%2 x %3)").arg(kind).arg(width).arg(height));
}

QImage NewPictureImage(int width, int height, QImage::Format format) {
    QImage image(width, height, format);
    if (image.isNull()) throw EInvalidGraphic(QStringLiteral("Out of memory"));
    return image;
}
