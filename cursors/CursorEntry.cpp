#include "CursorEntry.h"

#include "AniCur.h"
#include "AniFile.h"

TCursorEntry::TCursorEntry(TCursorFrame frame) : TCursorEntry({std::move(frame)}, {0}, {0}) {}

TCursorEntry::TCursorEntry(std::vector<TCursorFrame> frames, std::vector<int> stepFrames,
                           std::vector<int> stepIntervals)
    : Frames(std::move(frames)), StepFrames(std::move(stepFrames)), StepIntervals(std::move(stepIntervals)) {
    Cursors.reserve(Frames.size());
    for (const TCursorFrame& f : Frames)
        Cursors.push_back(f.ToCursor());
}

std::unique_ptr<TCursorEntry> TCursorEntry::FromAni(const TAniFile& ani) {
    std::vector<int> intervals(ani.StepCount);
    for (int i = 0; i < ani.StepCount; ++i)
        intervals[i] = ani.IntervalMs(i);
    return std::make_unique<TCursorEntry>(ani.Icons, std::vector<int>(ani.Seq.begin(), ani.Seq.end()),
                                          std::move(intervals));
}

std::unique_ptr<TCursorEntry> TCursorEntry::FromFile(const QString& fileName) {
    QByteArray data;
    try {
        data = ReadCursorFileBytes(fileName);
    } catch (const EStreamError&) {
        return nullptr;
    }
    if (IsRiffData(data)) {
        try {
            return FromAni(ParseAniData(data));
        } catch (const EInvalidAni&) {
            return nullptr;
        }
    }
    std::optional<TCursorFrame> frame = DecodeCursorData(data);
    if (!frame) return nullptr;
    return std::make_unique<TCursorEntry>(std::move(*frame));
}
