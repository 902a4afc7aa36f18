#include "platform/IniFile.h"
#include "support/PeakMemory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString Path = Dir.filePath("Test.ini");

    void Put(const QByteArray& bytes) {
        QFile f(Path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray Get() const {
        QFile f(Path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    ino_t Inode() const {
        struct stat st {};
        return ::stat(QFile::encodeName(Path).constData(), &st) == 0 ? st.st_ino : 0;
    }
};

const QByteArray SemanticsFile = "; leading comment\n"
                                 "Orphan=before any section\n"
                                 "[Settings]\n"
                                 "  Name  =  value with  inner  blanks   \n"
                                 "Quoted=\"  padded  \"\n"
                                 "Single='x'\n"
                                 "Mismatch=\"x'\n"
                                 "Half=\"abc\n"
                                 "Lone=\"\n"
                                 "Empty=\n"
                                 "EmptyQuotes=\"\"\n"
                                 "DUP=first\n"
                                 "dup=second\n"
                                 "NoEquals\n"
                                 "=nokey\n"
                                 "Eq=a=b\n"
                                 "Font1=\"Times New Roman\";14;clBlack;Bold\n"
                                 "Image0=a.png;0\n"
                                 "Path=/home/u/My \"odd\" file.cur\n"
                                 "Unicode=Grüße 😀\n"
                                 ";Commented=1\n"
                                 "[ Other ]  trailing text\n"
                                 "Key=other section\r\n"
                                 "[settings]\n"
                                 "Later=from the second header\n"
                                 "dup=third\n"
                                 "[Empty]\n";

} // namespace

TEST_F(IniFileTest, ReadsClassicProfileSemantics) {
    Put(SemanticsFile);
    const TIniFile ini(Path);
    const QString def = QStringLiteral("<default>");
    struct Case {
        const char* section;
        const char* key;
        QString expected;
    } cases[] = {
        {"Settings", "Name", "value with  inner  blanks"},
        {"SETTINGS", "name", "value with  inner  blanks"},
        {" Settings ", " Name ", "value with  inner  blanks"},
        {"Settings", "Quoted", "  padded  "},
        {"Settings", "Single", "x"},
        {"Settings", "Mismatch", "\"x'"},
        {"Settings", "Half", "\"abc"},
        {"Settings", "Lone", "\""},
        {"Settings", "Empty", ""},
        {"Settings", "EmptyQuotes", ""},
        {"Settings", "Dup", "first"},
        {"Settings", "NoEquals", def},
        {"Settings", "", def},
        {"Settings", "Eq", "a=b"},
        {"Settings", "Font1", "\"Times New Roman\";14;clBlack;Bold"},
        {"Settings", "Image0", "a.png;0"},
        {"Settings", "Path", "/home/u/My \"odd\" file.cur"},
        {"Settings", "Unicode", QString::fromUtf8("Grüße 😀")},
        {"Settings", ";Commented", def},
        {"Settings", "Key", def},
        {"Settings", "Orphan", def},
        {"Other", "Key", "other section"},
        {"Settings", "Later", "from the second header"},
        {"Settings", "Missing", def},
        {"Missing", "Name", def},
        {"Empty", "Name", def},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini.ReadString(c.section, c.key, def), c.expected) << c.section << "/" << c.key;

    EXPECT_TRUE(ini.ValueExists("settings", "EMPTY"));
    EXPECT_FALSE(ini.ValueExists("Settings", "NoEquals"));
    EXPECT_FALSE(ini.ValueExists("Other", "Name"));
    EXPECT_TRUE(ini.SectionExists("OTHER"));
    EXPECT_TRUE(ini.SectionExists("Empty"));
    EXPECT_FALSE(ini.SectionExists("Nope"));

    EXPECT_EQ(ini.ReadSection("Settings"),
              QStringList({"Name", "Quoted", "Single", "Mismatch", "Half", "Lone", "Empty", "EmptyQuotes",
                           "DUP", "Eq", "Font1", "Image0", "Path", "Unicode", "Later"}));
    EXPECT_EQ(ini.ReadSectionValues("other"), QStringList({"Key=other section"}));
    const QStringList values = ini.ReadSectionValues("Settings");
    ASSERT_EQ(values.size(), 15);
    EXPECT_EQ(values[1], "Quoted=  padded  ");
    EXPECT_EQ(values[6], "Empty=");
    EXPECT_EQ(values[8], "DUP=first");
    EXPECT_EQ(values[10], "Font1=\"Times New Roman\";14;clBlack;Bold");
    EXPECT_TRUE(ini.ReadSection("Empty").isEmpty());
    EXPECT_TRUE(ini.ReadSectionValues("Missing").isEmpty());
}

TEST_F(IniFileTest, IntegersAndBooleansFallBackToTheirDefault) {
    Put("[S]\nA=14\nB=$1F\nC=0x10\nD=-3\nE=abc\nF=\nG=True\nH=1.5\nI= 7 "
        "\nJ=2\nK=0\nL=\"5\"\nM=99999999999\n");
    const TIniFile ini(Path);
    struct Case {
        const char* key;
        int32_t integer; // read with default -100
        bool boolean;    // read with default true
    } cases[] = {
        {"A", 14, true},   {"B", 31, true},   {"C", 16, true},   {"D", -3, true},         {"E", -100, true},
        {"F", -100, true}, {"G", -100, true}, {"H", -100, true}, {"I", 7, true},          {"J", 2, true},
        {"K", 0, false},   {"L", 5, true},    {"M", -100, true}, {"Missing", -100, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ini.ReadInteger("S", c.key, -100), c.integer) << c.key;
        EXPECT_EQ(ini.ReadBool("S", c.key, true), c.boolean) << c.key;
    }
    EXPECT_FALSE(ini.ReadBool("S", "G", false)) << "the word True is not an integer";
    EXPECT_FALSE(ini.ReadBool("S", "Missing", false));
}

TEST_F(IniFileTest, WritingAKeyChangesOnlyItsLine) {
    const QByteArray original = "\xEF\xBB\xBF; Tavelin settings \xFF (a byte that is not UTF-8)\r\n"
                                "\r\n"
                                "[Settings]\r\n"
                                "HotKey = Shift+Ctrl+W\r\n"
                                "drawwidth1=3\r\n"
                                "Font1=\"Times New Roman\";14;clBlack;Bold\r\n"
                                "\r\n"
                                "; colours follow\r\n"
                                "[Colors]\r\n"
                                "ColorA=FFFFFF\r\n";
    Put(original);
    TIniFile ini(Path);
    ini.WriteInteger("SETTINGS", "DrawWidth1", 12);
    QByteArray expected = original;
    expected.replace("drawwidth1=3", "drawwidth1=12");
    EXPECT_EQ(Get(), expected);
    EXPECT_EQ(ini.ReadInteger("Settings", "DrawWidth1", 0), 12);

    // A new key goes after the section's last entry, ahead of the blank line and the comment.
    ini.WriteString("Settings", "Image0", "a.png;0");
    expected.replace("Bold\r\n", "Bold\r\nImage0=a.png;0\r\n");
    EXPECT_EQ(Get(), expected);

    // A new section is appended after a blank line, with the file's own line ends.
    ini.WriteBool("AviSettings", "ShowClicks", true);
    ini.WriteBool("AviSettings", "Loop", false);
    expected += "\r\n[AviSettings]\r\nShowClicks=1\r\nLoop=0\r\n";
    EXPECT_EQ(Get(), expected);

    const TIniFile reread(Path);
    EXPECT_EQ(reread.ReadString("Settings", "HotKey", ""), "Shift+Ctrl+W")
        << "the byte order mark is not a name";
    EXPECT_EQ(reread.ReadString("Settings", "Image0", ""), "a.png;0");
    EXPECT_EQ(reread.ReadString("Colors", "ColorA", ""), "FFFFFF");
    EXPECT_TRUE(reread.ReadBool("AviSettings", "ShowClicks", false));
    EXPECT_FALSE(reread.ReadBool("AviSettings", "Loop", true));
}

TEST_F(IniFileTest, MissingFileReadsEmptyAndTheFirstWriteCreatesIt) {
    TIniFile ini(Path);
    EXPECT_EQ(ini.ReadString("Settings", "HotKey", "Shift+Ctrl+W"), "Shift+Ctrl+W");
    EXPECT_FALSE(ini.SectionExists("Settings"));
    EXPECT_TRUE(ini.ReadSectionValues("Settings").isEmpty());
    ini.DeleteKey("Settings", "HotKey");
    ini.EraseSection("Settings");
    EXPECT_FALSE(QFile::exists(Path)) << "nothing to remove, nothing written";

    ini.WriteInteger("Settings", "Left", -20);
    ini.WriteString("Settings", "Empty", "");
    EXPECT_EQ(Get(), "[Settings]\nLeft=-20\nEmpty=\n");
}

TEST_F(IniFileTest, AFileWithoutALastLineEndGetsOneBeforeNewLines) {
    Put("[A]\nX=1");
    TIniFile(Path).WriteString("A", "Y", "2");
    EXPECT_EQ(Get(), "[A]\nX=1\nY=2\n");
    Put("[A]\nX=1");
    TIniFile(Path).WriteString("B", "Y", "2");
    EXPECT_EQ(Get(), "[A]\nX=1\n\n[B]\nY=2\n");
    Put("[A]\nX=1");
    TIniFile(Path).WriteString("A", "X", "3");
    EXPECT_EQ(Get(), "[A]\nX=3");
}

TEST_F(IniFileTest, EveryValueReadsBackAsWritten) {
    const QString values[] = {
        "",
        " padded ",
        "\tlead",
        "\"quoted\"",
        "'single'",
        "\"",
        "\"x'",
        "\"\"",
        "a=b",
        ";not a comment",
        "[not a header]",
        "\"Times New Roman\";14;clBlack;Bold",
        QString::fromUtf8("/home/jürgen/Bilder/Pfeil ➜.png;1"),
    };
    TIniFile ini(Path);
    int n = 0;
    for (const QString& v : values)
        ini.WriteString("Values", QStringLiteral("Key%1").arg(n++), v);
    const TIniFile reread(Path);
    n = 0;
    for (const QString& v : values) {
        const QString key = QStringLiteral("Key%1").arg(n++);
        EXPECT_EQ(reread.ReadString("Values", key, "<default>"), v) << key.toStdString();
        EXPECT_EQ(ini.ReadString("Values", key, "<default>"), v) << key.toStdString();
    }
}

// A byte order mark inside the file is part of a key's name, before a write and after it, which puts
// it at the start of its line.
TEST_F(IniFileTest, AKeyNamedByAByteOrderMarkReadsBackAfterAWrite) {
    Put("[Settings]\n\r\xEF\xBB\xBF=old\n");
    const QString key = QString(QChar(0xFEFF));
    ASSERT_EQ(TIniFile(Path).ReadSection("Settings"), QStringList{key});
    TIniFile(Path).WriteString("Settings", key, "new");
    EXPECT_EQ(TIniFile(Path).ReadString("Settings", key, "<default>"), "new");
    EXPECT_EQ(Get(), "[Settings]\n\xEF\xBB\xBF=new\n");
}

TEST_F(IniFileTest, TextsAProfileLineCannotHoldAreRefused) {
    Put("[S]\nK=1\n");
    TIniFile ini(Path);
    EXPECT_THROW(ini.WriteString("S", "K", "two\nlines"), EIniFileError);
    EXPECT_THROW(ini.WriteString("S", "K", "cr\ronly"), EIniFileError);
    EXPECT_THROW(ini.WriteString("S", "a=b", "1"), EIniFileError);
    EXPECT_THROW(ini.WriteString("S", " ", "1"), EIniFileError);
    EXPECT_THROW(ini.WriteString("S", "[K]", "1"), EIniFileError);
    EXPECT_THROW(ini.WriteString("S", ";K", "1"), EIniFileError);
    EXPECT_THROW(ini.WriteString("S]", "K", "1"), EIniFileError);
    EXPECT_EQ(Get(), "[S]\nK=1\n");
    EXPECT_EQ(ini.ReadString("S", "K", ""), "1");
}

TEST_F(IniFileTest, EraseSectionAndDeleteKeyKeepTheRest) {
    Put("; top\n[A]\nX=1\n; about A\n\n[B]\nX=2\nx=3\nY=4\n[a]\nZ=5\n[C]\nX=6\n");
    TIniFile ini(Path);
    ini.DeleteKey("b", "X");
    EXPECT_EQ(Get(), "; top\n[A]\nX=1\n; about A\n\n[B]\nY=4\n[a]\nZ=5\n[C]\nX=6\n");
    EXPECT_EQ(ini.ReadString("B", "X", "gone"), "gone");
    ini.EraseSection("A");
    EXPECT_EQ(Get(), "; top\n[B]\nY=4\n[C]\nX=6\n");
    EXPECT_FALSE(ini.SectionExists("A"));
    EXPECT_EQ(ini.ReadString("C", "X", ""), "6");
}

TEST_F(IniFileTest, WritesGoThroughARenameAndOnlyWhenSomethingChanges) {
    Put("[S]\nK = \"same\"\n");
    const ino_t before = Inode();
    TIniFile ini(Path);
    ini.WriteString("S", "K", "same");
    EXPECT_EQ(Inode(), before) << "an unchanged value is not rewritten";
    EXPECT_EQ(Get(), "[S]\nK = \"same\"\n");
    ini.WriteString("S", "K", "other");
    EXPECT_NE(Inode(), before) << "the new text replaced the file by a rename";
    EXPECT_EQ(Get(), "[S]\nK=other\n");
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList({"Test.ini"})) << "no temporary file left";
}

TEST_F(IniFileTest, TwoObjectsOnOneFileKeepEachOthersWrites) {
    TIniFile first(Path);
    TIniFile second(Path);
    first.WriteString("S", "A", "1");
    second.WriteString("S", "B", "2");
    EXPECT_EQ(Get(), "[S]\nA=1\nB=2\n");
    EXPECT_EQ(second.ReadString("S", "A", ""), "1");
}

TEST_F(IniFileTest, PermissionsAndSymbolicLinksAreKept) {
    Put("[S]\nK=1\n");
    QFile::setPermissions(Path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    const QString link = Dir.filePath("Link.ini");
    ASSERT_TRUE(QFile::link(Path, link));
    TIniFile(link).WriteString("S", "K", "2");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(Get(), "[S]\nK=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(Path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(IniFileTest, AFailedWriteIsReportedAndLosesNothing) {
    const QString inMissingFolder = Dir.filePath("no/such/folder/Test.ini");
    TIniFile missing(inMissingFolder);
    try {
        missing.WriteString("S", "K", "1");
        ADD_FAILURE() << "no error";
    } catch (const EIniFileError& e) {
        EXPECT_TRUE(e.message().contains(inMissingFolder)) << e.message().toStdString();
    }
    EXPECT_EQ(missing.ReadString("S", "K", "default"), "default");

    // A settings path that cannot be read must not be replaced by a file holding only the new key.
    ASSERT_TRUE(QDir().mkdir(Path));
    QFile(Path + "/keep").open(QIODevice::WriteOnly);
    TIniFile unreadable(Path);
    EXPECT_EQ(unreadable.ReadString("S", "K", "default"), "default");
    EXPECT_THROW(unreadable.WriteString("S", "K", "1"), EIniFileError);
    EXPECT_THROW(unreadable.EraseSection("S"), EIniFileError);
    EXPECT_TRUE(QFileInfo(Path + "/keep").exists());
}

// A settings file of tens of thousands of lines, which anyone can write, is read and changed in time
// and memory that grow with the file, not with its square.
TEST_F(IniFileTest, LongFilesAreReadAndWrittenInProportionToTheirSize) {
    constexpr int kLines = 20000;
    QByteArray text = "[Settings]\nHotKey=Shift+Ctrl+W\n[Colors]\n";
    for (int i = 0; i < kLines; ++i)
        text += "Color" + QByteArray::number(i) + "=" + QByteArray::number(i * 7) + "\n";
    Put(text);

    const TPeakMemoryGrowth growth;
    TIniFile ini(Path);
    const QStringList values = ini.ReadSectionValues("colors");
    ASSERT_EQ(values.size(), kLines);
    EXPECT_EQ(values.front(), "Color0=0");
    EXPECT_EQ(values.back(), QStringLiteral("Color%1=%2").arg(kLines - 1).arg((kLines - 1) * 7));
    for (int i = 0; i < kLines; i += 997)
        EXPECT_EQ(ini.ReadInteger("Colors", QStringLiteral("COLOR%1").arg(i), -1), i * 7);
    ini.WriteInteger("Colors", "Color19999", 1);
    ini.WriteString("Colors", "ColorNew", "x");
    EXPECT_EQ(ini.ReadInteger("Colors", "Color19999", -1), 1);
    EXPECT_EQ(ini.ReadString("Colors", "ColorNew", ""), "x");
    EXPECT_EQ(ini.ReadString("Settings", "HotKey", ""), "Shift+Ctrl+W");
    EXPECT_TRUE(Get().endsWith("Color19999=1\nColorNew=x\n"));
    // Generous: a sanitizer's quarantine keeps every freed block of the 20,000 reads for a while.
    EXPECT_LT(growth.MiB(), 160) << "a 330 KB file";

    // Millions of empty lines: memory stays a small multiple of the file's 5 MB.
    Put("[S]\nK=1\n" + QByteArray(5 << 20, '\n') + "[T]\nL=2\n");
    const TPeakMemoryGrowth emptyGrowth;
    TIniFile empty(Path);
    EXPECT_EQ(empty.ReadString("T", "L", ""), "2");
    empty.WriteString("S", "K", "3");
    EXPECT_EQ(TIniFile(Path).ReadString("S", "K", ""), "3");
    EXPECT_LT(emptyGrowth.MiB(), 64) << "5 MB of empty lines";
}

TEST_F(IniFileTest, ASettingsPathThatIsNoRegularFileReadsEmptyAndIsNotWritten) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path).constData(), 0600), 0);
    TIniFile ini(Path); // would wait for a writer for ever if opened as a file
    EXPECT_EQ(ini.ReadString("Settings", "HotKey", "default"), "default");
    try {
        ini.WriteString("Settings", "HotKey", "x");
        ADD_FAILURE() << "no error";
    } catch (const EIniFileError& e) {
        EXPECT_TRUE(e.message().contains("Not a regular file")) << e.message().toStdString();
    }
    EXPECT_FALSE(QFileInfo(Path).isFile());
}

// A file far beyond any settings file is not read and never replaced: it reads as empty, each write is
// refused, and the file keeps its bytes. One at the bound is read as usual.
TEST_F(IniFileTest, AFileBeyondTheSizeBoundReadsEmptyAndIsNeverWritten) {
    QByteArray text = "[Settings]\nHotKey=Shift+Alt+A\n";
    text += QByteArray(TIniFile::MaxFileSize + 1 - text.size(), ';');
    Put(text);
    const ino_t inode = Inode();
    TIniFile ini(Path);
    EXPECT_TRUE(ini.ReadError().contains("more than the 8 MiB")) << ini.ReadError().toStdString();
    EXPECT_EQ(ini.ReadString("Settings", "HotKey", "default"), "default");
    EXPECT_FALSE(ini.SectionExists("Settings"));
    EXPECT_THROW(ini.WriteString("Settings", "HotKey", "Shift+Ctrl+W"), EIniFileError);
    EXPECT_THROW(ini.WriteBool("Settings", "ShowFirst", false), EIniFileError);
    EXPECT_THROW(ini.EraseSection("Settings"), EIniFileError);
    EXPECT_THROW(ini.DeleteKey("Settings", "HotKey"), EIniFileError);
    EXPECT_TRUE(Get() == text) << "the file was changed";
    EXPECT_EQ(Inode(), inode);

    text.chop(1);
    Put(text);
    TIniFile atTheBound(Path);
    EXPECT_TRUE(atTheBound.ReadError().isEmpty()) << atTheBound.ReadError().toStdString();
    EXPECT_EQ(atTheBound.ReadString("Settings", "HotKey", "default"), "Shift+Alt+A");
    // A write that would carry it past the bound is refused too: the next start could not read it.
    EXPECT_THROW(atTheBound.WriteString("Settings", "Other", "x"), EIniFileError);
    EXPECT_TRUE(Get() == text);
}

// A file of many short sections costs a small multiple of its size, not kilobytes per section.
TEST_F(IniFileTest, ManySectionsCostASmallMultipleOfTheFile) {
    constexpr int kSections = 200000;
    QByteArray text;
    for (int i = 0; i < kSections; ++i)
        text += "[S" + QByteArray::number(i) + "]\nk=v" + QByteArray::number(i) + "\n";
    Put(text);
    const qint64 fileBytes = text.size();
    text = QByteArray();

    const TPeakMemoryGrowth growth;
    TIniFile ini(Path);
    EXPECT_EQ(ini.ReadString("s199999", "K", ""), "v199999");
    EXPECT_EQ(ini.ReadString("S0", "k", ""), "v0");
    EXPECT_EQ(ini.ReadSectionValues("S100000"), QStringList({"k=v100000"}));
    EXPECT_FALSE(ini.SectionExists("S200000"));
    ini.WriteString("S150000", "k2", "x");
    EXPECT_EQ(TIniFile(Path).ReadSection("S150000"), QStringList({"k", "k2"}));
    // Generous for a sanitizer's quarantine and the copies a write holds; kilobytes per section would
    // be hundreds of MiB.
    EXPECT_LT(growth.Bytes(), 24 * fileBytes) << "a file of " << fileBytes << " bytes";
}

// Names beyond ASCII follow the full reading rules (Unicode blanks dropped, letter case folded) and
// meet plain ASCII names of the same section in one index.
TEST_F(IniFileTest, NamesBeyondAsciiShareTheIndexWithPlainOnes) {
    Put("[Settings]\nA=1\n\xC2\xA0[settings]\xC2\xA0\nB=2\n[\xC3\x9C"
        "ber]\n\xC3\x84rger=3\nk=4\n"
        "[ \xC3\xBC"
        "BER ]\n\xC3\xA4RGER=5\nK=6\nz\xC2\xA0=7\n");
    const TIniFile ini(Path);
    EXPECT_EQ(ini.ReadSection("SETTINGS"), QStringList({"A", "B"}));
    EXPECT_EQ(ini.ReadString("\u00fcber", "\u00e4rger", ""), "3");
    EXPECT_EQ(ini.ReadString("\u00dcBER", "K", ""), "4");
    EXPECT_EQ(ini.ReadString("\u00fcber", "z", ""), "7");
    EXPECT_EQ(ini.ReadSection("\u00fcber"), QStringList({"\u00c4rger", "k", "z"}));
}

// A large file is kept indexed between objects while it stays the same on disk; what another program
// writes to it is read, whether it keeps the size or not.
TEST_F(IniFileTest, ALargeFileChangedByAnotherProgramIsReadAgain) {
    const QByteArray padding(2 << 20, '\n');
    const auto age = [&] {
        // Written long ago, as a settings file usually is.
        const timespec times[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(Path).constData(), times, 0), 0);
    };
    Put("[S]\nK=1\n" + padding);
    age();
    EXPECT_EQ(TIniFile(Path).ReadString("S", "K", ""), "1");
    EXPECT_EQ(TIniFile(Path).ReadString("S", "K", ""), "1");
    Put("[S]\nK=2\n" + padding);
    EXPECT_EQ(TIniFile(Path).ReadString("S", "K", ""), "2") << "the same size, just written";
    age();
    EXPECT_EQ(TIniFile(Path).ReadString("S", "K", ""), "2");
    Put("[S]\nK=33\n" + padding);
    age();
    EXPECT_EQ(TIniFile(Path).ReadString("S", "K", ""), "33") << "another size, left alone since";
    // A write of this process is seen by the next object at once.
    TIniFile(Path).WriteString("S", "K", "4");
    EXPECT_EQ(TIniFile(Path).ReadString("S", "K", ""), "4");
}

// A write updates the object's index in place of parsing the file again: after every write it must
// read exactly as a fresh object that parses the file does, whatever the file looked like.
TEST_F(IniFileTest, AnIndexUpdatedByWritesReadsAsAFreshParse) {
    const QByteArray starts[] = {
        "",
        "[A]\nk=1",
        "[A]\r\nk=1\r\n; end\r\n",
        "; lead\n[A]\nk=1\n\n[B]\nx=2\n[a]\nlater=3\n; tail",
        "\xEF\xBB\xBF[\xC3\x9C"
        "ber]\n\xC3\xA4=1\n[A]\n",
        "[A]\nk=1\n[B]",
        // Large enough to be kept indexed between objects: the writes then build on the updated index.
        "[A]\nk=1\n;" + QByteArray(1 << 20, 'x') + "\n[B]\nx=2",
        ";" + QByteArray(1 << 20, 'x'),
    };
    const QStringList sections = {"A", "B", "C", "\u00dcber", "Neu"};
    struct TWrite {
        const char* Section;
        const char* Key;
        const char* Value;
    } writes[] = {
        {"A", "k", "a much longer value than before"},
        {"A", "k", ""},
        {"A", "new", " padded "},
        {"B", "x", "22"},
        {"C", "c1", "1"},
        {"c", "c2", "'q'"},
        {"\u00fcBER", "\u00c4", "2"},
        {"Neu", "\u00df", "3"},
        {"A", "later", "4"},
        {"B", "y", "5"},
        {"A", "new", "6"},
        {"C", "c1", "7"},
    };
    for (const QByteArray& start : starts) {
        SCOPED_TRACE(start.toStdString());
        Put(start);
        TIniFile ini(Path);
        for (const TWrite& w : writes) {
            SCOPED_TRACE(std::string(w.Section) + "/" + w.Key);
            ini.WriteString(QString::fromUtf8(w.Section), QString::fromUtf8(w.Key),
                            QString::fromUtf8(w.Value));
            // A copy is parsed anew: nothing is known of it.
            const QString copy = Dir.filePath("copy.ini");
            QFile::remove(copy);
            ASSERT_TRUE(QFile::copy(Path, copy));
            const TIniFile parsed(copy);
            for (const QString& section : sections) {
                EXPECT_EQ(ini.SectionExists(section), parsed.SectionExists(section)) << section.toStdString();
                EXPECT_EQ(ini.ReadSectionValues(section), parsed.ReadSectionValues(section))
                    << section.toStdString();
            }
            EXPECT_EQ(ini.ReadString(QString::fromUtf8(w.Section), QString::fromUtf8(w.Key), "<none>"),
                      QString::fromUtf8(w.Value));
        }
    }
}
