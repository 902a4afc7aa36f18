#include "ImageSave.h"

#include "BmpFormat.h"
#include "GifFormat.h"
#include "JpegFormat.h"
#include "PngFormat.h"
#include "WholeFile.h"

#include <QFileInfo>

namespace {

// The quality the programs have always saved JPEG files with.
constexpr int kJpegQuality = 80;

// From the last dot of the file's name to the end, dot included; empty when there is none.
QString LowerExtension(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot).toLower();
}

QByteArray Encode(const QImage& image, const QString& extension) {
    if (extension == QLatin1String(".jpg")) return EncodeJpeg(image, kJpegQuality);
    if (extension == QLatin1String(".gif")) return EncodeGif(image);
    if (extension == QLatin1String(".png")) return EncodePng(image);
    return EncodeBmp(image);
}

} // namespace

void SaveImage(const QImage& image, const QString& fileName) {
    // Encoding first: an encoder error then leaves no trace on disk.
    WriteWholeFileOrThrow<EImageSaveError>(fileName, Encode(image, LowerExtension(fileName)));
}
