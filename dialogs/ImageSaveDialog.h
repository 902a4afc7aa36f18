#pragma once

#include <QString>

class QWidget;

// The save dialog of both programs' pictures (screenshots, frames, dragged parts): its title, its
// filter with JPEG first, and the extension added to a name typed without one.
namespace ImageSaveDialog {

extern const QString Title;
// Description and pattern pairs, separated by "|", the first entry chosen when the dialog opens.
extern const QString Filter;
extern const QString Suffix;

// Runs the dialog in the folder; the chosen file, or empty when cancelled. The dialog asks nothing
// about an existing file: the caller does, where it should.
QString Run(QWidget* parent, const QString& folder);
// "File already exists. Overwrite?" for an existing file: true to write.
bool ConfirmOverwrite(const QString& file, QWidget* parent);

} // namespace ImageSaveDialog
