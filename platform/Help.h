#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

// Help files are HTML manuals beside the executable; a help context is an anchor in the manual.

// The running program's manual: its executable's path with ".html" added.
QString ApplicationHelpFile();

// Opens the manual at the context's anchor ("Tavelin.html#1000") in the desktop's browser; context 0
// opens it at its start, as the contents. A manual that is missing, or that the desktop cannot open,
// is reported in an error box in front of `parent`. False when it was not opened.
bool ShowHelp(const QString& helpFile, int context, QWidget* parent = nullptr);

// What opens the address (QDesktopServices by default); tests put their own in place. Returns the
// opener it replaces.
using THelpOpener = std::function<bool(const QUrl&)>;
THelpOpener SetHelpOpener(THelpOpener opener);

// The help context of a window or control (0: none). A control without one has the context of the
// nearest parent in its window that has one.
void SetHelpContext(QWidget* widget, int context);
int HelpContext(const QWidget* widget);

// While it lives, F1 opens the manual at the help context of the control that has the keyboard, as the
// windows' "Help" commands do; F1 in a window without a context does nothing.
class THelpKey : public QObject {
    Q_OBJECT
public:
    explicit THelpKey(QString helpFile, QObject* parent = nullptr);
    ~THelpKey() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString HelpFile;
};
