#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <span>

// Everything the save road needs from the editor, without its window: the edit list's frame map, the
// open file's frames and rate, and how a position's annotations are drawn.
struct TSaveRequest {
    QString Target;
    std::span<const int> FrameMap; // position -> frame of the open file
    // The frame of the open file, or none when it cannot be decoded. The picture may be drawn on.
    std::function<QImage*(int frame)> ReadFrame;
    std::uint32_t RateNumerator = 0, RateDenominator = 1; // the open file's own rate
    // Draws the annotations of a position into its frame. May raise the class library's Exception.
    std::function<void(QImage& frame, int position)> DrawSteps;
    // Why the frames read may not be those of the file the edits were made on, or why the target may
    // not be replaced: empty when nothing stands in the way. Asked before the first frame is read and
    // again after the last.
    std::function<QString()> SourceChange;
    // Trunc(position / count x 100) after each position; the window lets painting run there.
    std::function<void(int percent)> Progress;
};

enum class TSaveEnd {
    Saved,      // the target holds the new file
    Refused,    // nothing replaced, nothing of the attempt left
    MoveFailed, // nothing replaced; TempFile still holds the whole new file
};

struct TSaveOutcome {
    TSaveEnd End = TSaveEnd::Refused;
    QString Message;  // what the user is told, empty when Saved
    QString TempFile; // the file that keeps the work after a failed move
};

// Writes every position of the frame map, with its annotations, into a new temporary file, then
// puts that file in place of the target. The target is replaced only by a complete file that holds
// every position: a frame that cannot be read, a source that changed, a write that fails, or drawing
// that fails ends the save with the target as it was and the temporary file removed. The open file
// may stay open for reading throughout: the target's old data stay readable through it until it is
// closed.
TSaveOutcome SaveEditList(const TSaveRequest& request);
