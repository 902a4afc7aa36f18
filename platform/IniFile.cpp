#include "IniFile.h"

#include "Convert.h"
#include "RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <ctime>
#include <mutex>
#include <sys/stat.h>

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");
// Line end of a file that has none yet: the platform's own.
const QByteArray NewFileEol("\n");

bool SameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// A line's text. Qt's plain UTF-8 conversion drops a byte order mark at the start of what it converts,
// so a key spelled with one would read differently once a write puts it at the start of its line.
QString LineText(QByteArrayView raw) {
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    return QString(decoder(raw)).trimmed();
}

bool IsQuote(QChar c) {
    return c == u'"' || c == u'\'';
}

bool WhollyQuoted(const QString& value) {
    return value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back();
}

QString Unquote(const QString& value) {
    return WhollyQuoted(value) ? value.mid(1, value.size() - 2) : value;
}

// The stored form of a value: one that the reading rules would change (trimmed blanks, dropped quotes)
// is protected by a further pair of quotes, which the reading drops again.
QString EncodeValue(const QString& value) {
    if (value.isEmpty()) return value;
    if (value.front().isSpace() || value.back().isSpace() || WhollyQuoted(value)) return u'"' + value + u'"';
    return value;
}

QString OversizeReason(qint64 size) {
    return QStringLiteral("it holds %1 bytes, more than the %2 MiB a settings file may hold")
        .arg(size)
        .arg(TIniFile::MaxFileSize >> 20);
}

bool HasLineBreak(const QString& text) {
    return text.contains(u'\n') || text.contains(u'\r');
}

[[noreturn]] void ThrowUnstorable(const QString& what, const QString& text) {
    throw EIniFileError(QStringLiteral("The %1 \"%2\" cannot be stored in a settings file").arg(what, text));
}

void CheckSectionName(const QString& section) {
    if (HasLineBreak(section) || section.contains(u']'))
        ThrowUnstorable(QStringLiteral("section name"), section);
}

void CheckKeyName(const QString& key) {
    const QString k = key.trimmed();
    if (k.isEmpty() || HasLineBreak(k) || k.contains(u'=') || k.front() == u'[' || k.front() == u';')
        ThrowUnstorable(QStringLiteral("key name"), key);
}

void CheckValue(const QString& value) {
    if (HasLineBreak(value)) ThrowUnstorable(QStringLiteral("value"), value);
}

QByteArray EntryBytes(const QString& key, const QString& value) {
    return (key + u'=' + EncodeValue(value)).toUtf8();
}

bool IsAsciiBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArrayView LineBytes(const QByteArray& text, qsizetype begin, qsizetype end) {
    return QByteArrayView(text.constData() + begin, end - begin);
}

// Calls visit(begin, end, next) for each line: [begin, end) is the line without its line end, next
// where the following line starts. A line end is LF or CR LF; a last line without one still counts.
template <typename Visit> void ForEachLine(const QByteArray& text, Visit visit) {
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype lf = text.indexOf('\n', start);
        if (lf < 0) {
            visit(start, text.size(), text.size());
            return;
        }
        qsizetype end = lf;
        if (end > start && text[end - 1] == '\r') --end;
        visit(start, end, lf + 1);
        start = lf + 1;
    }
}

bool IsAsciiText(QByteArrayView raw) {
    for (const char c : raw)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

QByteArrayView TrimAscii(QByteArrayView raw) {
    qsizetype begin = 0;
    qsizetype end = raw.size();
    while (begin < end && IsAsciiBlank(raw[begin]))
        ++begin;
    while (end > begin && IsAsciiBlank(raw[end - 1]))
        --end;
    return raw.sliced(begin, end - begin);
}

// FNV-1a over the UTF-16 units of a case-folded name: a plain ASCII name hashes as its folded text.
constexpr uint32_t HashSeed = 2166136261u;
uint32_t HashUnit(uint32_t hash, char16_t unit) {
    hash = (hash ^ (unit & 0xFFu)) * 16777619u;
    return (hash ^ (unit >> 8)) * 16777619u;
}

// The slot of a name in its table. Names of a file are often alike ("S1", "S2", ...; one key name in
// every section): the bits are mixed in full, or the low ones that pick the slot would cluster.
uint32_t SlotHash(uint32_t hash, uint32_t section) {
    uint32_t h = hash ^ (section * 0x9E3779B1u);
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    return h ^ (h >> 16);
}

// The slot count for a table of that many entries, at most half full.
size_t SlotCount(size_t entries) {
    size_t count = 16;
    while (count < 2 * entries)
        count *= 2;
    return count;
}

} // namespace

struct TIniFile::Name {
    QByteArrayView Ascii; // the name as it stands in a plain ASCII line
    QString Folded;       // the case-folded name, for any other line and for look-ups
    bool IsAscii = false;
    uint32_t Hash = HashSeed;
};

TIniFile::Name TIniFile::QueryName(const QString& name) {
    Name n;
    n.Folded = name.trimmed().toCaseFolded();
    for (const QChar c : std::as_const(n.Folded))
        n.Hash = HashUnit(n.Hash, c.unicode());
    return n;
}

bool TIniFile::SameIndexName(const Name& a, const Name& b) {
    if (a.Hash != b.Hash) return false;
    if (a.IsAscii && b.IsAscii) {
        if (a.Ascii.size() != b.Ascii.size()) return false;
        for (qsizetype i = 0; i < a.Ascii.size(); ++i)
            if (AsciiLower(a.Ascii[i]) != AsciiLower(b.Ascii[i])) return false;
        return true;
    }
    const auto folded = [](const Name& n) {
        return n.IsAscii ? QString::fromLatin1(n.Ascii).toCaseFolded() : n.Folded;
    };
    return folded(a) == folded(b);
}

TIniFile::LineKind TIniFile::IndexLine(QByteArrayView raw, Name& name) {
    name = Name();
    if (!IsAsciiText(raw)) {
        // Names beyond ASCII: the full reading rules (Unicode blanks, case folding).
        const Line line = ParseLine(raw);
        if (line.Kind == LineKind::Header || line.Kind == LineKind::Entry) name = QueryName(line.Name);
        return line.Kind;
    }
    // Most lines are plain ASCII: read where they stand, as ParseLine would read them.
    const QByteArrayView text = TrimAscii(raw);
    if (text.isEmpty()) return LineKind::Empty;
    if (text.front() == ';') return LineKind::Comment;
    if (text.front() == '[') {
        const qsizetype close = text.indexOf(']');
        name.Ascii = TrimAscii(text.sliced(1, close < 0 ? text.size() - 1 : close - 1));
    } else {
        const qsizetype eq = text.indexOf('=');
        if (eq <= 0) return LineKind::Other;
        name.Ascii = TrimAscii(text.first(eq));
        if (name.Ascii.isEmpty()) return LineKind::Other;
    }
    name.IsAscii = true;
    for (const char c : name.Ascii)
        name.Hash = HashUnit(name.Hash, char16_t(AsciiLower(c)));
    return text.front() == '[' ? LineKind::Header : LineKind::Entry;
}

TIniFile::TIniFile(QString fileName) : Path(std::move(fileName)), Cache(Load(Path)) {}

TIniFile::Line TIniFile::ParseLine(QByteArrayView raw) {
    Line line;
    // Most lines of a long file are blank, comments or plain ASCII entries: the first bytes tell the
    // first two kinds apart without decoding the line.
    qsizetype first = 0;
    while (first < raw.size() && IsAsciiBlank(raw[first]))
        ++first;
    if (first == raw.size()) return line;
    if (raw[first] == ';') {
        line.Kind = LineKind::Comment;
        return line;
    }
    const QString text = LineText(raw);
    if (text.isEmpty()) return line;
    if (text.front() == u';') {
        line.Kind = LineKind::Comment;
        return line;
    }
    line.Kind = LineKind::Other;
    if (text.front() == u'[') {
        const qsizetype close = text.indexOf(u']');
        line.Kind = LineKind::Header;
        line.Name = text.mid(1, close < 0 ? -1 : close - 1).trimmed();
        return line;
    }
    const qsizetype eq = text.indexOf(u'=');
    if (eq <= 0) return line;
    line.Name = text.left(eq).trimmed();
    if (line.Name.isEmpty()) return line;
    line.Kind = LineKind::Entry;
    line.Value = Unquote(text.mid(eq + 1).trimmed());
    return line;
}

namespace {

// A real settings file of a few KiB costs nothing to read again, and what the user or another program
// wrote since is then always seen. A large one, which every operation would read and index again (a
// program's start makes dozens of them), is kept once indexed while it stays the same on disk: the
// same file (device and inode), size, and modification and change times to the nanosecond.
constexpr qint64 KeptFromSize = qint64(1) << 20;
constexpr time_t SettledSeconds = 2;

struct TFileIdentity {
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    timespec Modified{};
    timespec Changed{};

    bool operator==(const TFileIdentity& o) const {
        return Device == o.Device && Inode == o.Inode && Size == o.Size &&
               Modified.tv_sec == o.Modified.tv_sec && Modified.tv_nsec == o.Modified.tv_nsec &&
               Changed.tv_sec == o.Changed.tv_sec && Changed.tv_nsec == o.Changed.tv_nsec;
    }
};

std::optional<TFileIdentity> IdentityOf(const struct stat& info) {
    if (!S_ISREG(info.st_mode) || info.st_size < KeptFromSize) return std::nullopt;
    return TFileIdentity{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

std::mutex KeptLock;
QString KeptPath;
TFileIdentity KeptIdentity;
std::shared_ptr<const void> KeptContent;

} // namespace

std::shared_ptr<const TIniFile::Content> TIniFile::Load(const QString& path) {
    auto failed = [](const QString& reason) {
        auto content = std::make_shared<Content>();
        content->LoadError = reason;
        return std::shared_ptr<const Content>(std::move(content));
    };
    const QFileInfo info(path);
    if (!info.exists()) return std::make_shared<const Content>();
    if (info.isDir()) return failed(QStringLiteral("it is a folder"));
    QFile file;
    QString reason;
    if (!OpenRegularFile(file, path, reason)) return failed(reason);
    if (file.size() > MaxFileSize) return failed(OversizeReason(file.size()));
    struct stat opened {};
    std::optional<TFileIdentity> identity =
        fstat(file.handle(), &opened) == 0 ? IdentityOf(opened) : std::nullopt;
    if (identity) {
        std::lock_guard lock(KeptLock);
        if (KeptContent && KeptPath == path && KeptIdentity == *identity)
            return std::static_pointer_cast<const Content>(KeptContent);
    }
    // File times are coarse: a file changed a moment ago may change again within the same tick,
    // unseen. What another program wrote is kept only once it has been left alone for a while.
    const bool settled = opened.st_mtim.tv_sec + SettledSeconds <= time(nullptr);
    std::shared_ptr<const Content> content = ReadAndParse(file);
    if (identity && settled && content->LoadError.isEmpty()) {
        std::lock_guard lock(KeptLock);
        KeptPath = path;
        KeptIdentity = *identity;
        KeptContent = content;
    }
    return content;
}

void TIniFile::Remember(const QString& path, const std::shared_ptr<const Content>& content) {
    struct stat info {};
    const std::optional<TFileIdentity> identity =
        ::stat(QFile::encodeName(path).constData(), &info) == 0 ? IdentityOf(info) : std::nullopt;
    std::lock_guard lock(KeptLock);
    if (identity) {
        KeptPath = path;
        KeptIdentity = *identity;
        KeptContent = content;
        // Written by this process through a new file renamed into place: the content is known,
        // however recent the file's times.
    } else if (KeptPath == path) {
        KeptContent.reset();
    }
}

std::shared_ptr<const TIniFile::Content> TIniFile::ReadAndParse(QFile& file) {
    auto content = std::make_shared<Content>();
    // The file may grow while it is read: no more than the bound is taken in.
    QByteArray data = file.read(MaxFileSize + 1);
    if (data.size() > MaxFileSize) {
        content->LoadError = OversizeReason(data.size());
        return content;
    }
    if (file.error() != QFileDevice::NoError) {
        content->LoadError = file.errorString();
        return content;
    }
    const bool bom = data.startsWith(Utf8Bom);
    if (bom) data.remove(0, Utf8Bom.size());
    *content = Parse(std::move(data), bom);
    return content;
}

TIniFile::Content TIniFile::Parse(QByteArray text, bool utf8Bom) {
    Content content;
    content.Utf8Bom = utf8Bom;
    content.Text = std::move(text);
    // Room for every header and every entry at once, so the index never holds two copies of itself
    // while it grows, and its tables stay at most half full. A line that starts with "[" is a header;
    // one that starts beyond ASCII may turn out to be either once its Unicode blanks are dropped.
    size_t headers = 0;
    size_t entries = 0;
    ForEachLine(content.Text, [&](qsizetype begin, qsizetype end, qsizetype) {
        const QByteArrayView line = TrimAscii(LineBytes(content.Text, begin, end));
        if (line.isEmpty() || line.front() == ';') return;
        const bool beyondAscii = static_cast<unsigned char>(line.front()) >= 0x80;
        if (line.front() == '[' || beyondAscii) ++headers;
        if (line.front() != '[') ++entries;
    });
    content.Sections.reserve(headers);
    content.Keys.reserve(entries);
    content.SectionSlots.assign(SlotCount(headers), 0);
    content.KeySlots.assign(SlotCount(entries), 0);

    bool eolSeen = false;
    uint32_t current = None;
    // New keys of a section go to its first header; later headers of the same name only add keys.
    bool inFirstHeader = false;
    Name name;
    ForEachLine(content.Text, [&](qsizetype begin, qsizetype end, qsizetype next) {
        if (!eolSeen && next > end) {
            content.Eol = content.Text.mid(end, next - end);
            eolSeen = true;
        }
        const LineKind kind = IndexLine(LineBytes(content.Text, begin, end), name);
        content.LastLineHasText = kind != LineKind::Empty;
        switch (kind) {
        case LineKind::Empty:
        case LineKind::Comment:
            return;
        case LineKind::Header: {
            const uint32_t found = FindSectionIndex(content, name);
            inFirstHeader = found == None;
            if (inFirstHeader) {
                current = uint32_t(content.Sections.size());
                Section section;
                section.HeaderBegin = uint32_t(begin);
                section.HeaderEnd = uint32_t(end);
                section.Hash = name.Hash;
                content.Sections.push_back(section);
                const size_t mask = content.SectionSlots.size() - 1;
                size_t slot = SlotHash(name.Hash, 0) & mask;
                while (content.SectionSlots[slot] != 0)
                    slot = (slot + 1) & mask;
                content.SectionSlots[slot] = current + 1;
            } else {
                current = found;
            }
            break;
        }
        case LineKind::Entry:
            if (current != None && FindKeyIndex(content, current, name) == None) {
                const uint32_t index = uint32_t(content.Keys.size());
                KeyLine key;
                key.Begin = uint32_t(begin);
                key.End = uint32_t(end);
                key.Section = current;
                key.Hash = name.Hash;
                content.Keys.push_back(key);
                Section& section = content.Sections[current];
                if (section.LastKey == None)
                    section.FirstKey = index;
                else
                    content.Keys[section.LastKey].Next = index;
                section.LastKey = index;
                const size_t mask = content.KeySlots.size() - 1;
                size_t slot = SlotHash(name.Hash, current) & mask;
                while (content.KeySlots[slot] != 0)
                    slot = (slot + 1) & mask;
                content.KeySlots[slot] = index + 1;
            }
            break;
        case LineKind::Other:
            break;
        }
        if (current != None && inFirstHeader) {
            Section& section = content.Sections[current];
            section.InsertAt = uint32_t(next);
            section.InsertAfterLastLine = next == end;
        }
    });
    return content;
}

uint32_t TIniFile::FindSectionIndex(const Content& content, const Name& name) {
    if (content.SectionSlots.empty()) return None;
    const size_t mask = content.SectionSlots.size() - 1;
    Name stored;
    for (size_t slot = SlotHash(name.Hash, 0) & mask; content.SectionSlots[slot] != 0;
         slot = (slot + 1) & mask) {
        const uint32_t index = content.SectionSlots[slot] - 1;
        const Section& section = content.Sections[index];
        if (section.Hash != name.Hash) continue;
        IndexLine(LineBytes(content.Text, section.HeaderBegin, section.HeaderEnd), stored);
        if (SameIndexName(stored, name)) return index;
    }
    return None;
}

uint32_t TIniFile::FindKeyIndex(const Content& content, uint32_t section, const Name& name) {
    if (content.KeySlots.empty()) return None;
    const size_t mask = content.KeySlots.size() - 1;
    Name stored;
    for (size_t slot = SlotHash(name.Hash, section) & mask; content.KeySlots[slot] != 0;
         slot = (slot + 1) & mask) {
        const uint32_t index = content.KeySlots[slot] - 1;
        const KeyLine& key = content.Keys[index];
        if (key.Section != section || key.Hash != name.Hash) continue;
        IndexLine(LineBytes(content.Text, key.Begin, key.End), stored);
        if (SameIndexName(stored, name)) return index;
    }
    return None;
}

const TIniFile::Section* TIniFile::FindSection(const Content& content, const QString& section) {
    const uint32_t index = FindSectionIndex(content, QueryName(section));
    return index == None ? nullptr : &content.Sections[index];
}

const TIniFile::KeyLine* TIniFile::FindEntry(const Content& content, const QString& section,
                                             const QString& key) {
    const uint32_t s = FindSectionIndex(content, QueryName(section));
    if (s == None) return nullptr;
    const uint32_t index = FindKeyIndex(content, s, QueryName(key));
    return index == None ? nullptr : &content.Keys[index];
}

bool TIniFile::SectionExists(const QString& section) const {
    return FindSection(*Cache, section) != nullptr;
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const {
    return FindEntry(*Cache, section, key) != nullptr;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const {
    const KeyLine* entry = FindEntry(*Cache, section, key);
    return entry ? ParseLine(LineBytes(Cache->Text, entry->Begin, entry->End)).Value : defaultValue;
}

int32_t TIniFile::ReadInteger(const QString& section, const QString& key, int32_t defaultValue) const {
    return TextToIntDef(ReadString(section, key, QString()), defaultValue);
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const {
    int32_t value = 0;
    if (!TryTextToInt(ReadString(section, key, QString()), value)) return defaultValue;
    return value != 0;
}

QStringList TIniFile::ReadSection(const QString& section) const {
    QStringList keys;
    if (const Section* s = FindSection(*Cache, section)) {
        for (uint32_t k = s->FirstKey; k != None; k = Cache->Keys[k].Next)
            keys << ParseLine(LineBytes(Cache->Text, Cache->Keys[k].Begin, Cache->Keys[k].End)).Name;
    }
    return keys;
}

QStringList TIniFile::ReadSectionValues(const QString& section) const {
    QStringList lines;
    if (const Section* s = FindSection(*Cache, section)) {
        for (uint32_t k = s->FirstKey; k != None; k = Cache->Keys[k].Next) {
            const Line line = ParseLine(LineBytes(Cache->Text, Cache->Keys[k].Begin, Cache->Keys[k].End));
            lines << line.Name + u'=' + line.Value;
        }
    }
    return lines;
}

void TIniFile::ShiftOffsets(Content& content, qsizetype from, qsizetype delta) {
    const auto begin = [&](uint32_t& offset) {
        if (offset >= from) offset = uint32_t(offset + delta);
    };
    const auto end = [&](uint32_t& offset) {
        if (offset > from) offset = uint32_t(offset + delta);
    };
    for (Section& s : content.Sections) {
        begin(s.HeaderBegin);
        end(s.HeaderEnd);
        begin(s.InsertAt);
    }
    for (KeyLine& k : content.Keys) {
        begin(k.Begin);
        end(k.End);
    }
}

void TIniFile::AddKey(Content& content, uint32_t section, qsizetype begin, qsizetype end, uint32_t hash) {
    const uint32_t index = uint32_t(content.Keys.size());
    KeyLine key;
    key.Begin = uint32_t(begin);
    key.End = uint32_t(end);
    key.Section = section;
    key.Hash = hash;
    content.Keys.push_back(key);
    // In file order among the section's keys: those of a later header of the same name come after.
    Section& s = content.Sections[section];
    uint32_t before = None;
    for (uint32_t k = s.FirstKey; k != None && content.Keys[k].Begin < key.Begin; k = content.Keys[k].Next)
        before = k;
    if (before == None) {
        content.Keys[index].Next = s.FirstKey;
        s.FirstKey = index;
    } else {
        content.Keys[index].Next = content.Keys[before].Next;
        content.Keys[before].Next = index;
    }
    if (content.Keys[index].Next == None) s.LastKey = index;
    if (2 * content.Keys.size() > content.KeySlots.size()) {
        content.KeySlots.assign(SlotCount(content.Keys.size() * 2), 0);
        const size_t mask = content.KeySlots.size() - 1;
        for (uint32_t k = 0; k < content.Keys.size(); ++k) {
            size_t slot = SlotHash(content.Keys[k].Hash, content.Keys[k].Section) & mask;
            while (content.KeySlots[slot] != 0)
                slot = (slot + 1) & mask;
            content.KeySlots[slot] = k + 1;
        }
        return;
    }
    const size_t mask = content.KeySlots.size() - 1;
    size_t slot = SlotHash(hash, section) & mask;
    while (content.KeySlots[slot] != 0)
        slot = (slot + 1) & mask;
    content.KeySlots[slot] = index + 1;
}

std::optional<TIniFile::Content> TIniFile::ApplyWrite(const Content& content, const QString& section,
                                                      const QString& key, const QString& value) {
    const QByteArray& text = content.Text;
    if (const KeyLine* entry = FindEntry(content, section, key)) {
        const Line line = ParseLine(LineBytes(text, entry->Begin, entry->End));
        if (line.Value == value) return std::nullopt;
        // The line keeps the spelling of its key as the user or an earlier version wrote it.
        const QByteArray bytes = EntryBytes(line.Name, value);
        Content changed = content;
        changed.Text = text.left(entry->Begin);
        changed.Text += bytes;
        changed.Text += QByteArrayView(text).sliced(entry->End);
        const size_t index = size_t(entry - content.Keys.data());
        ShiftOffsets(changed, entry->End, bytes.size() - (qsizetype(entry->End) - entry->Begin));
        changed.Keys[index].End = uint32_t(entry->Begin + bytes.size());
        return changed;
    }

    const QByteArray& eol = content.Eol.isEmpty() ? NewFileEol : content.Eol;
    const uint32_t keyHash = QueryName(key).Hash;
    if (const Section* s = FindSection(content, section)) {
        // A new key goes after the last entry (or other content) of the section's first header, ahead
        // of the blank lines and comments that lead to the next section.
        const qsizetype at = s->InsertAt;
        const uint32_t index = uint32_t(s - content.Sections.data());
        QByteArray inserted;
        if (s->InsertAfterLastLine) inserted += eol;
        const qsizetype begin = at + inserted.size();
        inserted += EntryBytes(key, value);
        const qsizetype end = at + inserted.size();
        inserted += eol;
        Content changed = content;
        changed.Text = text.left(at);
        changed.Text += inserted;
        changed.Text += QByteArrayView(text).sliced(at);
        ShiftOffsets(changed, at, inserted.size());
        changed.Sections[index].InsertAfterLastLine = false;
        AddKey(changed, index, begin, end, keyHash);
        changed.Eol = eol;
        if (at == text.size()) changed.LastLineHasText = true;
        return changed;
    }
    Content changed = content;
    QByteArray& out = changed.Text;
    if (!out.isEmpty() && !out.endsWith('\n')) {
        out += eol;
        // The section that ended with the file's last line now has a line end after it.
        for (Section& s : changed.Sections)
            if (s.InsertAfterLastLine) {
                s.InsertAt = uint32_t(out.size());
                s.InsertAfterLastLine = false;
            }
    }
    if (content.LastLineHasText) out += eol;
    Section added;
    added.HeaderBegin = uint32_t(out.size());
    out += (u'[' + section + u']').toUtf8();
    added.HeaderEnd = uint32_t(out.size());
    out += eol;
    const qsizetype begin = out.size();
    out += EntryBytes(key, value);
    const qsizetype end = out.size();
    out += eol;
    added.InsertAt = uint32_t(out.size());
    added.Hash = QueryName(section).Hash;
    const uint32_t index = uint32_t(changed.Sections.size());
    changed.Sections.push_back(added);
    if (2 * changed.Sections.size() > changed.SectionSlots.size()) {
        changed.SectionSlots.assign(SlotCount(changed.Sections.size() * 2), 0);
        const size_t mask = changed.SectionSlots.size() - 1;
        for (uint32_t i = 0; i < changed.Sections.size(); ++i) {
            size_t slot = SlotHash(changed.Sections[i].Hash, 0) & mask;
            while (changed.SectionSlots[slot] != 0)
                slot = (slot + 1) & mask;
            changed.SectionSlots[slot] = i + 1;
        }
    } else {
        const size_t mask = changed.SectionSlots.size() - 1;
        size_t slot = SlotHash(added.Hash, 0) & mask;
        while (changed.SectionSlots[slot] != 0)
            slot = (slot + 1) & mask;
        changed.SectionSlots[slot] = index + 1;
    }
    AddKey(changed, index, begin, end, keyHash);
    changed.Eol = eol;
    changed.LastLineHasText = true;
    return changed;
}

std::optional<QByteArray> TIniFile::ApplyErase(const Content& content, const QString& section) {
    if (!FindSection(content, section)) return std::nullopt;
    QByteArray kept;
    kept.reserve(content.Text.size());
    bool inside = false;
    ForEachLine(content.Text, [&](qsizetype begin, qsizetype end, qsizetype next) {
        const Line line = ParseLine(LineBytes(content.Text, begin, end));
        if (line.Kind == LineKind::Header) inside = SameName(line.Name, section);
        if (!inside) kept += LineBytes(content.Text, begin, next);
    });
    return kept;
}

std::optional<QByteArray> TIniFile::ApplyDelete(const Content& content, const QString& section,
                                                const QString& key) {
    if (!FindEntry(content, section, key)) return std::nullopt;
    QByteArray kept;
    kept.reserve(content.Text.size());
    bool inside = false;
    ForEachLine(content.Text, [&](qsizetype begin, qsizetype end, qsizetype next) {
        const Line line = ParseLine(LineBytes(content.Text, begin, end));
        if (line.Kind == LineKind::Header) inside = SameName(line.Name, section);
        if (!(inside && line.Kind == LineKind::Entry && SameName(line.Name, key)))
            kept += LineBytes(content.Text, begin, next);
    });
    return kept;
}

std::optional<TIniFile::Content> TIniFile::Reparsed(const Content& content, std::optional<QByteArray> text) {
    if (!text) return std::nullopt;
    return Parse(std::move(*text), content.Utf8Bom);
}

template <typename Change> void TIniFile::Modify(Change change) {
    // Read again so that what another object or the user wrote since this one was made is kept.
    std::shared_ptr<const Content> fresh = Load(Path);
    if (!fresh->LoadError.isEmpty())
        throw EIniFileError(QStringLiteral("The settings file %1 cannot be read, so it is not changed: %2")
                                .arg(Path, fresh->LoadError));
    std::optional<Content> changed = change(*fresh);
    if (!changed) {
        Cache = std::move(fresh);
        return;
    }
    try {
        Save(*fresh, changed->Text);
    } catch (...) {
        Cache = std::move(fresh);
        throw;
    }
    fresh.reset();
    Cache = std::make_shared<const Content>(std::move(*changed));
    Remember(Path, Cache);
}

void TIniFile::Save(const Content& content, const QByteArray& text) const {
    // The new text goes to a temporary file beside the old one and replaces it by a rename, so a failure
    // at any point leaves the user's file whole.
    if (text.size() + (content.Utf8Bom ? Utf8Bom.size() : 0) > MaxFileSize)
        throw EIniFileError(QStringLiteral("The settings file %1 cannot be written: %2")
                                .arg(Path, OversizeReason(text.size())));
    QSaveFile file(Path);
    bool written = file.open(QIODevice::WriteOnly);
    if (written && content.Utf8Bom) written = file.write(Utf8Bom) == Utf8Bom.size();
    if (written) written = file.write(text) == text.size();
    if (!written || !file.commit())
        throw EIniFileError(
            QStringLiteral("The settings file %1 cannot be written: %2").arg(Path, file.errorString()));
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QString s = section.trimmed();
    const QString k = key.trimmed();
    CheckSectionName(s);
    CheckKeyName(k);
    CheckValue(value);
    Modify([&](const Content& c) { return ApplyWrite(c, s, k, value); });
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int32_t value) {
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::EraseSection(const QString& section) {
    const QString s = section.trimmed();
    Modify([&](const Content& c) { return Reparsed(c, ApplyErase(c, s)); });
}

void TIniFile::DeleteKey(const QString& section, const QString& key) {
    const QString s = section.trimmed();
    const QString k = key.trimmed();
    Modify([&](const Content& c) { return Reparsed(c, ApplyDelete(c, s, k)); });
}
