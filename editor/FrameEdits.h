#pragma once

#include "EditList.h"

#include <QString>
#include <optional>

// The frame edits on the edit list alone: which positions they take out or copy, and which position is
// current afterwards with which steps done. The window adds its page, views and messages.
namespace FrameEdits {

// Takes out the current position; the one after it becomes current at the same index, or the new last
// one when it was the last. False, and nothing changed, with fewer than two positions.
bool DeleteFrame(TEditList& list);

// Whether k more positions fit under the limit: 1 <= k <= MaxPositions - count, written so that no
// k overflows the test.
bool CopiesFit(const TEditList& list, long long k);

// k copies of the current position right after it, each showing its frame and holding clones of all
// its steps, undone ones included; the current position and its done steps stay. Nothing without a
// current position or when the copies do not fit.
bool InsertCopies(TEditList& list, int k);

// The answer to "Enter number of copies" as a count that fits, or none ("Invalid number of copies").
std::optional<int> CopiesFromAnswer(const TEditList& list, const QString& answer);

// Takes out count positions from first on, and makes keep current when it still exists, else the new
// last position, with all of its steps done. Nothing for a range outside the list or one that would
// leave no position.
bool RemoveFrames(TEditList& list, int first, int count, int keep);

// The remove-frames dialog's check of its two fields before OK closes it. An empty field is set to
// "1" first, as the user then sees it.
struct TRangeCheck {
    enum TField { None, From, To };
    QString Message; // empty when the range is accepted
    TField Focus = None;
    int First = 0, Last = 0; // 1-based, when accepted
};
TRangeCheck CheckRemoveRange(QString& fromText, QString& toText, int frameLimit);

} // namespace FrameEdits
