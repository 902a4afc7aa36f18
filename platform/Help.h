#pragma once

#include <QString>
#include <QUrl>
#include <functional>

// The programs' manual: an HTML file in the program's folder, shown in the desktop's browser. A help
// context opens it at the anchor of that number ("#300"); context 0 is the contents. A manual that is
// missing, or that no browser would open, is reported with an error box and false is returned.
inline const QString TavelinManual = QStringLiteral("Tavelin.html");

bool ShowHelp(int context = 0, const QString& manualName = TavelinManual);

// The address ShowHelp opens for a manual file and a context.
QUrl HelpUrl(const QString& manualPath, int context);

// What opens the address (empty: the desktop's browser). Tests put their own in place; the previous
// one is returned.
using THelpOpener = std::function<bool(const QUrl& url)>;
THelpOpener SetHelpOpener(THelpOpener opener);
