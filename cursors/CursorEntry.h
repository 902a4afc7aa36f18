#pragma once

#include "CursorFrame.h"

#include <QCursor>
#include <QImage>
#include <QString>
#include <memory>
#include <vector>

struct TAniFile;

// One pointer of the cursor table: a static cursor, or an animated one whose steps each show one of
// its pictures for a number of milliseconds. Qt cursors do not animate: whoever shows the entry swaps
// Cursor(step) on a timer.
class TCursorEntry {
public:
    explicit TCursorEntry(TCursorFrame frame);
    // stepFrames[i] indexes frames; stepIntervals[i] is step i's time on screen in milliseconds (0 rests
    // the animation on that step). Both lists are as long, and not empty.
    TCursorEntry(std::vector<TCursorFrame> frames, std::vector<int> stepFrames,
                 std::vector<int> stepIntervals);
    TCursorEntry(const TCursorEntry&) = delete;
    TCursorEntry& operator=(const TCursorEntry&) = delete;

    // The cursor in a cursor or animated-cursor file, told apart by their content as the system does;
    // nothing when the file cannot be read or is no valid cursor.
    static std::unique_ptr<TCursorEntry> FromFile(const QString& fileName);
    static std::unique_ptr<TCursorEntry> FromAni(const TAniFile& ani);

    int StepCount() const { return static_cast<int>(StepFrames.size()); }
    int StepFrame(int step) const { return StepFrames[step]; }
    int StepInterval(int step) const { return StepIntervals[step]; }
    int NextStep(int step) const { return (step + 1) % StepCount(); }
    bool Animated() const { return StepCount() > 1; }

    const TCursorFrame& Frame(int step) const { return Frames[StepFrames[step]]; }
    const QCursor& Cursor(int step) const { return Cursors[StepFrames[step]]; }
    // The 32 x 32 picture of the first step, transparent where the cursor is not.
    QImage Preview() const { return Frame(0).Preview(); }

private:
    std::vector<TCursorFrame> Frames;
    std::vector<QCursor> Cursors; // one per frame
    std::vector<int> StepFrames;
    std::vector<int> StepIntervals;
};
