#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using TResult = TInstanceLock::TResult;

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

// "Another user" where the tests run as root or as anyone: the system's unprivileged account.
uid_t OtherUser() {
    const struct passwd* nobody = getpwnam("nobody");
    return nobody ? nobody->pw_uid : 65534;
}

// Without a runtime folder, the lock lives in the shared temporary folder, where another local user
// may have planted names first. The temporary folder here is a test's own, sticky and writable by
// all as the system's is.
class SharedTempLock : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Shared.isValid());
        ASSERT_EQ(chmod(Native(Shared.path()).constData(), 01777), 0);
        SavedTmp = qgetenv("TMPDIR");
        SavedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", Native(Shared.path()));
        qunsetenv("XDG_RUNTIME_DIR");
        LockFile = TInstanceLock::LockPath("QuorvexTest");
        UserFolder = QFileInfo(LockFile).path();
    }
    void TearDown() override {
        qputenv("TMPDIR", SavedTmp);
        if (SavedRuntime.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", SavedRuntime);
    }

    QTemporaryDir Shared;
    QTemporaryDir Elsewhere; // where a planted link leads
    QByteArray SavedTmp, SavedRuntime;
    QString LockFile, UserFolder;
};

} // namespace

TEST(InstanceLock, SecondHolderIsRefusedUntilTheFirstEnds) {
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    {
        TInstanceLock first("QuorvexTest");
        ASSERT_EQ(first.TryLock(), TResult::Locked);
        TInstanceLock second("QuorvexTest");
        EXPECT_EQ(second.TryLock(), TResult::HeldByOther);
        EXPECT_TRUE(second.ErrorText().isEmpty());
    }
    TInstanceLock again("QuorvexTest");
    EXPECT_EQ(again.TryLock(), TResult::Locked);
}

TEST(InstanceLock, LockOfACrashedProcessDoesNotBlock) {
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const pid_t child = fork();
    if (child == 0) {
        TInstanceLock held("QuorvexCrash");
        held.TryLock();
        _exit(held.TryLock() == TResult::Locked ? 0 : 1); // ends without running any destructor
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    TInstanceLock next("QuorvexCrash");
    EXPECT_EQ(next.TryLock(), TResult::Locked);
}

TEST_F(SharedTempLock, LivesInAFolderOnlyTheUserCanWrite) {
    EXPECT_NE(UserFolder, QFileInfo(Shared.path()).absoluteFilePath());
    TInstanceLock lock("QuorvexTest");
    ASSERT_EQ(lock.TryLock(), TResult::Locked);
    struct stat folder {};
    ASSERT_EQ(lstat(Native(UserFolder).constData(), &folder), 0);
    EXPECT_TRUE(S_ISDIR(folder.st_mode));
    EXPECT_EQ(folder.st_uid, getuid());
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_TRUE(QFileInfo(LockFile).isFile());
    TInstanceLock second("QuorvexTest");
    EXPECT_EQ(second.TryLock(), TResult::HeldByOther);
}

// A link planted where the lock file or its folder would be is never followed: nothing is created
// where it leads, and the user is told instead of the program ending as if a copy ran.
TEST_F(SharedTempLock, APlantedLinkIsNotFollowed) {
    const QString target = Elsewhere.filePath("chosen-by-another-user");
    for (const bool linkIsTheFolder : {false, true}) {
        SCOPED_TRACE(linkIsTheFolder ? "a link in the folder's place" : "a link in the lock file's place");
        QDir(UserFolder).removeRecursively();
        QFile::remove(UserFolder);
        if (linkIsTheFolder) {
            ASSERT_EQ(symlink(Native(Elsewhere.path()).constData(), Native(UserFolder).constData()), 0);
        } else {
            ASSERT_EQ(mkdir(Native(UserFolder).constData(), 0700), 0);
            ASSERT_EQ(symlink(Native(target).constData(), Native(LockFile).constData()), 0);
        }
        TInstanceLock lock("QuorvexTest");
        EXPECT_EQ(lock.TryLock(), TResult::Unsafe);
        EXPECT_FALSE(lock.ErrorText().isEmpty());
        EXPECT_FALSE(QFileInfo::exists(target));
        EXPECT_TRUE(QDir(Elsewhere.path()).isEmpty()) << "something was created where the link leads";
    }
}

// The user's folder as someone else may have left it: another user's is refused, one of the user's own
// that others could write to is made private again and used.
TEST_F(SharedTempLock, AFolderOthersCanChangeIsRefusedOrMadePrivate) {
    struct TCase {
        const char* Name;
        mode_t Mode;
        bool Foreign;
        TResult Expected;
    } cases[] = {
        {"another user's folder", 0700, true, TResult::Unsafe},
        {"another user's folder open to all", 0777, true, TResult::Unsafe},
        {"the user's own folder open to all", 0777, false, TResult::Locked},
        {"the user's own folder writable by its group", 0770, false, TResult::Locked},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QDir(UserFolder).removeRecursively();
        ASSERT_EQ(mkdir(Native(UserFolder).constData(), 0700), 0);
        ASSERT_EQ(chmod(Native(UserFolder).constData(), c.Mode), 0);
        if (c.Foreign) {
            ASSERT_EQ(chown(Native(UserFolder).constData(), OtherUser(), gid_t(-1)), 0);
        }
        {
            TInstanceLock lock("QuorvexTest");
            EXPECT_EQ(lock.TryLock(), c.Expected);
            EXPECT_EQ(lock.ErrorText().isEmpty(), c.Expected == TResult::Locked);
        }
        struct stat folder {};
        ASSERT_EQ(lstat(Native(UserFolder).constData(), &folder), 0);
        if (c.Foreign) {
            EXPECT_FALSE(QFileInfo::exists(LockFile)) << "a lock was made in another user's folder";
        } else {
            EXPECT_EQ(folder.st_mode & 0777, 0700u);
        }
    }
}

// A lock file that another user holds (or merely owns) in the user's folder would stop the program for
// good without a word: it is reported instead.
TEST_F(SharedTempLock, ALockFileOfAnotherUserIsReported) {
    ASSERT_EQ(mkdir(Native(UserFolder).constData(), 0700), 0);
    QFile planted(LockFile);
    ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
    planted.close();
    ASSERT_EQ(chown(Native(LockFile).constData(), OtherUser(), gid_t(-1)), 0);
    TInstanceLock lock("QuorvexTest");
    EXPECT_EQ(lock.TryLock(), TResult::Unsafe);
    EXPECT_TRUE(lock.ErrorText().contains(LockFile)) << lock.ErrorText().toStdString();
}
