#include "ScriptFileDialog.h"

#include "platform/FileDialogIcons.h"

#include <QFileDialog>

namespace {

// A pattern as Qt's dialog and the desktop's own dialogs match it: both forms of letter case of an
// extension pattern, since not every desktop dialog ignores case.
QStringList NativePatterns(const QString& pattern) {
    if (pattern == QLatin1String("*.*")) return {QStringLiteral("*")};
    QStringList patterns{pattern};
    const QString upper = pattern.toUpper(), lower = pattern.toLower();
    for (const QString& form : {lower, upper})
        if (!patterns.contains(form)) patterns << form;
    return patterns;
}

} // namespace

QStringList ScriptNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QChar('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QChar(';'), Qt::SkipEmptyParts))
            for (const QString& form : NativePatterns(pattern.trimmed()))
                if (!patterns.contains(form)) patterns << form;
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QChar(' ')) + QStringLiteral(")");
    }
    return filters;
}

QString RunScriptFileDialog(QWidget* parent, bool save, const QString& filter, const QString& suffix,
                            const QString& folder, const QString& file) {
    QFileDialog dialog(parent, QString(), folder);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    UseNameOnlyIcons(dialog);
    const QStringList filters = ScriptNameFilters(filter);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(0));
    dialog.setDefaultSuffix(suffix);
    if (!file.isEmpty()) dialog.selectFile(file);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}
