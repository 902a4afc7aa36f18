#pragma once

#include "platform/MessageDlg.h"

#include <QString>

class QWidget;

// A message dialog with the application's icon in place of the type's symbol and, when checkCaption
// is not empty, a check box under the text whose state goes in and comes back through `checked`.
// Returns the modal result (mrYes is 6). The dialog stands in front of `parent`.
int MessageDlgWithCheck(const QString& message, TMsgDlgType type, TMsgDlgButtons buttons, bool& checked,
                        const QString& checkCaption, const QString& caption, QWidget* parent);
