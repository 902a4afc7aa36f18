#include "ModalDialog.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

void MakeTransientFor(QWidget* window, QWidget* owner) {
    if (!window || !owner) return;
    QWidget* ownerWindow = owner->window();
    if (ownerWindow == window) return;
    // A hidden owner (Tavelin's options window) has no native window until asked for one; the
    // transient link needs both.
    ownerWindow->winId();
    window->winId();
    if (QWindow* handle = window->windowHandle()) handle->setTransientParent(ownerWindow->windowHandle());
}

int ExecModalOver(QDialog* dialog, QWidget* owner) {
    MakeTransientFor(dialog, owner);
    return dialog->exec();
}

void CenterOnScreen(QWidget* window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!window || !screen) return;
    const QRect area = screen->geometry();
    // Truncating halves, as the class library centres a form.
    window->move(area.x() + (area.width() - window->width()) / 2,
                 area.y() + (area.height() - window->height()) / 2);
}
