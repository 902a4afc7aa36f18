#include "CaptureFileDialog.h"

#include "platform/FileDialogIcons.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>

QString TCaptureFileDialog::WithDefaultExt(const QString& name, const QString& extension) {
    if (name.isEmpty() || extension.isEmpty() || QFileInfo(name).fileName().contains('.')) return name;
    return name + '.' + extension;
}

bool TCaptureFileDialog::Execute(QWidget* owner) {
    const std::optional<QString> chosen = Runner ? Runner(*this) : RunFileDialog(owner);
    if (!chosen || chosen->isEmpty()) return false;
    FileName = WithDefaultExt(*chosen, DefaultExt);
    return true;
}

std::optional<QString> TCaptureFileDialog::RunFileDialog(QWidget* owner) const {
    QFileDialog dialog(owner, Title);
    dialog.setObjectName("SaveDialog1");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(Filter);
    dialog.setDefaultSuffix(DefaultExt);
    // The capture command asks about an existing file itself, once; the same dialog on every desktop
    // keeps what the user sees (and what tests drive) the same.
    dialog.setOptions(QFileDialog::DontConfirmOverwrite | QFileDialog::DontUseNativeDialog);
    UseNameOnlyIcons(dialog);
    if (!FileName.isEmpty()) dialog.selectFile(FileName);
    // The program has no window of its own in front: the dialog must come forward by itself, once
    // it shows (a dialog shown before exec would not be modal).
    QTimer::singleShot(0, &dialog, [&dialog] {
        dialog.raise();
        dialog.activateWindow();
    });
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return files.first();
}
