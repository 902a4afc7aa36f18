#include "FileDialogIcons.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStyle>

namespace {

// By the name's extension only: MatchExtension never opens the file.
QMimeType TypeByName(const QFileInfo& info) {
    return QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
}

} // namespace

QIcon TNameOnlyIconProvider::icon(IconType type) const {
    QStyle* style = QApplication::style();
    if (!style) return {};
    switch (type) {
    case Computer:
        return style->standardIcon(QStyle::SP_ComputerIcon);
    case Desktop:
        return style->standardIcon(QStyle::SP_DesktopIcon);
    case Trashcan:
        return style->standardIcon(QStyle::SP_TrashIcon);
    case Network:
        return style->standardIcon(QStyle::SP_DriveNetIcon);
    case Drive:
        return style->standardIcon(QStyle::SP_DriveHDIcon);
    case Folder:
        return style->standardIcon(QStyle::SP_DirIcon);
    case File:
        break;
    }
    return style->standardIcon(QStyle::SP_FileIcon);
}

QIcon TNameOnlyIconProvider::icon(const QFileInfo& info) const {
    if (info.isDir()) return icon(Folder);
    if (info.isFile()) {
        const QMimeType mime = TypeByName(info);
        if (!mime.isDefault()) {
            const QIcon themed = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
            if (!themed.isNull()) return themed;
        }
    }
    return icon(File);
}

QString TNameOnlyIconProvider::type(const QFileInfo& info) const {
    if (info.isDir()) return QApplication::translate("QAbstractFileIconProvider", "Folder");
    if (!info.isFile()) return QApplication::translate("QAbstractFileIconProvider", "File");
    const QMimeType mime = TypeByName(info);
    return mime.comment().isEmpty() ? mime.name() : mime.comment();
}

void UseNameOnlyIcons(QFileDialog& dialog) {
    // The dialog keeps a pointer to the provider without owning it; one for the whole program outlives
    // every dialog.
    static TNameOnlyIconProvider* const provider = new TNameOnlyIconProvider;
    dialog.setIconProvider(provider);
}
