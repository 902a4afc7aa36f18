#include "AnnotationText.h"

#include "platform/NameValueList.h"

#include <QStringDecoder>

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five unused codes map to themselves.
const char16_t Cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString DecodeWindows1252(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        text += QChar(b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

QString Decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return DecodeWindows1252(bytes);
}

} // namespace

QStringList SplitAnnotationText(const QString& text) {
    QStringList lines;
    QString line;
    bool pending = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() == 0) break;
        if (c == '\r' || c == '\n') {
            lines << line;
            line.clear();
            pending = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            continue;
        }
        line += c;
        pending = true;
    }
    if (pending) lines << line;
    return lines;
}

QStringList SplitAnnotationText(const QByteArray& bytes) {
    const qsizetype end = bytes.indexOf('\0');
    return SplitAnnotationText(Decode(end < 0 ? bytes : bytes.left(end)));
}

QString JoinAnnotationTextAsString(const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + "\r\n";
    return text;
}

QByteArray JoinAnnotationText(const QStringList& lines) {
    return JoinAnnotationTextAsString(lines).toUtf8();
}

QString TAnnotationSection::Value(const QString& key) const {
    return NameValue(Lines, key);
}

QStringList TAnnotationSection::Values(const QString& key) const {
    return NameValues(Lines, key);
}

void ForEachAnnotationSection(
    const QStringList& lines,
    const std::function<void(const QString& name, const TAnnotationSection&)>& handle) {
    QString name;
    QStringList section;
    for (const QString& line : lines) {
        if (line.isEmpty()) continue;
        if (line.startsWith('[')) {
            if (!section.isEmpty()) handle(name, TAnnotationSection(section));
            section.clear();
            // Only the first and the last character are removed: "[Layers] " keeps its bracket.
            name = line.mid(1, line.size() - 2);
            continue;
        }
        section << line;
    }
    if (!section.isEmpty()) handle(name, TAnnotationSection(section));
}
