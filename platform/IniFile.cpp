#include "IniFile.h"

#include "Convert.h"

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
QString LineText(const QByteArray& raw) {
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

} // namespace

TIniFile::TIniFile(QString fileName) : Path(std::move(fileName)), Cache(Load(Path)) {}

TIniFile::Line TIniFile::ParseLine(QByteArray raw, QByteArray eol) {
    Line line;
    const QString text = LineText(raw);
    line.Raw = std::move(raw);
    line.Eol = std::move(eol);
    if (text.isEmpty() || text.front() == u';') return line;
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        content.LoadError = file.errorString();
        return content;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        content.LoadError = file.errorString();
        return content;
    }
    if (data.startsWith(Utf8Bom)) {
        content.Utf8Bom = true;
        data.remove(0, Utf8Bom.size());
    }
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype lf = data.indexOf('\n', start);
        if (lf < 0) {
            content.Lines.push_back(ParseLine(data.mid(start), QByteArray()));
            break;
        }
        qsizetype end = lf;
        if (end > start && data[end - 1] == '\r') --end;
        content.Lines.push_back(ParseLine(data.mid(start, end - start), data.mid(end, lf + 1 - end)));
        start = lf + 1;
    }
    return content;
}

QByteArray TIniFile::DefaultEol(const Content& content) {
    for (const Line& line : content.Lines)
        if (!line.Eol.isEmpty()) return line.Eol;
    return NewFileEol;
}

bool TIniFile::InSection(const Line& header, const QString& section) {
    return header.Kind == LineKind::Header && SameName(header.Name, section);
}

qsizetype TIniFile::FindEntry(const Content& content, const QString& section, const QString& key) {
    const QString k = key.trimmed();
    bool inside = false;
    for (size_t i = 0; i < content.Lines.size(); ++i) {
        const Line& line = content.Lines[i];
        if (line.Kind == LineKind::Header)
            inside = InSection(line, section);
        else if (inside && line.Kind == LineKind::Entry && SameName(line.Name, k))
            return static_cast<qsizetype>(i);
    }
    return -1;
}

bool TIniFile::SectionExists(const QString& section) const {
    const QString s = section.trimmed();
    for (const Line& line : Cache.Lines)
        if (InSection(line, s)) return true;
    return false;
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const {
    return FindEntry(Cache, section.trimmed(), key) >= 0;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const {
    const qsizetype i = FindEntry(Cache, section.trimmed(), key);
    return i < 0 ? defaultValue : Cache.Lines[i].Value;
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
    const QString s = section.trimmed();
    bool inside = false;
    for (const Line& line : Cache.Lines) {
        if (line.Kind == LineKind::Header)
            inside = InSection(line, s);
        else if (inside && line.Kind == LineKind::Entry && !keys.contains(line.Name, Qt::CaseInsensitive))
            keys << line.Name;
    }
    return keys;
}

QStringList TIniFile::ReadSectionValues(const QString& section) const {
    QStringList lines;
    for (const QString& key : ReadSection(section))
        lines << key + u'=' + ReadString(section, key, QString());
    return lines;
}

bool TIniFile::ApplyWrite(Content& content, const QString& section, const QString& key,
                          const QString& value) {
    const qsizetype found = FindEntry(content, section, key);
    if (found >= 0) {
        Line& line = content.Lines[found];
        if (line.Value == value) return false;
        // The line keeps the spelling of its key as the user or an earlier version wrote it.
        line = ParseLine(EntryBytes(line.Name, value), line.Eol);
        return true;
    }

    const QByteArray eol = DefaultEol(content);
    auto& lines = content.Lines;
    // A new key goes after the last entry (or other content) of the section's first header, ahead of
    // the blank lines and comments that lead to the next section.
    qsizetype insertAt = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (insertAt < 0) {
            if (InSection(lines[i], section)) insertAt = static_cast<qsizetype>(i) + 1;
            continue;
        }
        if (lines[i].Kind == LineKind::Header) break;
        const QString text = LineText(lines[i].Raw);
        if (!text.isEmpty() && text.front() != u';') insertAt = static_cast<qsizetype>(i) + 1;
    }
    if (insertAt < 0) {
        if (!lines.empty() && lines.back().Eol.isEmpty()) lines.back().Eol = eol;
        if (!lines.empty() && !LineText(lines.back().Raw).isEmpty())
            lines.push_back(ParseLine(QByteArray(), eol));
        lines.push_back(ParseLine((u'[' + section + u']').toUtf8(), eol));
        insertAt = static_cast<qsizetype>(lines.size());
    } else if (lines[insertAt - 1].Eol.isEmpty()) {
        lines[insertAt - 1].Eol = eol;
    }
    lines.insert(lines.begin() + insertAt, ParseLine(EntryBytes(key, value), eol));
    return true;
}

bool TIniFile::ApplyErase(Content& content, const QString& section) {
    const size_t before = content.Lines.size();
    std::vector<Line> kept;
    bool inside = false;
    for (Line& line : content.Lines) {
        if (line.Kind == LineKind::Header) inside = InSection(line, section);
        if (!inside) kept.push_back(std::move(line));
    }
    content.Lines = std::move(kept);
    return content.Lines.size() != before;
}

bool TIniFile::ApplyDelete(Content& content, const QString& section, const QString& key) {
    const size_t before = content.Lines.size();
    std::vector<Line> kept;
    bool inside = false;
    for (Line& line : content.Lines) {
        if (line.Kind == LineKind::Header) inside = InSection(line, section);
        if (!(inside && line.Kind == LineKind::Entry && SameName(line.Name, key)))
            kept.push_back(std::move(line));
    }
    content.Lines = std::move(kept);
    return content.Lines.size() != before;
}

template <typename Change> void TIniFile::Modify(Change change) {
    // Read again so that what another object or the user wrote since this one was made is kept.
    Content fresh = Load(Path);
    if (!fresh.LoadError.isEmpty())
        throw EIniFileError(QStringLiteral("The settings file %1 cannot be read, so it is not changed: %2")
                                .arg(Path, fresh.LoadError));
    Content changed = fresh;
    if (!change(changed)) {
        Cache = std::move(fresh);
        return;
    }
    try {
        Save(changed);
    } catch (...) {
        Cache = std::move(fresh);
        throw;
    }
    Cache = std::move(changed);
}

void TIniFile::Save(const Content& content) const {
    QByteArray data;
    if (content.Utf8Bom) data += Utf8Bom;
    for (const Line& line : content.Lines)
        data += line.Raw + line.Eol;

    // The new text goes to a temporary file beside the old one and replaces it by a rename, so a failure
    // at any point leaves the user's file whole.
    QSaveFile file(Path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        throw EIniFileError(
            QStringLiteral("The settings file %1 cannot be written: %2").arg(Path, file.errorString()));
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QString s = section.trimmed();
    const QString k = key.trimmed();
    CheckSectionName(s);
    CheckKeyName(k);
    CheckValue(value);
    Modify([&](Content& c) { return ApplyWrite(c, s, k, value); });
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int32_t value) {
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::EraseSection(const QString& section) {
    const QString s = section.trimmed();
    Modify([&](Content& c) { return ApplyErase(c, s); });
}

void TIniFile::DeleteKey(const QString& section, const QString& key) {
    const QString s = section.trimmed();
    const QString k = key.trimmed();
    Modify([&](Content& c) { return ApplyDelete(c, s, k); });
}
