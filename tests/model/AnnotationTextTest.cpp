#include "model/AnnotationText.h"

#include <gtest/gtest.h>

TEST(AnnotationText, LineEndsOfEveryKindAndTheEndCharacter) {
    // Every kind of line end, and a text that ends with its last byte rather than an end character.
    const char lines[] = "a\r\nb\rc\nd\r\n\r\ne";
    const QByteArray text(lines, sizeof lines - 1);
    EXPECT_EQ(SplitAnnotationText(text), QStringList({"a", "b", "c", "d", "", "e"}));
    EXPECT_EQ(SplitAnnotationText(QByteArray("x\r\ny\0z\r\n", 8)), QStringList({"x", "y"}));
    EXPECT_EQ(SplitAnnotationText(QByteArray()), QStringList());
    EXPECT_EQ(JoinAnnotationText({"[Layers]", "Current=1"}), QByteArray("[Layers]\r\nCurrent=1\r\n"));
}

TEST(AnnotationText, Utf8IsReadAsSuchAndOtherBytesAsWindows1252) {
    EXPECT_EQ(SplitAnnotationText(QString("Text=\"Grüße €\"").toUtf8()), QStringList({"Text=\"Grüße €\""}));
    // The same text written on an older machine in its code page.
    EXPECT_EQ(SplitAnnotationText(QByteArray("Text=\"Gr\xFC\xDF"
                                             "e \x80\"")),
              QStringList({"Text=\"Grüße €\""}));
}

TEST(AnnotationText, KeyLookUpTakesTheFirstMatchIgnoringCaseWithNamesUntrimmed) {
    const TAnnotationSection s(
        {"Start =1,2", "layer=3", "Layer=4", "Text= a b ", "noequals", "Move=1", "MOVE=2"});
    EXPECT_EQ(s.Value("Start"), "");
    EXPECT_EQ(s.Value("Start "), "1,2");
    EXPECT_EQ(s.Value("Layer"), "3");
    EXPECT_EQ(s.Value("Text"), " a b ");
    EXPECT_EQ(s.Value("Missing"), "");
    EXPECT_EQ(s.Values("move"), QStringList({"1", "2"}));
}

TEST(AnnotationText, SectionsAreCutAtHeaderLinesOnly) {
    const QStringList lines = {"Loose=1",     "",        "[Layers]",   "Current=2", " [MoveList]", "[Empty]",
                               "[MoveList] ", "Layer=1", "[movelist]", "Layer=2"};
    QStringList seen;
    ForEachAnnotationSection(lines, [&](const QString& name, const TAnnotationSection& section) {
        seen << name + ":" + section.AllLines().join("|");
    });
    EXPECT_EQ(seen, QStringList({":Loose=1", "Layers:Current=2| [MoveList]", "MoveList]:Layer=1",
                                 "movelist:Layer=2"}));
}
