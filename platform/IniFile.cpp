#include "IniFile.h"

#include "Convert.h"
#include "RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

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

} // namespace

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

TIniFile::Content TIniFile::Load(const QString& path) {
    Content content;
    const QFileInfo info(path);
    if (!info.exists()) return content;
    if (info.isDir()) {
        content.LoadError = QStringLiteral("it is a folder");
        return content;
    }
    QFile file;
    QString reason;
    if (!OpenRegularFile(file, path, reason)) {
        content.LoadError = reason;
        return content;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        content.LoadError = file.errorString();
        return content;
    }
    const bool bom = data.startsWith(Utf8Bom);
    if (bom) data.remove(0, Utf8Bom.size());
    return Parse(std::move(data), bom);
}

TIniFile::Content TIniFile::Parse(QByteArray text, bool utf8Bom) {
    Content content;
    content.Utf8Bom = utf8Bom;
    content.Text = std::move(text);
    bool eolSeen = false;
    Section* current = nullptr;
    // New keys of a section go to its first header; later headers of the same name only add keys.
    bool inFirstHeader = false;
    ForEachLine(content.Text, [&](qsizetype begin, qsizetype end, qsizetype next) {
        const QByteArrayView raw(content.Text.constData() + begin, end - begin);
        if (!eolSeen && next > end) {
            content.Eol = content.Text.mid(end, next - end);
            eolSeen = true;
        }
        const Line line = ParseLine(raw);
        content.LastLineHasText = line.Kind != LineKind::Empty;
        switch (line.Kind) {
        case LineKind::Empty:
        case LineKind::Comment:
            return;
        case LineKind::Header: {
            const QString folded = line.Name.toCaseFolded();
            const auto found = content.SectionAt.constFind(folded);
            inFirstHeader = found == content.SectionAt.constEnd();
            if (inFirstHeader) {
                content.SectionAt.insert(folded, qsizetype(content.Sections.size()));
                content.Sections.emplace_back();
                current = &content.Sections.back();
            } else {
                current = &content.Sections[size_t(*found)];
            }
            break;
        }
        case LineKind::Entry:
            if (current) {
                const QString folded = line.Name.toCaseFolded();
                if (!current->KeyAt.contains(folded)) {
                    current->KeyAt.insert(folded, qsizetype(current->Keys.size()));
                    current->Keys.push_back({begin, end});
                }
            }
            break;
        case LineKind::Other:
            break;
        }
        if (current && inFirstHeader) {
            current->InsertAt = next;
            current->InsertAfterLastLine = next == end;
        }
    });
    return content;
}

const TIniFile::Section* TIniFile::FindSection(const Content& content, const QString& section) {
    const auto found = content.SectionAt.constFind(section.trimmed().toCaseFolded());
    return found == content.SectionAt.constEnd() ? nullptr : &content.Sections[size_t(*found)];
}

const TIniFile::KeyLine* TIniFile::FindEntry(const Content& content, const QString& section,
                                             const QString& key) {
    const Section* s = FindSection(content, section);
    if (!s) return nullptr;
    const auto found = s->KeyAt.constFind(key.trimmed().toCaseFolded());
    return found == s->KeyAt.constEnd() ? nullptr : &s->Keys[size_t(*found)];
}

bool TIniFile::SectionExists(const QString& section) const {
    return FindSection(Cache, section) != nullptr;
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const {
    return FindEntry(Cache, section, key) != nullptr;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const {
    const KeyLine* entry = FindEntry(Cache, section, key);
    return entry ? ParseLine(LineBytes(Cache.Text, entry->Begin, entry->End)).Value : defaultValue;
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
    if (const Section* s = FindSection(Cache, section)) {
        keys.reserve(qsizetype(s->Keys.size()));
        for (const KeyLine& entry : s->Keys)
            keys << ParseLine(LineBytes(Cache.Text, entry.Begin, entry.End)).Name;
    }
    return keys;
}

QStringList TIniFile::ReadSectionValues(const QString& section) const {
    QStringList lines;
    if (const Section* s = FindSection(Cache, section)) {
        lines.reserve(qsizetype(s->Keys.size()));
        for (const KeyLine& entry : s->Keys) {
            const Line line = ParseLine(LineBytes(Cache.Text, entry.Begin, entry.End));
            lines << line.Name + u'=' + line.Value;
        }
    }
    return lines;
}

std::optional<QByteArray> TIniFile::ApplyWrite(const Content& content, const QString& section,
                                               const QString& key, const QString& value) {
    const QByteArray& text = content.Text;
    if (const KeyLine* entry = FindEntry(content, section, key)) {
        const Line line = ParseLine(LineBytes(text, entry->Begin, entry->End));
        if (line.Value == value) return std::nullopt;
        // The line keeps the spelling of its key as the user or an earlier version wrote it.
        QByteArray changed = text.left(entry->Begin);
        changed += EntryBytes(line.Name, value);
        changed += QByteArrayView(text).sliced(entry->End);
        return changed;
    }

    const QByteArray& eol = content.Eol.isEmpty() ? NewFileEol : content.Eol;
    if (const Section* s = FindSection(content, section)) {
        // A new key goes after the last entry (or other content) of the section's first header, ahead
        // of the blank lines and comments that lead to the next section.
        QByteArray changed = text.left(s->InsertAt);
        if (s->InsertAfterLastLine) changed += eol;
        changed += EntryBytes(key, value) + eol;
        changed += QByteArrayView(text).sliced(s->InsertAt);
        return changed;
    }
    QByteArray changed = text;
    if (!changed.isEmpty() && !changed.endsWith('\n')) changed += eol;
    if (content.LastLineHasText) changed += eol;
    changed += (u'[' + section + u']').toUtf8() + eol;
    changed += EntryBytes(key, value) + eol;
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

template <typename Change> void TIniFile::Modify(Change change) {
    // Read again so that what another object or the user wrote since this one was made is kept.
    Content fresh = Load(Path);
    if (!fresh.LoadError.isEmpty())
        throw EIniFileError(QStringLiteral("The settings file %1 cannot be read, so it is not changed: %2")
                                .arg(Path, fresh.LoadError));
    std::optional<QByteArray> changed = change(std::as_const(fresh));
    if (!changed) {
        Cache = std::move(fresh);
        return;
    }
    try {
        Save(fresh, *changed);
    } catch (...) {
        Cache = std::move(fresh);
        throw;
    }
    Cache = Parse(std::move(*changed), fresh.Utf8Bom);
}

void TIniFile::Save(const Content& content, const QByteArray& text) const {
    // The new text goes to a temporary file beside the old one and replaces it by a rename, so a failure
    // at any point leaves the user's file whole.
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
    Modify([&](const Content& c) { return ApplyErase(c, s); });
}

void TIniFile::DeleteKey(const QString& section, const QString& key) {
    const QString s = section.trimmed();
    const QString k = key.trimmed();
    Modify([&](const Content& c) { return ApplyDelete(c, s, k); });
}
