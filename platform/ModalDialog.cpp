#include "ModalDialog.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <vector>

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

namespace {

// The widget whose native window is `window`, if it is one of ours.
QWidget* WidgetOf(const QWindow* window) {
    if (!window) return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowHandle() == window) return w;
    return nullptr;
}

// Watches every window of the program as it hides. When one that had the keyboard closes and it stands
// in front of a watched owner, the nearest window still open on its way to the owner is activated
// again, as it was before the dialog opened.
class TDialogCloseWatcher : public QObject {
public:
    // One for the application object, made with the first owner.
    static TDialogCloseWatcher& Instance() {
        static QPointer<TDialogCloseWatcher> watcher;
        if (!watcher) watcher = new TDialogCloseWatcher(qApp);
        return *watcher;
    }
    void Watch(QWidget* owner) {
        // Owners that are gone leave an empty place behind.
        Owners.erase(
            std::remove_if(Owners.begin(), Owners.end(), [](const QPointer<QWidget>& o) { return !o; }),
            Owners.end());
        for (const QPointer<QWidget>& o : Owners)
            if (o == owner) return;
        Owners.push_back(owner);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Hide && object->isWidgetType()) {
            auto* closing = static_cast<QWidget*>(object);
            if (closing->isWindow()) Closing(closing);
        }
        return false;
    }

private:
    explicit TDialogCloseWatcher(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }

    bool Watched(const QWidget* w) const {
        for (const QPointer<QWidget>& o : Owners)
            if (o && o == w) return true;
        return false;
    }

    void Closing(QWidget* closing) {
        // Menus and tips never take the window manager's focus, so they leave none to give back.
        const Qt::WindowType type = closing->windowType();
        if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::SplashScreen) return;
        // Qt has let go of the window as active before it hides; the keyboard focus is still its own.
        if (!closing->windowHandle() || QGuiApplication::focusWindow() != closing->windowHandle()) return;
        QWidget* target = nullptr;
        bool owned = false;
        for (QWindow* up = closing->windowHandle()->transientParent(); up && !owned;
             up = up->transientParent()) {
            QWidget* w = WidgetOf(up);
            if (!w) break;
            if (!target && w->isVisible()) target = w;
            owned = Watched(w);
        }
        if (!owned || !target) return;
        QPointer<QWidget> guarded(target);
        // After the dialog is gone: a box that follows it at once (an error after a file dialog)
        // takes the keyboard itself.
        QTimer::singleShot(0, target, [guarded] {
            if (!guarded || !guarded->isVisible()) return;
            const QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal != guarded) return;
            guarded->raise();
            // Qt may still count the window as active, having heard nothing of the window manager's
            // choice yet; activateWindow() would then ask for nothing.
            if (!guarded->isActiveWindow())
                guarded->activateWindow();
            else if (QWindow* handle = guarded->windowHandle())
                handle->requestActivate();
        });
    }

    std::vector<QPointer<QWidget>> Owners;
};

} // namespace

void KeepActiveAfterDialogs(QWidget* owner) {
    if (owner) TDialogCloseWatcher::Instance().Watch(owner->window());
}

void CenterOnScreen(QWidget* window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!window || !screen) return;
    const QRect area = screen->geometry();
    // Truncating halves, as the class library centres a form.
    window->move(area.x() + (area.width() - window->width()) / 2,
                 area.y() + (area.height() - window->height()) / 2);
}
