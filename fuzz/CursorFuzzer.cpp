// Static cursor files: the decoder, the pointer the options and the drawing window make of the file,
// and the stamp that shows it.
#include "FuzzSupport.h"
#include "cursors/CurImg.h"
#include "cursors/CursorEntry.h"
#include "cursors/CursorFrame.h"
#include "platform/Canvas.h"
#include "platform/Picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (std::optional<TCursorFrame> frame = DecodeCursorData(FuzzBytes(data, size))) {
        FUZZ_CHECK(frame->Image.size() == QSize(kCursorSize, kCursorSize), "the cursor's size");
        QImage target(40, 40, QImage::Format_RGB32);
        target.fill(Qt::white);
        frame->DrawOn(target, 20, -10);
        frame->Preview();
    }
    const QString path = WriteFuzzFile(data, size, QStringLiteral("cur"));
    if (std::unique_ptr<TCursorEntry> entry = TCursorEntry::FromFile(path)) entry->Preview();
    TCursorImage stamp;
    stamp.LoadFromFile(path);
    stamp.SetTransparent(true);
    stamp.ToImage();
    return 0;
}
