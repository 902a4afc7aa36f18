#pragma once

#include <QString>
#include <exception>
#include <functional>

class QWidget;

// Message dialogs as the programs use them: user errors with the error icon and OK, questions with
// the confirmation icon and Yes/No (or Yes/No/Cancel). Nothing here throws, so a failure report can
// never become a second failure.

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

using TMsgDlgButtons = unsigned;
constexpr TMsgDlgButtons mbYes = 0x1, mbNo = 0x2, mbOK = 0x4, mbCancel = 0x8;
constexpr TMsgDlgButtons mbYesNo = mbYes | mbNo, mbYesNoCancel = mbYes | mbNo | mbCancel,
                         mbOKCancel = mbOK | mbCancel;

// The class library's modal results; code compares them as numbers (mrYes is 6).
enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// One message dialog to show. The default handler shows it with QMessageBox; tests put their own
// handler in place (TMessageHandlerScope) to see the text and give an answer.
struct TMessageRequest {
    QString Text; // as the program gives it: "\r\n" and a lone "\r" each break the line
    QString Caption;
    TMsgDlgType Type = mtError;
    TMsgDlgButtons Buttons = mbOK;
    QWidget* Parent = nullptr;    // the box is transient for this window; none: the active window
    QString CheckBoxCaption;      // a check box under the text when not empty
    bool Checked = false;         // the check box's state, in and out
    bool ApplicationIcon = false; // the application's icon in place of the type's symbol
};
using TMessageHandler = std::function<int(TMessageRequest&)>;

// Installs the handler that shows every message dialog (empty: the default one) and returns the one
// it replaces.
TMessageHandler SetMessageHandler(TMessageHandler handler);

// The text as the dialog shows it: every "\r\n" and every lone "\r" become one line break.
QString MessageDisplayText(const QString& text);
// The class library's caption for a dialog type: "Warning", "Error", "Information", "Confirm", and
// the application's title for mtCustom.
QString MessageCaption(TMsgDlgType type);

// Shows the request modally and returns the button pressed as a TModalResult. Off the GUI thread the
// box is handed to the GUI thread without waiting (mrNone is returned), so no thread can deadlock on it.
int ShowMessageRequest(TMessageRequest& request) noexcept;

// The class library's message dialog: caption from the type.
int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons,
               QWidget* parent = nullptr) noexcept;
// The application's message box: a caption of the program's choosing.
int ApplicationMessageBox(const QString& text, const QString& caption, TMsgDlgType type,
                          TMsgDlgButtons buttons, QWidget* parent = nullptr) noexcept;

// The program's title (the class library's application title): the caption of its error reports and
// of mtCustom boxes. The executable's name until the program sets one; it is the program's own string,
// and changes nothing Qt shows.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

// The application-level error report: the error's own message, error icon and OK, captioned with the
// application's title. Any exception type is accepted.
QString ExceptionMessage(std::exception_ptr error);
void ShowException(std::exception_ptr error, QWidget* parent = nullptr) noexcept;

// Runs a command so that no exception leaves it: an error is reported as the application-level
// handler does, and false is returned.
template <class F> bool RunGuarded(F&& command, QWidget* parent = nullptr) noexcept {
    try {
        command();
        return true;
    } catch (...) {
        ShowException(std::current_exception(), parent);
        return false;
    }
}
