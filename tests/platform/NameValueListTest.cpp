#include "platform/NameValueList.h"

#include <gtest/gtest.h>

TEST(NameValueList, TheFirstLineOfTheNameGivesItsValueWhateverTheLetterCase) {
    const QStringList lines = {"Alpha=1",   "beta=two=2", "noequals", "BETA=3",
                               " Gamma =4", "=empty",     "Delta="};
    struct Case {
        const char* name;
        std::optional<QString> exact;
        std::optional<QString> blanksIgnored;
    } cases[] = {
        {"alpha", "1", "1"},
        {"Beta", "two=2", "two=2"}, // the first "=" ends the name; the first line wins
        {"noequals", std::nullopt, std::nullopt},
        {"Gamma", std::nullopt, "4"},
        {"", "empty", "empty"},
        {"Delta", "", ""}, // present and empty is not absent
        {"Omega", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindNameValue(lines, c.name), c.exact) << c.name;
        EXPECT_EQ(FindNameValue(lines, c.name, TNameBlanks::Ignored), c.blanksIgnored) << c.name;
        EXPECT_EQ(NameValue(lines, c.name), c.exact.value_or(QString())) << c.name;
    }
    EXPECT_EQ(NameValues(lines, "beta"), QStringList({"two=2", "3"}));
    EXPECT_TRUE(NameValues(lines, "Omega").isEmpty());
}
