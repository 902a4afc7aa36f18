#include "platform/InstanceLock.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(InstanceLock, SecondHolderIsRefusedUntilTheFirstEnds) {
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    {
        TInstanceLock first("QuorvexTest");
        ASSERT_TRUE(first.TryLock());
        TInstanceLock second("QuorvexTest");
        EXPECT_FALSE(second.TryLock());
    }
    TInstanceLock again("QuorvexTest");
    EXPECT_TRUE(again.TryLock());
}

TEST(InstanceLock, LockOfACrashedProcessDoesNotBlock) {
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const pid_t child = fork();
    if (child == 0) {
        TInstanceLock held("QuorvexCrash");
        held.TryLock();
        _exit(held.TryLock() ? 0 : 1); // ends without running any destructor
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    TInstanceLock next("QuorvexCrash");
    EXPECT_TRUE(next.TryLock());
}
