#pragma once

// Desktop entries as a session reads them, for tests of the entries the programs and the install
// write.
#include <QFile>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTextStream>

// The keys of a desktop entry's [Desktop Entry] group, with the string escapes undone. Empty when
// the file is not a desktop entry.
inline QMap<QString, QString> ReadDesktopEntry(const QString& path) {
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return keys;
    QTextStream in(&file);
    bool inGroup = false;
    bool sawGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.trimmed().isEmpty() || line.startsWith('#')) continue;
        if (line.startsWith('[')) {
            if (!sawGroup && line != "[Desktop Entry]") return {};
            inGroup = line == "[Desktop Entry]";
            sawGroup = true;
            continue;
        }
        if (!inGroup) continue;
        const int equals = line.indexOf('=');
        if (equals <= 0) return {};
        QString value;
        const QString raw = line.mid(equals + 1).trimmed();
        for (int i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size()) {
                const QChar next = raw[++i];
                value += next == 's'   ? QChar(' ')
                         : next == 'n' ? QChar('\n')
                         : next == 't' ? QChar('\t')
                                       : next;
            } else {
                value += raw[i];
            }
        }
        keys.insert(line.left(equals).trimmed(), value);
    }
    return keys;
}

// The arguments of an Exec value (its string escapes undone) as a session reads them: blanks separate
// them, a double-quoted argument may hold blanks and escapes ", `, $ and \ with a backslash, and "%%"
// is a literal "%". A field code outside quotes ("%f") stays as it stands; one inside quotes makes the
// line invalid, and gives an empty list.
inline QStringList ExecArguments(const QString& exec) {
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool any = false;
    for (int i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == '\\' && i + 1 < exec.size()) {
                current += exec[++i];
            } else if (c == '%') {
                if (i + 1 >= exec.size() || exec[i + 1] != '%') return {};
                current += exec[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == '"') {
            quoted = true;
            any = true;
        } else if (c == ' ') {
            if (any) arguments << current;
            current.clear();
            any = false;
        } else if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%') {
            current += '%';
            ++i;
            any = true;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) arguments << current;
    return arguments;
}
