#include "platform/FileMove.h"
#include "support/FaultInjection.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using fault::ReadAll;
using fault::WriteAll;

namespace {

mode_t ModeOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

QByteArray Pattern(int size, char seed) {
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char(seed + i * 7 + (i >> 9));
    return data;
}

QStringList LeftOvers(const QString& folder) {
    return QDir(folder).entryList({"~Qz*"}, QDir::Files | QDir::Hidden);
}

struct TMoveCase {
    const char* Name;
    bool OtherFileSystem;
    bool TargetExists;
};

class FileMoveCases : public ::testing::TestWithParam<TMoveCase> {};

} // namespace

TEST_P(FileMoveCases, TargetGetsTheNewDataAndKeepsItsPermissions) {
    const TMoveCase c = GetParam();
    QTemporaryDir sourceDir;
    fault::TOtherFileSystemFolder other(sourceDir.path(), sourceDir.path() + "-mnt");
    if (c.OtherFileSystem && other.path().isEmpty()) GTEST_SKIP() << "no second file system here";
    const QString targetFolder = c.OtherFileSystem ? other.path() : sourceDir.path() + "/out";
    QDir().mkpath(targetFolder);

    const QString source = sourceDir.path() + "/~Qz0.avi";
    const QString target = targetFolder + "/movie.avi";
    const QByteArray fresh = Pattern(3 << 20, 'n');
    ASSERT_TRUE(WriteAll(source, fresh));
    ::chmod(QFile::encodeName(source).constData(), 0600);
    if (c.TargetExists) {
        ASSERT_TRUE(WriteAll(target, "old"));
        ::chmod(QFile::encodeName(target).constData(), 0640);
    }

    const TMoveResult result = MoveFileOver(source, target);
    ASSERT_TRUE(result.Ok) << result.Message.toStdString();
    EXPECT_EQ(ReadAll(target), fresh);
    EXPECT_FALSE(QFileInfo::exists(source));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(ModeOf(target), c.TargetExists ? mode_t(0640) : (0666 & ~mask));
    EXPECT_TRUE(LeftOvers(targetFolder).isEmpty()) << LeftOvers(targetFolder).join(",").toStdString();
}

INSTANTIATE_TEST_SUITE_P(, FileMoveCases,
                         ::testing::Values(TMoveCase{"SameFileSystemOverOld", false, true},
                                           TMoveCase{"SameFileSystemNew", false, false},
                                           TMoveCase{"OtherFileSystemOverOld", true, true},
                                           TMoveCase{"OtherFileSystemNew", true, false}),
                         [](const auto& info) { return info.param.Name; });

TEST(FileMove, LinkStaysALinkAndItsFileIsReplaced) {
    QTemporaryDir dir;
    const QString real = dir.path() + "/real.avi", link = dir.path() + "/link.avi";
    ASSERT_TRUE(WriteAll(real, "old"));
    ASSERT_EQ(::symlink("real.avi", QFile::encodeName(link).constData()), 0);
    ASSERT_TRUE(WriteAll(dir.path() + "/new", "new"));
    ASSERT_TRUE(MoveFileOver(dir.path() + "/new", link).Ok);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadAll(real), "new");
}

// A full disk while the copy is written on the other file system: the target keeps every byte, and
// nothing of the attempt is left beside it.
TEST(FileMove, FullDiskAcrossFileSystemsLeavesTheTargetIntact) {
    QTemporaryDir sourceDir;
    fault::TOtherFileSystemFolder other(sourceDir.path(), sourceDir.path() + "-mnt");
    if (other.path().isEmpty()) GTEST_SKIP() << "no second file system here";
    const QString source = sourceDir.path() + "/~Qz0.avi", target = other.path() + "/movie.avi";
    const QByteArray old = Pattern(100000, 'o'), fresh = Pattern(2 << 20, 'n');
    ASSERT_TRUE(WriteAll(source, fresh));
    ASSERT_TRUE(WriteAll(target, old));

    const int error = fault::RunInChild(
        [&] {
            const TMoveResult r = MoveFileOver(source, target);
            return r.Ok ? 0 : r.Error;
        },
        1 << 20);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(ReadAll(target), old);
    EXPECT_EQ(ReadAll(source), fresh);
    EXPECT_TRUE(LeftOvers(other.path()).isEmpty());
}

TEST(FileMove, ReadOnlyFolderLeavesTheTargetIntact) {
    QTemporaryDir sourceDir;
    const QByteArray old = Pattern(5000, 'o');
    const QString folder = sourceDir.path() + "/ro";
    fault::TReadOnlyFolder readOnly(folder, [&](const QString& f) { WriteAll(f + "/movie.avi", old); });
    if (!readOnly.Ok()) GTEST_SKIP() << "no read-only folder can be made here";
    const QString source = sourceDir.path() + "/~Qz0.avi";
    ASSERT_TRUE(WriteAll(source, "new"));

    const TMoveResult result = MoveFileOver(source, folder + "/movie.avi");
    EXPECT_FALSE(result.Ok);
    EXPECT_FALSE(result.Message.isEmpty());
    EXPECT_EQ(ReadAll(folder + "/movie.avi"), old);
    EXPECT_EQ(ReadAll(source), "new");
}

// The move killed at any moment of the copy across file systems: whoever opens the target afterwards
// finds the whole old file or the whole new one.
TEST(FileMove, KilledAtAnyMomentTargetIsOldOrNew) {
    QTemporaryDir sourceDir;
    fault::TOtherFileSystemFolder other(sourceDir.path(), sourceDir.path() + "-mnt");
    if (other.path().isEmpty()) GTEST_SKIP() << "no second file system here";
    const QString source = sourceDir.path() + "/~Qz0.avi", target = other.path() + "/movie.avi";
    const QByteArray old = Pattern(1 << 20, 'o'), fresh = Pattern(48 << 20, 'n');

    // One undisturbed move tells how long the window to hit is.
    ASSERT_TRUE(WriteAll(source, fresh));
    ASSERT_TRUE(WriteAll(target, old));
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(fault::RunInChild([&] { return MoveFileOver(source, target).Ok ? 0 : 1; }), 0);
    const auto span =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started)
            .count();

    int sawOld = 0, sawNew = 0;
    for (int trial = 0; trial < 20; ++trial) {
        ASSERT_TRUE(WriteAll(source, fresh));
        ASSERT_TRUE(WriteAll(target, old));
        const auto delay = std::chrono::microseconds(QRandomGenerator::global()->bounded(qint64(span) + 1));
        const pid_t child = fork();
        if (child == 0) _exit(MoveFileOver(source, target).Ok ? 0 : 1);
        std::this_thread::sleep_for(delay);
        ::kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const QByteArray now = ReadAll(target);
        ASSERT_TRUE(now == old || now == fresh) << "trial " << trial << ": " << now.size() << " bytes";
        (now == old ? sawOld : sawNew) += 1;
        for (const QString& left : LeftOvers(other.path()))
            QFile::remove(other.path() + "/" + left);
    }
    RecordProperty("old", sawOld);
    RecordProperty("new", sawNew);
}
