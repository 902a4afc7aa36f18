#include "Help.h"

#include "MessageDlg.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>

namespace {

THelpOpener& CurrentOpener() {
    static THelpOpener opener;
    return opener;
}

} // namespace

QString ApplicationHelpFile() {
    return QCoreApplication::applicationFilePath() + QStringLiteral(".html");
}

bool ShowHelp(const QString& helpFile, int context, QWidget* parent) {
    const QFileInfo file(helpFile);
    if (helpFile.isEmpty() || !file.isFile()) {
        MessageDlg(QStringLiteral("Cannot find the help file %1.").arg(helpFile), mtError, mbOK, parent);
        return false;
    }
    QUrl url = QUrl::fromLocalFile(file.absoluteFilePath());
    if (context != 0) url.setFragment(QString::number(context));
    const THelpOpener& opener = CurrentOpener();
    const bool opened = opener ? opener(url) : QDesktopServices::openUrl(url);
    if (!opened)
        MessageDlg(QStringLiteral("Cannot open the help file %1.").arg(helpFile), mtError, mbOK, parent);
    return opened;
}

THelpOpener SetHelpOpener(THelpOpener opener) {
    THelpOpener previous = std::move(CurrentOpener());
    CurrentOpener() = std::move(opener);
    return previous;
}
