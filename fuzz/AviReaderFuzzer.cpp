// Framory's AVI reader on arbitrary files: the open, with the chunk walk that recovers a file
// without index, and every frame position, in order and once more backwards.
#include "FuzzSupport.h"
#include "avi/AviReader.h"

#include <QImage>
#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = WriteFuzzFile(data, size, QStringLiteral("avi"));
    TAVIFile avi;
    try {
        avi.Open(path);
    } catch (const EAviException&) {
        FUZZ_CHECK(!avi.Opened(), "a failed open left the file open");
        return 0;
    }
    FUZZ_CHECK(avi.Width() > 0 && avi.Height() > 0,
               QStringLiteral("%1 x %2").arg(avi.Width()).arg(avi.Height()));
    // Positions beyond what the file's bytes could hold are never believed; a few thousand are
    // plenty for any input the fuzzer makes.
    const int count = int(std::min<std::uint32_t>(avi.FrameCount(), 4096));
    for (int i = 0; i < count; ++i) {
        if (QImage* frame = avi.GetFrame(i)) {
            FUZZ_CHECK(frame->width() == avi.Width() && frame->height() == avi.Height(), "a frame's size");
        }
    }
    for (int i = count - 1; i >= 0; i -= 7)
        avi.GetFrame(i);
    FUZZ_CHECK(avi.GetFrame(-1) == nullptr, "position -1");
    if (avi.FrameCount() <= std::uint32_t(INT32_MAX))
        FUZZ_CHECK(avi.GetFrame(int(avi.FrameCount())) == nullptr, "the position after the last");
    avi.Close();
    return 0;
}
