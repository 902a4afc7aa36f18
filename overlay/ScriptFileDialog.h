#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The file dialogs of annotation scripts, with the system's own title ("Open", "Save As").

// Qt's name filters from the class library's "description|pattern|description|pattern" form. The
// dialog shows the descriptions alone, as the class library's dialog does. Names are matched as that
// dialog matched them on its file system, where letter case never counted: "*.tva" also lists
// "x.TVA", and "*.*", every file there, lists names without a dot too.
QStringList ScriptNameFilters(const QString& filter);

// Runs the open dialog (an existing file must be chosen) or the save dialog (which asks nothing about
// an existing file: the caller does), starting in `folder` with `file` preset, the first filter
// chosen, and `suffix` added to a name typed without one. Returns the chosen file, or empty when the
// dialog is cancelled.
QString RunScriptFileDialog(QWidget* parent, bool save, const QString& filter, const QString& suffix,
                            const QString& folder, const QString& file);
