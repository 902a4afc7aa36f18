#pragma once

#include "CursorEntry.h"

#include <QCursor>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>
#include <map>
#include <memory>

class QTimer;
class QWidget;

// Numbers of the cursors every table holds without being given them.
constexpr int crDefault = 0;
constexpr int crArrow = -2;
constexpr int crHandPoint = -21;

// The program's table of cursors by number (entries 1 to 5 are Tavelin's layer pointers). It owns its
// cursors: setting an entry releases the one it held, setting none removes it, and a number that
// holds nothing reads as the default arrow (crHandPoint as the hand).
//
// Widgets show an entry through Show(); the table keeps their cursor up to date when the entry
// changes and, for an animated entry, swaps it on a timer while at least one widget shows it.
class TCursorTable : public QObject {
    Q_OBJECT
public:
    explicit TCursorTable(QObject* parent = nullptr);
    ~TCursorTable() override;

    // The program-wide table.
    static TCursorTable& Screen();

    void Set(int index, std::unique_ptr<TCursorEntry> entry);
    void Remove(int index) { Set(index, nullptr); }
    // Entry index := the cursor in the file (".cur" or ".ani", told apart by content); a file that
    // cannot be loaded leaves the entry empty. Returns whether the entry now holds a cursor.
    bool LoadFromFile(int index, const QString& fileName);
    // Entry index := the built-in cursor resource of that name ("CURSOR1" to "CURSOR5"), or empty.
    bool LoadFromResource(int index, const QString& resourceName);

    bool Holds(int index) const { return Entries.count(index) != 0; }
    const TCursorEntry* Entry(int index) const;
    // The cursor entry index shows now (its current step when animated).
    QCursor Cursor(int index) const;
    // 32 x 32, transparent where the cursor is not: the first step, or the default arrow for an empty
    // entry.
    QImage Preview(int index) const;

    // The widget shows entry index from now on, until it is shown another or destroyed.
    void Show(QWidget* widget, int index);
    // The table stops looking after the widget; its cursor stays as it is.
    void Forget(QWidget* widget);
    int ShownIndex(QWidget* widget) const { return Viewers.value(widget, crDefault); }

    // The animation of an entry: its current step, whether its timer runs and with what interval.
    int CurrentStep(int index) const;
    bool Animating(int index) const;
    int AnimationInterval(int index) const;
    // One step of an animated entry: what its timer does when it fires.
    void Tick(int index);

private:
    struct TSlot {
        std::unique_ptr<TCursorEntry> Cursor;
        int Step = 0;
        QTimer* Timer = nullptr; // animated entries only; owned by the table
    };

    void ApplyToViewers(int index);
    void UpdateAnimation(int index);
    bool HasViewers(int index) const;

    std::map<int, TSlot> Entries;
    QHash<QWidget*, int> Viewers;
};
