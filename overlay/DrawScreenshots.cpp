// Saving and copying the annotated screen, whole or a dragged part of it.
#include "Draw.h"

#include "platform/FileDialogIcons.h"
#include "platform/ImageSave.h"
#include "platform/MessageDlg.h"

#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>

namespace {

const QString SaveTitle = QStringLiteral("Save current image");
// Description and pattern pairs, separated by "|", the first entry chosen when the dialog opens.
const QString SaveFilter = QStringLiteral(
    "JPeg files (*.jpg)|*.jpg|Bitmap files (*.bmp)|*.bmp|Png files (*.png)|*.png|Gif files (*.gif)|*.gif");
// Added to a name typed without an extension.
const QString SaveSuffix = QStringLiteral("jpg");

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

bool ConfirmOverwrite(const QString& file, QWidget* parent) {
    if (!QFileInfo::exists(file)) return true;
    return MessageDlg(QStringLiteral("File already exists. Overwrite?"), mtConfirmation, mbYesNo, parent) ==
           mrYes;
}

} // namespace

QImage TDrawFrm::AnnotatedScreenImage() {
    // Painted afresh from the snapshot: no rubber band, hidden layer or text box can get into it.
    QImage image = Background.copy();
    Canvas canvas(image);
    canvas.Pen = WindowCanvas->Pen;
    canvas.Brush = WindowCanvas->Brush;
    canvas.Font = WindowCanvas->Font;
    canvas.BkMode = WindowCanvas->BkMode;
    PaintSteps(canvas, true);
    return image;
}

QString TDrawFrm::AskSaveFile() {
    if (Seams.RunSaveDialog) return Seams.RunSaveDialog(SaveTitle, SaveFilter, SaveSuffix, SavePath);
    QFileDialog dialog(this, SaveTitle, SavePath);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The window asks about an existing file itself.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    UseNameOnlyIcons(dialog);
    dialog.setNameFilters(NameFilters(SaveFilter));
    dialog.selectNameFilter(NameFilters(SaveFilter).value(0));
    dialog.setDefaultSuffix(SaveSuffix);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

void TDrawFrm::Save1Click() {
    EndTextEntry();
    const QString file = AskSaveFile();
    if (file.isEmpty() || !ConfirmOverwrite(file, this)) return;
    SaveImage(AnnotatedScreenImage(), file);
    Modified = false;
}

void TDrawFrm::Copyscreenshot1Click() {
    EndTextEntry();
    QGuiApplication::clipboard()->setImage(AnnotatedScreenImage());
}

void TDrawFrm::Savepartial1Click() {
    EndTextEntry();
    if (MessageDlg(QStringLiteral("Click OK to close this box then click and drag the left mouse button to "
                                  "select the area to save.\rClick Cancel to cancel save"),
                   mtInformation, mbOKCancel, this) == mrOk)
        SavePartial = true;
}

void TDrawFrm::Copypartial1Click() {
    EndTextEntry();
    if (MessageDlg(QStringLiteral("Click OK to close this box then click and drag the left mouse button to "
                                  "select the area to copy.\rClick Cancel to cancel copy"),
                   mtInformation, mbOKCancel, this) == mrOk)
        CopyPartial = true;
}

void TDrawFrm::PartialImage(const QImage& bitmap, bool save) {
    if (save) {
        const QString file = AskSaveFile();
        if (file.isEmpty() || !ConfirmOverwrite(file, this)) return;
        SaveImage(bitmap, file);
        return;
    }
    QGuiApplication::clipboard()->setImage(bitmap);
}
