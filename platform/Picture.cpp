#include "Picture.h"

#include "BmpFormat.h"
#include "Exceptions.h"
#include "GifFormat.h"
#include "IcoFormat.h"
#include "JpegFormat.h"
#include "PngFormat.h"

#include <QFileInfo>
#include <mutex>
#include <vector>

namespace {

struct TFileFormat {
    QString Extension;
    QString Description;
    TGraphicLoader Loader;
};

// The registry is built on first use, with the standard formats in it: registering from static
// initialisers would be lost with unreferenced objects of the static library.
class TFormatRegistry {
public:
    TFormatRegistry() {
        Add(QStringLiteral("bmp"), QStringLiteral("Bitmaps"), LoadBmpFile);
        Add(QStringLiteral("ico"), QStringLiteral("Icons"), LoadIcoFile);
        Add(QStringLiteral("jpg"), QStringLiteral("JPEG Image File"), LoadJpegFile);
        Add(QStringLiteral("jpeg"), QStringLiteral("JPEG Image File"), LoadJpegFile);
        Add(QStringLiteral("gif"), QStringLiteral("GIF Image"), LoadGifFile);
        Add(QStringLiteral("png"), QStringLiteral("Portable Network Graphics"), LoadPngFile);
        // Nothing on this platform decodes Windows metafiles: "wmf" and "emf" stay unknown.
    }

    void Add(const QString& extension, const QString& description, TGraphicLoader loader) {
        const std::lock_guard lock(Mutex);
        if (TFileFormat* f = FindLocked(extension)) {
            f->Description = description;
            f->Loader = std::move(loader);
            return;
        }
        Formats.push_back({extension, description, std::move(loader)});
    }

    bool Find(const QString& extension, TFileFormat& out) {
        const std::lock_guard lock(Mutex);
        if (const TFileFormat* f = FindLocked(extension)) {
            out = *f;
            return true;
        }
        return false;
    }

    QStringList Extensions() {
        const std::lock_guard lock(Mutex);
        QStringList list;
        for (const TFileFormat& f : Formats)
            list.append(f.Extension);
        return list;
    }

private:
    TFileFormat* FindLocked(const QString& extension) {
        for (TFileFormat& f : Formats)
            if (f.Extension.compare(extension, Qt::CaseInsensitive) == 0) return &f;
        return nullptr;
    }

    std::mutex Mutex;
    std::vector<TFileFormat> Formats;
};

TFormatRegistry& Registry() {
    static TFormatRegistry registry;
    return registry;
}

// From the last dot of the file's name (not of its folders) to the end, without the dot.
QString ExtensionOf(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

} // namespace

void TPicture::RegisterFileFormat(const QString& extension, const QString& description,
                                  TGraphicLoader loader) {
    Registry().Add(extension, description, std::move(loader));
}

bool TPicture::IsRegistered(const QString& extension) {
    TFileFormat f;
    return Registry().Find(extension, f);
}

QString TPicture::Description(const QString& extension) {
    TFileFormat f;
    return Registry().Find(extension, f) ? f.Description : QString();
}

QStringList TPicture::Extensions() {
    return Registry().Extensions();
}

void TPicture::LoadFromFile(const QString& fileName) {
    const QString extension = ExtensionOf(fileName);
    TFileFormat format;
    if (!Registry().Find(extension, format) || !format.Loader)
        throw EInvalidGraphic(QStringLiteral("Unknown picture file extension (.%1)").arg(extension));
    std::unique_ptr<TGraphic> graphic = format.Loader(fileName);
    if (!graphic) throw EInvalidGraphic(QStringLiteral("Invalid image file"));
    Content = std::move(graphic);
}

std::unique_ptr<TGraphic> LoadStampPicture(const QString& fileName) {
    TPicture picture;
    try {
        picture.LoadFromFile(fileName);
        return picture.Release();
    } catch (const EStreamError&) {
        // A file the format's decoder could not open or read to the end may still be a plain bitmap
        // the platform's own loader accepts.
    }
    return LoadPlainBitmapFile(fileName);
}
