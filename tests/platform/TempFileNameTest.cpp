#include "platform/TempFileName.h"
#include "platform/KnownFolders.h"
#include "support/FaultInjection.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// The temporary folder follows TMPDIR: each test gets its own.
class TempFileNameTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    fault::TTempFolderScope Temp{Dir.path()};
};

} // namespace

TEST_F(TempFileNameTest, FirstFreeNumberIsCreatedAndTaken) {
    const QString first = MakeTempFileName(".avi");
    EXPECT_EQ(first, Dir.path() + "/~Qz0.avi");
    EXPECT_TRUE(QFileInfo(first).isFile());
    EXPECT_EQ(QFileInfo(first).size(), 0);
    EXPECT_EQ(MakeTempFileName(".avi"), Dir.path() + "/~Qz1.avi");
    // A name taken by anyone else, even a folder, is passed over.
    QDir(Dir.path()).mkdir("~Qz2.avi");
    EXPECT_EQ(MakeTempFileName(".avi"), Dir.path() + "/~Qz3.avi");
    QFile::remove(first);
    EXPECT_EQ(MakeTempFileName(".avi"), first);
    EXPECT_EQ(MakeTempFileName(".bmp"), Dir.path() + "/~Qz0.bmp");
}

// A link planted under a free name must not lead the writer into another file.
TEST_F(TempFileNameTest, PlantedLinkIsPassedOver) {
    const QString victim = Dir.path() + "/victim";
    ASSERT_TRUE(fault::WriteAll(victim, "keep"));
    ASSERT_EQ(::symlink(QFile::encodeName(victim).constData(),
                        QFile::encodeName(Dir.path() + "/~Qz0.avi").constData()),
              0);
    EXPECT_EQ(MakeTempFileName(".avi"), Dir.path() + "/~Qz1.avi");
    EXPECT_EQ(fault::ReadAll(victim), "keep");
}

// Several programs choosing at once never get the same file.
TEST_F(TempFileNameTest, ProgramsChoosingTogetherGetDistinctFiles) {
    constexpr int Programs = 6, Each = 40;
    std::vector<pid_t> children;
    for (int p = 0; p < Programs; ++p) {
        const pid_t child = fork();
        if (child == 0) {
            for (int i = 0; i < Each; ++i) {
                const QString name = MakeTempFileName(".avi");
                if (name.isEmpty()) _exit(1);
                // Each writes its mark: a file handed to two programs would show two marks.
                QFile f(name);
                if (!f.open(QIODevice::Append)) _exit(2);
                f.write(QByteArray::number(p) + "\n");
            }
            _exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const QStringList names = QDir(Dir.path()).entryList({"~Qz*.avi"}, QDir::Files);
    EXPECT_EQ(names.size(), Programs * Each);
    for (const QString& n : names)
        EXPECT_EQ(fault::ReadAll(Dir.path() + "/" + n).count('\n'), 1) << n.toStdString();
}

TEST_F(TempFileNameTest, NoNameWhenTheFolderRefusesOrEveryNumberIsTaken) {
    const QString refusing = Dir.path() + "/ro";
    fault::TReadOnlyFolder readOnly(refusing, [](const QString&) {});
    if (readOnly.Ok()) EXPECT_EQ(MakeTempFileNameIn(refusing, ".avi"), QString());
    EXPECT_EQ(MakeTempFileNameIn(Dir.path() + "/missing", ".avi"), QString());

    const QString full = Dir.path() + "/full";
    QDir().mkpath(full);
    for (int n = 0; n <= 32767; ++n) {
        QFile f(full + "/~Qz" + QString::number(n) + ".avi");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(MakeTempFileNameIn(full, ".avi"), QString());
    QFile::remove(full + "/~Qz32767.avi");
    EXPECT_EQ(MakeTempFileNameIn(full, ".avi"), full + "/~Qz32767.avi");
}

namespace {

// TMPDIR set to value (unset for none) for as long as it lives.
class TTmpDirValue {
public:
    explicit TTmpDirValue(const char* value)
        : Had(qEnvironmentVariableIsSet("TMPDIR")), Saved(qgetenv("TMPDIR")) {
        if (value)
            qputenv("TMPDIR", value);
        else
            qunsetenv("TMPDIR");
    }
    ~TTmpDirValue() {
        if (Had)
            qputenv("TMPDIR", Saved);
        else
            qunsetenv("TMPDIR");
    }

private:
    bool Had;
    QByteArray Saved;
};

} // namespace

// The temporary folder is TMPDIR only when that names an existing folder; anything else would put
// the temporary files in the root folder, or nowhere.
TEST_F(TempFileNameTest, TheFolderIsTmpDirWhenItIsAFolderElseTmp) {
    const QString file = Dir.path() + "/plain";
    ASSERT_TRUE(fault::WriteAll(file, "x"));
    QDir().mkpath(Dir.path() + "/sub");
    const struct {
        QByteArray Value;
        bool Set;
        QString Expected;
    } cases[] = {
        {QFile::encodeName(Dir.path()), true, Dir.path()},
        {QFile::encodeName(Dir.path() + "/sub/"), true, Dir.path() + "/sub"},
        {QFile::encodeName(Dir.path() + "/missing"), true, "/tmp"},
        {QFile::encodeName(file), true, "/tmp"},
        {"", true, "/tmp"},
        {"", false, "/tmp"},
    };
    for (const auto& c : cases) {
        const TTmpDirValue value(c.Set ? c.Value.constData() : nullptr);
        EXPECT_EQ(GetTempFolder(), c.Expected) << c.Value.constData() << " set " << c.Set;
    }
}

TEST_F(TempFileNameTest, AMissingTmpDirPutsTheFileInTmp) {
    const TTmpDirValue value(QFile::encodeName(Dir.path() + "/missing").constData());
    const QString name = MakeTempFileName(".avi");
    ASSERT_FALSE(name.isEmpty());
    EXPECT_EQ(QFileInfo(name).absolutePath(), "/tmp") << name.toStdString();
    EXPECT_TRUE(QFileInfo(name).isFile());
    QFile::remove(name);
    EXPECT_FALSE(QFileInfo::exists(Dir.path() + "/missing"));
}
