#include "TextForms.h"

#include "platform/Convert.h"
#include "platform/Exceptions.h"

namespace {

// Blanks and control characters between list items; character 0 is the end of the text.
bool IsBlank(QChar c) {
    return c.unicode() >= 1 && c.unicode() <= 32;
}

struct StyleWord {
    TFontStyle Style;
    const char* Word;
};
// The order in which the words are written.
constexpr StyleWord StyleWords[] = {{fsBold, "Bold"}, {fsItalic, "Italic"}, {fsUnderline, "Underline"}};

// The text of a quoted item that starts at text[pos], which is the quote; pos ends after the closing
// quote. A quote without its closing partner takes the rest of the text.
QString ExtractQuoted(const QString& text, qsizetype end, qsizetype& pos, QChar quote) {
    QString item;
    ++pos;
    while (pos < end) {
        if (text[pos] == quote) {
            if (pos + 1 < end && text[pos + 1] == quote) {
                item += quote;
                pos += 2;
                continue;
            }
            ++pos;
            return item;
        }
        item += text[pos++];
    }
    return item;
}

} // namespace

QString FontToText(const TFont& font) {
    QString text =
        QStringLiteral("\"%1\";%2;%3;").arg(font.Name, QString::number(font.Size), ColorToText(font.Color));
    for (const StyleWord& s : StyleWords)
        if (font.Style & s.Style) text += QLatin1String(s.Word) + u';';
    text.chop(1);
    return text;
}

void TextToFont(const QString& text, TFont& font) {
    const QStringList items = SplitDelimited(text, u';', u'"');
    if (items.isEmpty()) return;
    font.Name = items[0];
    try {
        if (items.size() > 1) font.Size = TextToInt(items[1]);
        if (items.size() > 2) font.Color = TextToColor(items[2]);
    } catch (const EConvertError&) {
        // A font text that does not read keeps what was applied so far; the caller has no error to show.
        return;
    }
    for (qsizetype i = 3; i < items.size(); ++i)
        for (const StyleWord& s : StyleWords)
            if (items[i] == QLatin1String(s.Word)) font.Style |= s.Style;
}

void ParsePair(const QString& text, int32_t& x, int32_t& y) {
    if (text.isEmpty()) return;
    const qsizetype comma = text.indexOf(u',');
    if (comma < 0) {
        x = TextToInt(text);
        return;
    }
    x = TextToInt(text.left(comma));
    y = TextToInt(text.mid(comma + 1));
}

QStringList SplitDelimited(const QString& text, QChar delimiter, QChar quote) {
    QStringList items;
    qsizetype end = text.indexOf(QChar(u'\0'));
    if (end < 0) end = text.size();

    qsizetype pos = 0;
    while (pos < end && IsBlank(text[pos]))
        ++pos;
    while (pos < end) {
        if (text[pos] == quote) {
            items << ExtractQuoted(text, end, pos, quote);
        } else {
            const qsizetype start = pos;
            while (pos < end && !IsBlank(text[pos]) && text[pos] != delimiter)
                ++pos;
            items << text.mid(start, pos - start);
        }
        while (pos < end && IsBlank(text[pos]))
            ++pos;
        if (pos < end && text[pos] == delimiter) {
            if (pos + 1 == end) items << QString();
            ++pos;
            while (pos < end && IsBlank(text[pos]))
                ++pos;
        }
    }
    return items;
}
