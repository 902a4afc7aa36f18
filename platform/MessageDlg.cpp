#include "MessageDlg.h"

#include "Exceptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <mutex>
#include <optional>

namespace {

TMessageHandler& CurrentHandler() {
    static TMessageHandler handler;
    return handler;
}

struct TButtonInfo {
    TMsgDlgButtons Button;
    QMessageBox::StandardButton Standard;
    TModalResult Result;
};
// In the order the class library lays the buttons out.
constexpr TButtonInfo ButtonOrder[] = {
    {mbYes, QMessageBox::Yes, mrYes},
    {mbNo, QMessageBox::No, mrNo},
    {mbOK, QMessageBox::Ok, mrOk},
    {mbCancel, QMessageBox::Cancel, mrCancel},
};

QMessageBox::Icon IconOf(TMsgDlgType type) {
    switch (type) {
    case mtWarning:
        return QMessageBox::Warning;
    case mtError:
        return QMessageBox::Critical;
    case mtInformation:
        return QMessageBox::Information;
    case mtConfirmation:
        return QMessageBox::Question;
    case mtCustom:
        break;
    }
    return QMessageBox::NoIcon;
}

// The program's title; a box may be put together on any thread.
struct TTitle {
    std::mutex M;
    std::optional<QString> Text;
};
TTitle& Title() {
    static TTitle title;
    return title;
}

// A box opened without a window of its own still belongs in front of the window the user works in
// (the full-screen drawing window above all); an open menu is no owner, as it closes on its own.
QWidget* OwnerWindow(QWidget* parent) {
    if (parent) return parent->window();
    QWidget* active = QApplication::activeWindow();
    if (active && active->isVisible() && !qobject_cast<QMenu*>(active)) return active;
    return nullptr;
}

int RunMessageBox(TMessageRequest& request) {
    QMessageBox box(OwnerWindow(request.Parent));
    // Plain text: a file name holding "<" must not turn the message into markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(request.Caption);
    box.setText(MessageDisplayText(request.Text));
    if (request.ApplicationIcon) {
        constexpr int iconSize = 32;
        box.setIconPixmap(QApplication::windowIcon().pixmap(iconSize, iconSize));
    } else {
        box.setIcon(IconOf(request.Type));
    }
    TMsgDlgButtons buttons = request.Buttons ? request.Buttons : mbOK;
    for (const TButtonInfo& info : ButtonOrder)
        if (buttons & info.Button) box.addButton(info.Standard);
    // The class library's choice: OK, else Yes, is the default; Cancel, else No, else OK answers Esc.
    if (buttons & mbOK)
        box.setDefaultButton(QMessageBox::Ok);
    else if (buttons & mbYes)
        box.setDefaultButton(QMessageBox::Yes);
    if (buttons & mbCancel)
        box.setEscapeButton(QMessageBox::Cancel);
    else if (buttons & mbNo)
        box.setEscapeButton(QMessageBox::No);
    else if (buttons & mbOK)
        box.setEscapeButton(QMessageBox::Ok);
    QCheckBox* check = nullptr;
    if (!request.CheckBoxCaption.isEmpty()) {
        check = new QCheckBox(request.CheckBoxCaption, &box);
        check->setChecked(request.Checked);
        box.setCheckBox(check);
    }
    box.exec();
    if (check) request.Checked = check->isChecked();
    const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
    for (const TButtonInfo& info : ButtonOrder)
        if (info.Standard == pressed) return info.Result;
    return mrNone;
}

int Dispatch(TMessageRequest& request) {
    const TMessageHandler& handler = CurrentHandler();
    return handler ? handler(request) : RunMessageBox(request);
}

} // namespace

TMessageHandler SetMessageHandler(TMessageHandler handler) {
    TMessageHandler previous = std::move(CurrentHandler());
    CurrentHandler() = std::move(handler);
    return previous;
}

QString MessageDisplayText(const QString& text) {
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QChar('\r'), QChar('\n'));
    return result;
}

QString MessageCaption(TMsgDlgType type) {
    switch (type) {
    case mtWarning:
        return QStringLiteral("Warning");
    case mtError:
        return QStringLiteral("Error");
    case mtInformation:
        return QStringLiteral("Information");
    case mtConfirmation:
        return QStringLiteral("Confirm");
    case mtCustom:
        break;
    }
    return ApplicationTitle();
}

int ShowMessageRequest(TMessageRequest& request) noexcept {
    try {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return mrNone;
        if (QThread::currentThread() != app->thread()) {
            // Widgets live on the GUI thread only, and waiting for the answer there could deadlock
            // with a GUI thread that waits for this one: hand the box over and go on.
            TMessageRequest copy = request;
            copy.Parent = nullptr; // the window may be gone by the time the box shows
            QMetaObject::invokeMethod(
                app,
                [copy]() mutable {
                    try {
                        Dispatch(copy);
                    } catch (...) {
                    }
                },
                Qt::QueuedConnection);
            return mrNone;
        }
        return Dispatch(request);
    } catch (...) {
        return mrNone;
    }
}

int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, QWidget* parent) noexcept {
    try {
        TMessageRequest request;
        request.Text = text;
        request.Caption = MessageCaption(type);
        request.Type = type;
        request.Buttons = buttons;
        request.Parent = parent;
        return ShowMessageRequest(request);
    } catch (...) {
        return mrNone;
    }
}

int ApplicationMessageBox(const QString& text, const QString& caption, TMsgDlgType type,
                          TMsgDlgButtons buttons, QWidget* parent) noexcept {
    try {
        TMessageRequest request;
        request.Text = text;
        request.Caption = caption;
        request.Type = type;
        request.Buttons = buttons;
        request.Parent = parent;
        return ShowMessageRequest(request);
    } catch (...) {
        return mrNone;
    }
}

QString ExceptionMessage(std::exception_ptr error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const Exception& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
    return QString();
}

QString ApplicationTitle() {
    TTitle& title = Title();
    std::lock_guard lock(title.M);
    return title.Text ? *title.Text : QCoreApplication::applicationName();
}

void SetApplicationTitle(const QString& text) {
    TTitle& title = Title();
    std::lock_guard lock(title.M);
    title.Text = text;
}

void ShowException(std::exception_ptr error, QWidget* parent) noexcept {
    try {
        ApplicationMessageBox(ExceptionMessage(error), ApplicationTitle(), mtError, mbOK, parent);
    } catch (...) {
    }
}
