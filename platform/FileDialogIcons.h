#pragma once

#include <QAbstractFileIconProvider>

class QFileDialog;

// Icons and type names for file dialogs decided by a file's name and its kind (folder, file, device,
// pipe) alone. Qt's own provider sniffs a file's first bytes on the GUI thread to tell its type, and
// a file that never answers a read (/proc/kmsg, a FIFO where a picture is expected) then holds the
// whole program for ever.
class TNameOnlyIconProvider : public QAbstractFileIconProvider {
public:
    QIcon icon(IconType type) const override;
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;
};

// Gives the dialog the one name-only provider of the program.
void UseNameOnlyIcons(QFileDialog& dialog);
