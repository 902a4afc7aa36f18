#include "MessageDlgWithCheck.h"

int MessageDlgWithCheck(const QString& message, TMsgDlgType type, TMsgDlgButtons buttons, bool& checked,
                        const QString& checkCaption, const QString& caption, QWidget* parent) {
    TMessageRequest request;
    request.Text = message;
    request.Caption = caption;
    request.Type = type;
    request.Buttons = buttons;
    request.Parent = parent;
    request.ApplicationIcon = true;
    request.CheckBoxCaption = checkCaption;
    request.Checked = checked;
    const int result = ShowMessageRequest(request);
    if (!checkCaption.isEmpty()) checked = request.Checked;
    return result;
}
