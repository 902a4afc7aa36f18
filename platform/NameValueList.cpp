#include "NameValueList.h"

namespace {

// The value of line when its name is name, else none.
std::optional<QString> ValueIfNamed(const QString& line, const QString& name, TNameBlanks blanks) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0) return std::nullopt;
    const QString lineName = blanks == TNameBlanks::Ignored ? line.left(eq).trimmed() : line.left(eq);
    if (lineName.compare(name, Qt::CaseInsensitive) != 0) return std::nullopt;
    return line.mid(eq + 1);
}

} // namespace

std::optional<QString> FindNameValue(const QStringList& lines, const QString& name, TNameBlanks blanks) {
    for (const QString& line : lines)
        if (std::optional<QString> value = ValueIfNamed(line, name, blanks)) return value;
    return std::nullopt;
}

QString NameValue(const QStringList& lines, const QString& name) {
    return FindNameValue(lines, name).value_or(QString());
}

QStringList NameValues(const QStringList& lines, const QString& name) {
    QStringList values;
    for (const QString& line : lines)
        if (std::optional<QString> value = ValueIfNamed(line, name, TNameBlanks::Significant))
            values << *value;
    return values;
}
