#pragma once

#include <QString>
#include <functional>

class QWidget;

// A file-save dialog kept between runs, as a form owns one: title, filter, default extension and the
// chosen file's full path afterwards. It does not ask about an existing file: the command that uses
// it asks its own question.
class TFileSaveDialog {
public:
    QString Title;
    // Qt's filter form: "Avi files (*.avi)", several joined by ";;".
    QString Filter;
    // Appended, with a dot, to a name typed without extension.
    QString DefaultExt;
    // The name proposed when the dialog opens, and the chosen one after it.
    QString FileName;

    // True when a name was chosen; FileName then holds its full path.
    bool Execute(QWidget* parent);

    // Runs the dialog in place of the real one, for tests: sets FileName, returns the answer.
    std::function<bool(TFileSaveDialog&)> Runner;
};
