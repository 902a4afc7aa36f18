#pragma once

#include "platform/ShortCut.h"

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <map>

// Global hot keys: key grabs on the X root window through Qt's own connection, delivered as a signal
// on the GUI thread.
class THotKeyRegistrar : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit THotKeyRegistrar(QObject* parent = nullptr);
    ~THotKeyRegistrar() override;

    // False when the key cannot be grabbed: another client holds it, the key has no key code on this
    // keyboard, or there is no X server. X itself does not object when two of our own ids take the same
    // key, so that is refused here too. Registering an id again replaces its key.
    bool Register(int id, TShortCut key);
    void Unregister(int id);
    void UnregisterAll();
    bool IsRegistered(int id) const { return Grabs.count(id) != 0; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void HotKeyPressed(int id);

private:
    struct TGrab {
        unsigned KeyCode;
        unsigned Modifiers; // X modifier mask, without the lock modifiers
    };
    bool Grab(const TGrab& grab);
    void Ungrab(const TGrab& grab);

    std::map<int, TGrab> Grabs;
    unsigned NumLockMask = 0;
};
