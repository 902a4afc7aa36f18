#include "CursorTable.h"

#include "BuiltInCursors.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

TCursorTable::TCursorTable(QObject* parent) : QObject(parent) {}

TCursorTable::~TCursorTable() = default;

TCursorTable& TCursorTable::Screen() {
    // Owned by the application object, so its timers go before the event loop's machinery does.
    static QPointer<TCursorTable> table;
    if (!table) table = new TCursorTable(QCoreApplication::instance());
    return *table;
}

void TCursorTable::Set(int index, std::unique_ptr<TCursorEntry> entry) {
    auto it = Entries.find(index);
    if (!entry) {
        if (it == Entries.end()) return;
        delete it->second.Timer;
        Entries.erase(it);
    } else {
        TSlot& slot = Entries[index];
        if (slot.Timer) slot.Timer->stop();
        slot.Cursor = std::move(entry); // the cursor held before is released here
        slot.Step = 0;
    }
    ApplyToViewers(index);
    UpdateAnimation(index);
}

bool TCursorTable::LoadFromFile(int index, const QString& fileName) {
    Set(index, TCursorEntry::FromFile(fileName));
    return Holds(index);
}

bool TCursorTable::LoadFromResource(int index, const QString& resourceName) {
    Set(index, LoadCursorResource(resourceName));
    return Holds(index);
}

const TCursorEntry* TCursorTable::Entry(int index) const {
    const auto it = Entries.find(index);
    return it == Entries.end() ? nullptr : it->second.Cursor.get();
}

QCursor TCursorTable::Cursor(int index) const {
    const auto it = Entries.find(index);
    if (it != Entries.end()) return it->second.Cursor->Cursor(it->second.Step);
    return QCursor(index == crHandPoint ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

QImage TCursorTable::Preview(int index) const {
    const TCursorEntry* entry = Entry(index);
    return entry ? entry->Preview() : DefaultArrowFrame().Preview();
}

void TCursorTable::Show(QWidget* widget, int index) {
    if (!widget) return;
    const auto old = Viewers.constFind(widget);
    const bool known = old != Viewers.constEnd();
    const int oldIndex = known ? *old : crDefault;
    if (!known)
        connect(widget, &QObject::destroyed, this, [this, widget] {
            const int shown = Viewers.value(widget, crDefault);
            Viewers.remove(widget);
            UpdateAnimation(shown);
        });
    Viewers.insert(widget, index);
    widget->setCursor(Cursor(index));
    if (known && oldIndex != index) UpdateAnimation(oldIndex);
    UpdateAnimation(index);
}

void TCursorTable::Forget(QWidget* widget) {
    const auto it = Viewers.find(widget);
    if (it == Viewers.end()) return;
    const int index = *it;
    Viewers.erase(it);
    disconnect(widget, &QObject::destroyed, this, nullptr);
    UpdateAnimation(index);
}

bool TCursorTable::HasViewers(int index) const {
    for (auto it = Viewers.constBegin(); it != Viewers.constEnd(); ++it)
        if (*it == index) return true;
    return false;
}

void TCursorTable::ApplyToViewers(int index) {
    const QCursor cursor = Cursor(index);
    for (auto it = Viewers.constBegin(); it != Viewers.constEnd(); ++it)
        if (*it == index) it.key()->setCursor(cursor);
}

void TCursorTable::UpdateAnimation(int index) {
    const auto it = Entries.find(index);
    if (it == Entries.end()) return;
    TSlot& slot = it->second;
    if (!slot.Cursor->Animated() || !HasViewers(index)) {
        if (slot.Timer) slot.Timer->stop();
        return;
    }
    if (!slot.Timer) {
        slot.Timer = new QTimer(this);
        slot.Timer->setSingleShot(true); // each step sets its own interval
        connect(slot.Timer, &QTimer::timeout, this, [this, index] { Tick(index); });
    }
    if (slot.Timer->isActive()) return;
    const int interval = slot.Cursor->StepInterval(slot.Step);
    slot.Timer->setInterval(interval);
    // An interval of 0 rests the animation on this step; a Qt timer would fire without pause.
    if (interval > 0) slot.Timer->start();
}

void TCursorTable::Tick(int index) {
    const auto it = Entries.find(index);
    if (it == Entries.end() || !it->second.Cursor->Animated()) return;
    TSlot& slot = it->second;
    slot.Step = slot.Cursor->NextStep(slot.Step);
    if (slot.Timer) slot.Timer->stop();
    ApplyToViewers(index);
    UpdateAnimation(index);
}

int TCursorTable::CurrentStep(int index) const {
    const auto it = Entries.find(index);
    return it == Entries.end() ? 0 : it->second.Step;
}

bool TCursorTable::Animating(int index) const {
    const auto it = Entries.find(index);
    return it != Entries.end() && it->second.Timer && it->second.Timer->isActive();
}

int TCursorTable::AnimationInterval(int index) const {
    const auto it = Entries.find(index);
    return it == Entries.end() || !it->second.Timer ? 0 : it->second.Timer->interval();
}
