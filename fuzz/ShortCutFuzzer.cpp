// The text form of shortcuts, as the settings file stores hot keys and menu keys.
#include "FuzzSupport.h"
#include "platform/ShortCut.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(FuzzBytes(data, size));
    const TShortCut shortCut = TextToShortCut(text);
    if (shortCut.IsEmpty()) return 0;
    const QString written = ShortCutToText(shortCut);
    FUZZ_CHECK(!written.isEmpty(), text);
    FUZZ_CHECK(TextToShortCut(written) == shortCut, text + " -> " + written);
    FUZZ_CHECK(TShortCut::FromWord(shortCut.ToWord()) == shortCut, text);
    return 0;
}
