#include "FileOpenDialog.h"

#include "platform/FileDialogIcons.h"
#include "platform/Picture.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>

namespace {

constexpr int PreviewSide = 128;

// Shows the highlighted file in the label, shrunk to fit; nothing for what is no picture.
void ShowPreview(QLabel* label, const QString& path) {
    label->clear();
    // A picture has bytes: an empty file, and every file of /proc and /sys, which report no size and
    // may never answer a read, is not read on the GUI thread.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() == 0) return;
    try {
        TPicture picture;
        picture.LoadFromFile(path);
        QImage image = picture.Graphic()->ToImage();
        if (image.width() > PreviewSide || image.height() > PreviewSide)
            image = image.scaled(PreviewSide, PreviewSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        label->setPixmap(QPixmap::fromImage(image));
    } catch (const std::exception&) {
        // Not a picture this program reads: the preview stays empty.
    }
}

} // namespace

bool TFileOpenDialog::Execute(QWidget* parent) {
    if (Runner) return Runner(*this);
    QFileDialog dialog(parent, Title, InitialDir, Filter);
    // Our own dialog: the same on every desktop, and it can carry the preview.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    UseNameOnlyIcons(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(DefaultExt);
    dialog.setSizeGripEnabled(true);
    if (Preview) {
        auto* label = new QLabel(&dialog);
        label->setObjectName("PreviewImage");
        label->setFixedSize(PreviewSide, PreviewSide);
        label->setAlignment(Qt::AlignCenter);
        label->setFrameShape(QFrame::StyledPanel);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(label, 1, grid->columnCount(), grid->rowCount() - 1, 1);
        QObject::connect(&dialog, &QFileDialog::currentChanged, label,
                         [label](const QString& path) { ShowPreview(label, path); });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    FileName = QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
    return true;
}

QString TFileOpenDialog::PictureFilter() {
    const QStringList extensions = TPicture::Extensions();
    QStringList patterns;
    for (const QString& ext : extensions)
        patterns << "*." + ext;
    QStringList filters{"All (" + patterns.join(' ') + ")"};
    for (const QString& ext : extensions)
        filters << TPicture::Description(ext) + " (*." + ext + ")";
    return filters.join(";;");
}
