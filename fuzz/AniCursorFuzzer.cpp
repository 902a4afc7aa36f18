// Animated cursor files: the parser, the options window's preview player, the pointer made of the
// file, and the stamp that shows its first step.
#include "FuzzSupport.h"
#include "cursors/AniCur.h"
#include "cursors/AniFile.h"
#include "cursors/CurImg.h"
#include "cursors/CursorEntry.h"
#include "platform/Exceptions.h"

#include <QLabel>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const TAniFile ani = ParseAniData(FuzzBytes(data, size));
        FUZZ_CHECK(ani.StepCount > 0 && ani.Rates.size() == size_t(ani.StepCount) &&
                       ani.Seq.size() == size_t(ani.StepCount),
                   "the step lists");
        for (int step = 0; step < ani.StepCount; ++step) {
            FUZZ_CHECK(ani.Seq[step] >= 0 && size_t(ani.Seq[step]) < ani.Icons.size(), "a step's picture");
            FUZZ_CHECK(ani.IntervalMs(step) >= 0, "a step's interval");
        }
    } catch (const EInvalidAni&) {
    }

    const QString path = WriteFuzzFile(data, size, QStringLiteral("ani"));
    if (std::unique_ptr<TCursorEntry> entry = TCursorEntry::FromFile(path)) {
        for (int step = 0, n = std::min(entry->StepCount(), 64); step < n; ++step)
            entry->Cursor(step);
    }
    TAniCursor player;
    try {
        player.LoadFromFile(path);
    } catch (const Exception&) {
    }
    QLabel label;
    player.SetImage(&label);
    for (int i = 0, n = std::min(player.StepCount(), 64); i < n; ++i)
        player.Tick();
    player.Stop();
    TCursorImage stamp;
    stamp.LoadFromFile(path);
    return 0;
}
