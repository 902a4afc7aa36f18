// The text forms of integers, Booleans, colours, points and fonts, and the delimited lists under
// them. The first byte picks the reader; the rest is the text.
#include "FuzzSupport.h"
#include "model/TextForms.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"

namespace {

void Integer(const QString& text) {
    int32_t value = 0;
    if (!TryTextToInt(text, value)) return;
    FUZZ_CHECK(TextToInt(QString::number(value)) == value, text);
    FUZZ_CHECK(TextToIntDef(text, value ^ 1) == value, text);
}

void Boolean(const QString& text) {
    try {
        const bool value = TextToBool(text);
        FUZZ_CHECK(TextToBool(BoolToText(value)) == value, text);
    } catch (const EConvertError&) {
    }
}

void Colour(const QString& text) {
    try {
        const TColor colour = TextToColor(text);
        FUZZ_CHECK(TextToColor(ColorToText(colour)) == colour, text);
    } catch (const EConvertError&) {
    }
}

void Pair(const QString& text) {
    int32_t x = 0, y = 0;
    try {
        ParsePair(text, x, y);
    } catch (const EConvertError&) {
    }
}

void Font(const QString& text) {
    TFont font;
    TextToFont(text, font);
    const QString written = FontToText(font);
    // A face holding a quote cannot be written back; any other font must read back as it was, but
    // for strike-out, which has no word.
    if (font.Name.contains('"')) return;
    TFont expected = font;
    expected.Style &= ~fsStrikeOut;
    TFont again;
    again.Style = 0;
    TextToFont(written, again);
    again.Charset = font.Charset;
    FUZZ_CHECK(again == expected, text + " -> " + written);
}

void Delimited(const QString& text, QChar delimiter) {
    const QStringList items = SplitDelimited(text, delimiter, '"');
    FUZZ_CHECK(items.size() <= text.size() + 1, text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const QString text = QString::fromUtf8(FuzzBytes(data + 1, size - 1));
    switch (data[0] % 7) {
    case 0:
        Integer(text);
        break;
    case 1:
        Boolean(text);
        break;
    case 2:
        Colour(text);
        break;
    case 3:
        Pair(text);
        break;
    case 4:
        Font(text);
        break;
    case 5:
        Delimited(text, ';');
        break;
    case 6:
        Delimited(text, ',');
        break;
    }
    return 0;
}
