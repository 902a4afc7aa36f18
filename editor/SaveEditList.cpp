#include "SaveEditList.h"

#include "avi/SaveAvi.h"
#include "platform/FileMove.h"
#include "platform/TempFileName.h"

#include <QFile>
#include <QStringList>
#include <memory>

namespace {

// A message naming every unreadable position could be thousands of numbers long.
constexpr int NamedPositionsAtMost = 20;

QString UnreadableText(const QList<int>& positions) {
    QStringList names;
    for (int i = 0; i < positions.size() && i < NamedPositionsAtMost; ++i)
        names << QString::number(positions[i] + 1);
    QString list = names.join(", ");
    if (positions.size() > NamedPositionsAtMost)
        list += QString(" and %1 more").arg(positions.size() - NamedPositionsAtMost);
    return (positions.size() == 1 ? QString("Frame %1 cannot be read.")
                                  : QString("Frames %1 cannot be read."))
        .arg(list);
}

QString RefusalMessage(const QList<int>& positions, const QString& change) {
    QString message;
    if (!positions.isEmpty()) message = UnreadableText(positions) + "\r\n";
    if (!change.isEmpty()) message += change + "\r\n";
    return message + "The file was not saved.";
}

// The writer takes 1 to 1000 frames per second. A source beyond that (its frame delay reads 0) is
// saved at the fastest rate the writer takes; one without a rate at the usual 10.
constexpr std::uint32_t FastestRate = 1000, UsualRate = 10;

bool RateUsable(std::uint32_t rate, std::uint32_t scale) {
    return rate > 0 && scale > 0 && std::uint64_t(rate) <= std::uint64_t(scale) * FastestRate;
}

std::uint32_t SavedRate(std::uint32_t rate, std::uint32_t scale) {
    if (RateUsable(rate, scale)) return rate;
    return rate > 0 && scale > 0 ? FastestRate : UsualRate;
}

std::uint32_t SavedScale(std::uint32_t rate, std::uint32_t scale) {
    return RateUsable(rate, scale) ? scale : 1;
}

// The temporary file is ours until it has been moved over the target: every other way out of the
// save removes it.
class TTempFileGuard {
public:
    explicit TTempFileGuard(QString name) : Name(std::move(name)) {}
    ~TTempFileGuard() {
        if (!Name.isEmpty()) QFile::remove(Name);
    }
    void Release() { Name.clear(); }

private:
    QString Name;
};

// The writer is closed on every way out; a close that reports a failure makes the file unusable.
class TWriterGuard {
public:
    TSaveAvi Writer;
    bool Open = false;
    ~TWriterGuard() {
        if (Open) Writer.Close();
    }
    bool Close() {
        Open = false;
        return Writer.Close();
    }
};

} // namespace

TSaveOutcome SaveEditList(const TSaveRequest& request) {
    TSaveOutcome outcome;
    const int count = static_cast<int>(request.FrameMap.size());
    if (count == 0) {
        outcome.Message = "There are no frames to save.\r\nThe file was not saved.";
        return outcome;
    }

    const QString temp = MakeTempFileName(".avi");
    TTempFileGuard tempGuard(temp);
    auto writer = std::make_unique<TWriterGuard>();
    writer->Writer.SetFrameRate(SavedRate(request.RateNumerator, request.RateDenominator),
                                SavedScale(request.RateNumerator, request.RateDenominator));

    QList<int> unreadable;
    // A source that changed before the save is read to the end all the same, without writing, so that
    // the message names the frames lost with it.
    QString change = request.SourceChange ? request.SourceChange() : QString();
    try {
        QImage* first = request.ReadFrame(request.FrameMap[0]);
        for (int i = 0; i < count; ++i) {
            QImage* frame = i == 0 ? first : request.ReadFrame(request.FrameMap[i]);
            if (!frame || frame->isNull()) {
                unreadable << i;
            } else if (unreadable.isEmpty() && change.isEmpty()) {
                // The first frame fixes the format; an unreadable one leaves nothing to fix it with.
                if (!writer->Open) {
                    writer->Writer.Open(temp, *frame);
                    writer->Open = true;
                }
                request.DrawSteps(*frame, i);
                if (!writer->Writer.AddFrame(*frame)) {
                    outcome.Message =
                        QString("Error writing frame %1: the disk may be full.\r\nThe file was not saved.")
                            .arg(i + 1);
                    return outcome;
                }
            }
            // After the first unreadable frame nothing more is written: the rest is only read, so
            // that the message names every position that stands in the way.
            if (request.Progress) request.Progress(static_cast<int>(std::int64_t(i) * 100 / count));
        }
    } catch (const Exception& e) {
        outcome.Message = e.message();
        return outcome;
    }
    // Frames read while the file changed may be neither the old ones nor the new ones.
    if (change.isEmpty() && request.SourceChange) change = request.SourceChange();
    if (!unreadable.isEmpty() || !change.isEmpty()) {
        outcome.Message = RefusalMessage(unreadable, change);
        return outcome;
    }
    if (!writer->Close()) {
        outcome.Message = "Error completing the new file: the disk may be full.\r\nThe file was not saved.";
        return outcome;
    }
    writer.reset();

    const TMoveResult moved = MoveFileOver(temp, request.Target);
    if (!moved.Ok) {
        tempGuard.Release();
        outcome.End = TSaveEnd::MoveFailed;
        outcome.TempFile = temp;
        outcome.Message = QString("Cannot replace %1: %2\r\nThe saved frames are kept in %3")
                              .arg(request.Target, moved.Message, temp);
        return outcome;
    }
    tempGuard.Release();
    outcome.End = TSaveEnd::Saved;
    return outcome;
}
