#include "StampPictureCache.h"

#include <QFile>
#include <list>
#include <mutex>
#include <sys/stat.h>

namespace {

// A handful of stamp files is what the drawing window offers; the byte bound keeps a few large
// pictures from holding memory for good.
constexpr size_t kMaxEntries = 64;
constexpr qint64 kMaxPixelBytes = qint64(64) << 20;

struct TFileStamp {
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    struct timespec Modified {};

    bool operator==(const TFileStamp& o) const {
        return Device == o.Device && Inode == o.Inode && Size == o.Size &&
               Modified.tv_sec == o.Modified.tv_sec && Modified.tv_nsec == o.Modified.tv_nsec;
    }
};

struct TEntry {
    QString FileName;
    bool Transparent = false;
    TFileStamp Stamp;
    std::shared_ptr<const TGraphic> Picture;
    qint64 Bytes = 0;
};

class TStampCache {
public:
    std::shared_ptr<const TGraphic> Find(const QString& fileName, bool transparent, const TFileStamp& stamp) {
        const std::lock_guard lock(Mutex);
        for (auto it = Entries.begin(); it != Entries.end(); ++it) {
            if (it->FileName != fileName || it->Transparent != transparent) continue;
            if (!(it->Stamp == stamp)) {
                Remove(it);
                return nullptr;
            }
            Entries.splice(Entries.begin(), Entries, it); // most recently used first
            return Entries.front().Picture;
        }
        return nullptr;
    }

    void Add(TEntry entry) {
        const std::lock_guard lock(Mutex);
        if (entry.Bytes > kMaxPixelBytes) return;
        Bytes += entry.Bytes;
        Entries.push_front(std::move(entry));
        while (Entries.size() > kMaxEntries || Bytes > kMaxPixelBytes)
            Remove(std::prev(Entries.end()));
    }

    void Clear() {
        const std::lock_guard lock(Mutex);
        Entries.clear();
        Bytes = 0;
    }

private:
    void Remove(std::list<TEntry>::iterator it) {
        Bytes -= it->Bytes;
        Entries.erase(it);
    }

    std::mutex Mutex;
    std::list<TEntry> Entries;
    qint64 Bytes = 0;
};

TStampCache& Cache() {
    static TStampCache cache;
    return cache;
}

bool StatFile(const QString& fileName, TFileStamp& stamp) {
    struct stat info {};
    if (::stat(QFile::encodeName(fileName).constData(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    stamp.Device = info.st_dev;
    stamp.Inode = info.st_ino;
    stamp.Size = info.st_size;
    stamp.Modified = info.st_mtim;
    return true;
}

std::unique_ptr<TGraphic> LoadWithTransparency(const QString& fileName, bool transparent) {
    std::unique_ptr<TGraphic> picture = LoadStampPicture(fileName);
    picture->SetTransparent(transparent);
    return picture;
}

} // namespace

std::shared_ptr<const TGraphic> CachedStampPicture(const QString& fileName, bool transparent) {
    TFileStamp before;
    // What is no regular file is left to the loader, which reports it as it would without the cache.
    if (!StatFile(fileName, before)) return LoadWithTransparency(fileName, transparent);
    if (std::shared_ptr<const TGraphic> kept = Cache().Find(fileName, transparent, before)) return kept;

    std::shared_ptr<const TGraphic> picture = LoadWithTransparency(fileName, transparent);
    // A file that changed while it was read may have given a mixture of both versions: it is shown
    // once and read again at the next draw.
    TFileStamp after;
    if (StatFile(fileName, after) && after == before)
        Cache().Add(
            {fileName, transparent, before, picture, qint64(picture->Width()) * picture->Height() * 4});
    return picture;
}

void ClearStampPictureCache() {
    Cache().Clear();
}
