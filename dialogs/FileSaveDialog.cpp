#include "FileSaveDialog.h"

#include <QFileDialog>
#include <QFileInfo>

bool TFileSaveDialog::Execute(QWidget* parent) {
    if (Runner) return Runner(*this);
    QFileDialog dialog(parent, Title, QString(), Filter);
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    // Our own dialog: the same on every desktop, so what the user sees is what tests drive.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(DefaultExt);
    dialog.setSizeGripEnabled(true);
    if (!FileName.isEmpty()) dialog.selectFile(FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    FileName = QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
    return true;
}
