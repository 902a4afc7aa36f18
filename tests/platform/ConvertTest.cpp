#include "platform/Convert.h"
#include "platform/Exceptions.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

QString ConvertMessage(const std::function<void()>& f) {
    try {
        f();
    } catch (const EConvertError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

TEST(TextToInt, AcceptsDecimalAndHexadecimalForms) {
    struct Case {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"0", 0},
        {"14", 14},
        {"-14", -14},
        {"+7", 7},
        {" 7", 7},
        {"   -3", -3},
        {"007", 7},
        {"-0", 0},
        {"$1F", 31},
        {"$1f", 31},
        {"x1F", 31},
        {"X1F", 31},
        {"0x1F", 31},
        {"-$1F", -31},
        {"+0x10", 16},
        {"$00000000FF", 255}, // leading zeros are not significant
        {"$FFFFFFFF", -1},    // colour values are 32-bit patterns
        {"$80000000", INT32_MIN},
        {"$FF000008", static_cast<int32_t>(0xFF000008u)},
        {"-$FFFFFFFF", 1},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextToInt(QString::fromLatin1(c.text)), c.expected) << c.text;
        int32_t v = 12345;
        EXPECT_TRUE(TryTextToInt(QString::fromLatin1(c.text), v)) << c.text;
        EXPECT_EQ(v, c.expected) << c.text;
    }
}

TEST(TextToInt, RejectsEverythingElseWithTheMessageNamingTheText) {
    const QString bad[] = {
        QString(),
        QStringLiteral(" "),
        QStringLiteral("7 "),
        QStringLiteral("\t7"),
        QStringLiteral("abc"),
        QStringLiteral("1.5"),
        QStringLiteral("1e3"),
        QStringLiteral("1a"),
        QStringLiteral("- 1"),
        QStringLiteral("--1"),
        QStringLiteral("+-1"),
        QStringLiteral("+"),
        QStringLiteral("2147483648"),
        QStringLiteral("-2147483649"),
        QStringLiteral("99999999999999999999"),
        QStringLiteral("$"),
        QStringLiteral("0x"),
        QStringLiteral("0X1F"),
        QStringLiteral("$1G"),
        QStringLiteral("$123456789"), // 9 significant digits
        QStringLiteral("$ 1"),
        QString::fromUtf16(u"\uFF17"), // a full-width digit is no digit here
        QString(QStringLiteral("7")) + QChar(u'\0'),
    };
    for (const QString& text : bad) {
        int32_t v = 42;
        EXPECT_FALSE(TryTextToInt(text, v)) << text.toStdString();
        EXPECT_EQ(v, 42) << "a failed conversion leaves the target alone";
        EXPECT_EQ(TextToIntDef(text, -5), -5) << text.toStdString();
        EXPECT_EQ(ConvertMessage([&] { TextToInt(text); }),
                  QStringLiteral("'%1' is not a valid integer value").arg(text));
    }
    EXPECT_EQ(TextToIntDef(QStringLiteral("$10"), -5), 16);
}

TEST(TextToBool, NumbersAndWords) {
    struct Case {
        const char* text;
        bool expected;
    } cases[] = {
        {"-1", true},     {"1", true},      {"2.5", true},     {"0", false},     {"-0", false},
        {"0.0", false},   {".5", true},     {"5.", true},      {"1e3", true},    {"0e5", false},
        {"1E-400", true}, {" 1 ", true},    {"+0.000", false}, {"TRUE", true},   {"true", true},
        {"True", true},   {"FALSE", false}, {"false", false},  {"fAlSe", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextToBool(QString::fromLatin1(c.text)), c.expected) << c.text;
}

TEST(TextToBool, OtherTextsAreConversionErrors) {
    for (const char* text : {"yes", "", " ", "True ", " false", "1e", ".", "$1", "0x1", "1,5", "Tru"}) {
        const QString t = QString::fromLatin1(text);
        EXPECT_EQ(ConvertMessage([&] { TextToBool(t); }),
                  QStringLiteral("'%1' is not a valid boolean value").arg(t))
            << text;
    }
}

TEST(BoolToText, MinusOneAndZero) {
    EXPECT_EQ(BoolToText(true), QStringLiteral("-1"));
    EXPECT_EQ(BoolToText(false), QStringLiteral("0"));
    EXPECT_TRUE(TextToBool(BoolToText(true)));
    EXPECT_FALSE(TextToBool(BoolToText(false)));
}

TEST(ColorText, NamedColoursAreWrittenByNameAndReadBack) {
    for (const TColorName& entry : ColorNames) {
        EXPECT_EQ(ColorToText(entry.Value), QString::fromLatin1(entry.Name));
        EXPECT_EQ(TextToColor(QString::fromLatin1(entry.Name)), entry.Value) << entry.Name;
        EXPECT_EQ(TextToColor(QString::fromLatin1(entry.Name).toUpper()), entry.Value) << entry.Name;
    }
}

TEST(ColorText, OtherColoursAreEightUpperCaseHexDigits) {
    struct Case {
        TColor color;
        const char* text;
    } cases[] = {
        {0x00FF8040, "$00FF8040"}, {0x00abcdef, "$00ABCDEF"}, {0x00000001, "$00000001"},
        {0xFFFFFFFF, "$FFFFFFFF"}, {0xFF000019, "$FF000019"}, // system colour 25 has no name
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ColorToText(c.color), QString::fromLatin1(c.text));
        EXPECT_EQ(TextToColor(QString::fromLatin1(c.text)), c.color) << c.text;
    }
}

TEST(ColorText, ReadingAcceptsAnyCaseAndIntegers) {
    EXPECT_EQ(TextToColor(QStringLiteral("clRed")), 0x000000FFu);
    EXPECT_EQ(TextToColor(QStringLiteral("CLRED")), 0x000000FFu);
    EXPECT_EQ(TextToColor(QStringLiteral("$000000FF")), 0x000000FFu);
    EXPECT_EQ(TextToColor(QStringLiteral("255")), 0x000000FFu);
    EXPECT_EQ(TextToColor(QStringLiteral("-1")), 0xFFFFFFFFu);
    EXPECT_EQ(TextToColor(QStringLiteral("0xFF000008")), clWindowText);
    // Only ASCII letters fold: a Kelvin sign is no "k", and a blank is part of the text.
    for (const QString& bad :
         {QStringLiteral("clRedd"), QStringLiteral(" clRed"), QStringLiteral("clBlac\u212A"), QString()})
        EXPECT_EQ(ConvertMessage([&] { TextToColor(bad); }),
                  QStringLiteral("'%1' is not a valid integer value").arg(bad));
}
