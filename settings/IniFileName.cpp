#include "IniFileName.h"

#include "platform/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

QString IniFileName;

namespace {

const QString CompanyFolder = QStringLiteral("Quorvex/");
const QString IniExtension = QStringLiteral(".ini");
// The one extension a program name may carry from the platform the programs were first made for.
const QString ExecutableExtension = QStringLiteral(".exe");
// Settings folders are private to their user, as the desktop's base-directory rules ask.
constexpr mode_t FolderMode = 0700;

QString AbsoluteOrEmpty(const QString& path) {
    return !path.isEmpty() && QDir::isAbsolutePath(path) ? path : QString();
}

QString HomeFolder() {
    const QString home = AbsoluteOrEmpty(qEnvironmentVariable("HOME"));
    if (!home.isEmpty()) return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_dir)
        return AbsoluteOrEmpty(QFile::decodeName(result->pw_dir));
    return QString();
}

QString ConfigFolder(const QString& executablePath) {
    const QString xdg = AbsoluteOrEmpty(qEnvironmentVariable("XDG_CONFIG_HOME"));
    if (!xdg.isEmpty()) return xdg;
    const QString home = HomeFolder();
    if (!home.isEmpty()) return home + QStringLiteral("/.config");
    return QFileInfo(executablePath).absolutePath();
}

QString WithTrailingDelimiter(QString folder) {
    folder = QDir::cleanPath(folder);
    if (!folder.endsWith(u'/')) folder += u'/';
    return folder;
}

// Creates the folder and its missing parents; the result is not needed, a write reports the failure.
void ForceDirectories(const QString& folder) {
    const QString clean = QDir::cleanPath(folder);
    for (qsizetype slash = clean.indexOf(u'/', 1);; slash = clean.indexOf(u'/', slash + 1)) {
        const QString part = slash < 0 ? clean : clean.left(slash);
        if (!QFileInfo(part).isDir() && ::mkdir(QFile::encodeName(part).constData(), FolderMode) != 0 &&
            errno != EEXIST)
            return;
        if (slash < 0) return;
    }
}

QString IniNameOf(const QString& executablePath) {
    QString name = QFileInfo(executablePath).fileName();
    if (name.size() > ExecutableExtension.size() && name.endsWith(ExecutableExtension, Qt::CaseInsensitive))
        name.chop(ExecutableExtension.size());
    return name + IniExtension;
}

} // namespace

QString SettingsFilePath(const QString& executablePath) {
    const QString folder = WithTrailingDelimiter(ConfigFolder(executablePath)) + CompanyFolder;
    ForceDirectories(folder);
    return folder + IniNameOf(executablePath);
}

void InitIniFileName(const QString& executablePath) {
    if (!IniFileName.isEmpty()) return;
    IniFileName = SettingsFilePath(executablePath);
}

void InitIniFileName() {
    QString executable;
    if (QCoreApplication::instance()) executable = QCoreApplication::applicationFilePath();
    // Without an application object the kernel still knows the running executable.
    if (executable.isEmpty()) executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    InitIniFileName(executable);
}

QString SettingsFileProblem() {
    const QString reason = TIniFile(IniFileName).ReadError();
    if (reason.isEmpty()) return {};
    return QStringLiteral("The settings file %1 is not read: %2.\r\nThe program runs with its default "
                          "settings and leaves that file as it is.")
        .arg(IniFileName, reason);
}
