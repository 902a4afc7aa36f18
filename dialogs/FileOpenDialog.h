#pragma once

#include <QString>
#include <functional>

class QWidget;

// A file-open dialog kept between runs, as a form owns one: title, filter, default extension and
// initial folder, the chosen file's full path afterwards. The file must exist. With Preview the
// dialog shows the highlighted file as a picture (the picture dialogs).
class TFileOpenDialog {
public:
    QString Title;
    // Qt's filter form: "Cursor files (*.cur *.ani)", several joined by ";;".
    QString Filter;
    // Appended, with a dot, to a name typed without extension.
    QString DefaultExt;
    // Where the dialog opens; a run does not change it.
    QString InitialDir;
    QString FileName;
    bool Preview = false;

    // True when a file was chosen; FileName then holds its full path.
    bool Execute(QWidget* parent);

    // Runs the dialog in place of the real one, for tests: sets FileName, returns the answer.
    std::function<bool(TFileOpenDialog&)> Runner;

    // The filter of every registered picture format: all of them first, then one entry per extension
    // under its format's description ("Cursor file (*.cur)").
    static QString PictureFilter();
};
