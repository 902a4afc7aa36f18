#include "Help.h"

#include "KnownFolders.h"
#include "MessageDlg.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace {

THelpOpener& Opener() {
    static THelpOpener opener;
    return opener;
}

} // namespace

QUrl HelpUrl(const QString& manualPath, int context) {
    QUrl url = QUrl::fromLocalFile(manualPath);
    if (context != 0) url.setFragment(QString::number(context));
    return url;
}

THelpOpener SetHelpOpener(THelpOpener opener) {
    THelpOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

bool ShowHelp(int context, const QString& manualName) {
    const QString path = ProgramFolder() + manualName;
    if (!QFileInfo(path).isFile()) {
        MessageDlg("The help file " + path + " was not found.", mtError, mbOK);
        return false;
    }
    const QUrl url = HelpUrl(path, context);
    const bool opened = Opener() ? Opener()(url) : QDesktopServices::openUrl(url);
    if (!opened) MessageDlg("The help file " + path + " could not be opened.", mtError, mbOK);
    return opened;
}
