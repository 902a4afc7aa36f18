#include "dialogs/ImageSaveDialog.h"

#include "platform/FileDialogIcons.h"
#include "platform/MessageDlg.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace ImageSaveDialog {

const QString Title = QStringLiteral("Save current image");
const QString Filter = QStringLiteral(
    "JPeg files (*.jpg)|*.jpg|Bitmap files (*.bmp)|*.bmp|Png files (*.png)|*.png|Gif files (*.gif)|*.gif");
const QString Suffix = QStringLiteral("jpg");

namespace {

// Qt's name filters from "description|pattern|..." pairs: Qt takes the patterns from the parentheses.
QStringList NameFilters(const QString& filter) {
    const QStringList parts = filter.split(QChar('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString pattern = QString(parts[i + 1]).replace(QChar(';'), QChar(' '));
        filters.append(description.contains(QChar('(')) ? description : description + " (" + pattern + ")");
    }
    return filters;
}

} // namespace

QString Run(QWidget* parent, const QString& folder) {
    QFileDialog dialog(parent, Title, folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    UseNameOnlyIcons(dialog);
    dialog.setNameFilters(NameFilters(Filter));
    dialog.selectNameFilter(NameFilters(Filter).value(0));
    dialog.setDefaultSuffix(Suffix);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

bool ConfirmOverwrite(const QString& file, QWidget* parent) {
    if (!QFileInfo::exists(file)) return true;
    return MessageDlg(QStringLiteral("File already exists. Overwrite?"), mtConfirmation, mbYesNo, parent) ==
           mrYes;
}

} // namespace ImageSaveDialog
