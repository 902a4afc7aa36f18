#include "Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

namespace {

QString ConfigFolder() {
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return xdg;
    return QDir::homePath() + "/.config";
}

// The desktop entry's quoting of an argument: double quotes, with ", `, $ and \ escaped.
QString Quoted(const QString& path) {
    QString escaped;
    for (QChar c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') escaped += '\\';
        escaped += c;
    }
    // The entry's own escape level doubles every backslash once more.
    escaped.replace("\\", "\\\\");
    // A "%" starts a field code ("%f", "%u", ...) even inside quotes; "%%" is a plain one.
    escaped.replace("%", "%%");
    return '"' + escaped + '"';
}

QString Unquoted(QString value) {
    value.replace("\\\\", "\\");
    value.replace("%%", "%");
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) {
        QString out;
        for (int i = 1; i < value.size() - 1; ++i) {
            if (value[i] == '\\' && i + 1 < value.size() - 1) ++i;
            out += value[i];
        }
        return out;
    }
    return value;
}

} // namespace

QString TAutostart::EntryPath(const QString& name) {
    return ConfigFolder() + "/autostart/" + name + ".desktop";
}

bool TAutostart::IsEnabled(const QString& name) {
    // Only a regular file is read: anything else at that name does not start a program either.
    if (!QFileInfo(EntryPath(name)).isFile()) return false;
    QFile file(EntryPath(name));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    // A session skips an entry marked hidden (a desktop's autostart settings switch entries off that
    // way), so such an entry does not start the program with the session.
    QTextStream in(&file);
    bool inMainGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith('['))
            inMainGroup = line == "[Desktop Entry]";
        else if (inMainGroup && line.section('=', 0, 0).trimmed() == "Hidden" &&
                 line.section('=', 1).trimmed() == "true")
            return false;
    }
    return true;
}

QString TAutostart::Command(const QString& name) {
    QFile file(EntryPath(name));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.startsWith("Exec=")) return Unquoted(line.mid(5).trimmed());
    }
    return {};
}

bool TAutostart::Enable(const QString& name, const QString& executable, const QString& displayName) {
    const QString path = EntryPath(name);
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
    QTextStream out(&file);
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=" << displayName << "\n"
        << "Exec=" << Quoted(executable) << "\n"
        << "Terminal=false\n"
        << "X-GNOME-Autostart-enabled=true\n";
    out.flush();
    return file.commit();
}

bool TAutostart::Disable(const QString& name) {
    const QString path = EntryPath(name);
    return !QFileInfo::exists(path) || QFile::remove(path);
}
