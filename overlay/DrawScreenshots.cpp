// Saving and copying the annotated screen, whole or a dragged part of it.
#include "Draw.h"

#include "dialogs/ImageSaveDialog.h"
#include "platform/ImageSave.h"
#include "platform/MessageDlg.h"

#include <QClipboard>
#include <QGuiApplication>

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
    if (Seams.RunSaveDialog)
        return Seams.RunSaveDialog(ImageSaveDialog::Title, ImageSaveDialog::Filter, ImageSaveDialog::Suffix,
                                   SavePath);
    return ImageSaveDialog::Run(this, SavePath);
}

void TDrawFrm::Save1Click() {
    EndTextEntry();
    const QString file = AskSaveFile();
    if (file.isEmpty() || !ImageSaveDialog::ConfirmOverwrite(file, this)) return;
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
        if (file.isEmpty() || !ImageSaveDialog::ConfirmOverwrite(file, this)) return;
        SaveImage(bitmap, file);
        return;
    }
    QGuiApplication::clipboard()->setImage(bitmap);
}
