#include "FrameEdits.h"

#include <iterator>

namespace FrameEdits {

namespace {

std::optional<int> ToInt(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

bool DeleteFrame(TEditList& list) {
    if (list.EditFrameCount < 2) return false;
    const int cur = list.CurFrame;
    // The later lists move back whole: no step is copied.
    list.FrameMap.erase(list.FrameMap.begin() + cur);
    list.FrameSteps.erase(list.FrameSteps.begin() + cur);
    list.EditFrameCount -= 1;
    list.MakeCurrent(cur < list.EditFrameCount ? cur : list.EditFrameCount - 1);
    return true;
}

bool CopiesFit(const TEditList& list, long long k) {
    return k >= 1 && k <= TEditList::MaxPositions - list.Count();
}

bool InsertCopies(TEditList& list, int k) {
    if (!list.HasCurrent() || !CopiesFit(list, k)) return false;
    const int cur = list.CurFrame;
    list.FrameMap.insert(list.FrameMap.begin() + cur + 1, k, list.FrameMap[cur]);
    std::vector<TDrawSteps> copies(k);
    for (TDrawSteps& copy : copies)
        copy.AssignSteps(list.FrameSteps[cur]);
    list.FrameSteps.insert(list.FrameSteps.begin() + cur + 1, std::make_move_iterator(copies.begin()),
                           std::make_move_iterator(copies.end()));
    list.EditFrameCount += k;
    return true;
}

std::optional<int> CopiesFromAnswer(const TEditList& list, const QString& answer) {
    bool ok = false;
    // Read wide, so that an answer beyond 32-bit range is refused as too many, not wrapped.
    const long long k = answer.trimmed().toLongLong(&ok);
    if (!ok || !CopiesFit(list, k)) return std::nullopt;
    return static_cast<int>(k);
}

bool RemoveFrames(TEditList& list, int first, int count, int keep) {
    if (count < 1 || first < 0 || count >= list.EditFrameCount || first > list.EditFrameCount - count)
        return false;
    list.FrameMap.erase(list.FrameMap.begin() + first, list.FrameMap.begin() + first + count);
    list.FrameSteps.erase(list.FrameSteps.begin() + first, list.FrameSteps.begin() + first + count);
    list.EditFrameCount -= count;
    // The position and its done steps are set before anything renders them.
    list.MakeCurrent(keep >= 0 && keep < list.EditFrameCount ? keep : list.EditFrameCount - 1);
    return true;
}

TRangeCheck CheckRemoveRange(QString& fromText, QString& toText, int frameLimit) {
    TRangeCheck check;
    const QString outOfRange =
        "Invalid start frame number (must be between 1 and " + QString::number(frameLimit) + ")";
    if (fromText.isEmpty()) fromText = "1";
    const std::optional<int> from = ToInt(fromText);
    if (!from) {
        check.Message = "Invalid value";
        return check;
    }
    if (*from < 1 || *from > frameLimit) {
        check.Message = outOfRange;
        check.Focus = TRangeCheck::From;
        return check;
    }
    if (toText.isEmpty()) toText = "1";
    const std::optional<int> to = ToInt(toText);
    if (!to) {
        check.Message = "Invalid value";
        return check;
    }
    if (*to < 1 || *to > frameLimit) {
        check.Message = outOfRange;
        check.Focus = TRangeCheck::To;
        return check;
    }
    if (*to < *from) {
        check.Message = "End frame is less than start frame";
        check.Focus = TRangeCheck::From;
        return check;
    }
    if (*from == 1 && *to == frameLimit) {
        check.Message = "You cannot remove all frames from the file.\rPlease, leave at least one frame.";
        check.Focus = TRangeCheck::From;
        return check;
    }
    check.First = *from;
    check.Last = *to;
    return check;
}

} // namespace FrameEdits
