#include "GuardedApplication.h"

#include "MessageDlg.h"

bool TGuardedApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    RunGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
