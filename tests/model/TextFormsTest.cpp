#include "model/TextForms.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

namespace {

TFont MakeFont(const char* name, int size, TColor color, TFontStyles style) {
    TFont f;
    f.Name = QString::fromUtf8(name);
    f.Size = size;
    f.Color = color;
    f.Style = style;
    return f;
}

} // namespace

TEST(FontToText, WritesFaceSizeColourAndStyleWords) {
    struct Case {
        TFont font;
        const char* text;
    } cases[] = {
        {MakeFont("Times New Roman", 14, clBlack, fsBold), R"("Times New Roman";14;clBlack;Bold)"},
        {MakeFont("Arial", 10, clBlack, 0), R"("Arial";10;clBlack)"},
        {MakeFont("Arial", 10, clSilver, fsBold | fsItalic | fsUnderline),
         R"("Arial";10;clSilver;Bold;Italic;Underline)"},
        {MakeFont("Arial", 10, clBlack, fsUnderline | fsStrikeOut), R"("Arial";10;clBlack;Underline)"},
        {MakeFont("Arial", 9, 0x00FF8040, fsItalic), R"("Arial";9;$00FF8040;Italic)"},
        {MakeFont("Say \"Hi\"", -12, clWindowText, 0), R"("Say "Hi"";-12;clWindowText)"},
        {MakeFont("50%1 %2", 8, clRed, 0), R"("50%1 %2";8;clRed)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FontToText(c.font), QString::fromUtf8(c.text));
}

TEST(FontToText, ReadsBackIntoAFreshFontExceptStrikeOut) {
    const TFont fonts[] = {
        MakeFont("Times New Roman", 14, clBlack, fsBold),
        MakeFont("DejaVu Sans", 100, 0x00123456, fsBold | fsItalic | fsUnderline),
        MakeFont("Liberation Serif", 4, clHighlight, 0),
    };
    for (const TFont& f : fonts) {
        TFont back;
        TextToFont(FontToText(f), back);
        EXPECT_EQ(back, f) << FontToText(f).toStdString();
    }
    TFont struck = MakeFont("Arial", 10, clRed, fsBold | fsStrikeOut);
    TFont back;
    TextToFont(FontToText(struck), back);
    EXPECT_EQ(back.Style, fsBold);
}

TEST(TextToFont, ChangesOnlyWhatTheTextSaysAndStopsAtABadField) {
    const TFont base = MakeFont("Base", 8, clBlue, fsItalic);
    struct Case {
        const char* text;
        TFont expected;
    } cases[] = {
        {R"("Arial";abc;clRed;Bold)", MakeFont("Arial", 8, clBlue, fsItalic)},
        {R"("Arial";12;clRed;bold)", MakeFont("Arial", 12, clRed, fsItalic)},
        {R"("Arial";12)", MakeFont("Arial", 12, clBlue, fsItalic)},
        {R"("Arial";12;nocolour;Bold)", MakeFont("Arial", 12, clBlue, fsItalic)},
        {R"("Arial";12;CLRED;Underline;Foo;Bold)",
         MakeFont("Arial", 12, clRed, fsItalic | fsUnderline | fsBold)},
        {R"("Arial";12;$00FF8040)", MakeFont("Arial", 12, 0x00FF8040, fsItalic)},
        {"Times New Roman;12", MakeFont("Times", 8, clBlue, fsItalic)},
        {"", base},
        {"   ", base},
        {R"("Say ""Hi""";9)", MakeFont("Say \"Hi\"", 9, clBlue, fsItalic)},
        {R"(;12)", MakeFont("", 12, clBlue, fsItalic)},
    };
    for (const Case& c : cases) {
        TFont f = base;
        TextToFont(QString::fromUtf8(c.text), f);
        EXPECT_EQ(f, c.expected) << c.text;
    }
}

TEST(SplitDelimited, FollowsTheListRules) {
    struct Case {
        QString text;
        QStringList items;
    } cases[] = {
        {"a;b;c", {"a", "b", "c"}},
        {"a;;b", {"a", "", "b"}},
        {"a;", {"a", ""}},
        {"a; ", {"a"}}, // the delimiter is not the last character
        {";a", {"", "a"}},
        {";", {"", ""}},
        {"  a ;  b  ", {"a", "b"}},
        {"a b;c", {"a", "b", "c"}},
        {"\"a b\";c", {"a b", "c"}},
        {"\"a\"\"b\"", {"a\"b"}},
        {"\"\"", {""}},
        {"\"\";x", {"", "x"}},
        {"\"ab\"cd;x", {"ab", "cd", "x"}},
        {"\"ab\" ;x", {"ab", "x"}},
        {"\"abc", {"abc"}}, // an unclosed quote keeps every character
        {"\"a;b\";c", {"a;b", "c"}},
        {"", {}},
        {" \t\n", {}},
        {QString("a") + QChar(u'\0') + ";b", {"a"}},
        {"a\t;\r\nb", {"a", "b"}},
        {"a,b", {"a,b"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitDelimited(c.text, u';', u'"'), c.items) << c.text.toStdString();

    EXPECT_EQ(SplitDelimited("-1,0,-1,0,-1", u',', u'"'), QStringList({"-1", "0", "-1", "0", "-1"}));
    EXPECT_EQ(SplitDelimited("-1, 0,1,", u',', u'"'), QStringList({"-1", "0", "1", ""}));
}

TEST(ParsePair, SetsXThenYAndReportsTheBadPart) {
    int32_t x = 1, y = 2;
    ParsePair("", x, y);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 2);

    ParsePair("5", x, y);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 2);

    ParsePair("100,120", x, y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 120);

    ParsePair(" -3,$10", x, y);
    EXPECT_EQ(x, -3);
    EXPECT_EQ(y, 16);

    x = 0, y = 0;
    try {
        ParsePair("5,x", x, y);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("'x' is not a valid integer value"));
    }
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 0);

    x = 0;
    EXPECT_THROW(ParsePair("3 ,4", x, y), EConvertError);
    EXPECT_EQ(x, 0);
    EXPECT_THROW(ParsePair("1,2,3", x, y), EConvertError);
    EXPECT_EQ(x, 1);
    EXPECT_THROW(ParsePair(" ", x, y), EConvertError);
}
