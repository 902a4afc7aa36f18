#pragma once

#include <QString>

// One copy of a program per user: an exclusive lock on a file in a folder only the user can write,
// taken in one atomic step. The system drops the lock when the process ends, so a crashed copy never
// blocks the next start.
//
// The folder is the user's runtime folder, or else a folder of the user's own in the shared temporary
// folder. There other users can plant names ahead of us, so nothing in the lock's way is trusted: a
// folder or lock file that another user owns, or a symbolic link, is never used (a link would make us
// create a file where its owner chose, a lock file someone else holds would stop us for good).
class TInstanceLock {
public:
    enum class TResult {
        Locked,      // this process holds the lock now
        HeldByOther, // another copy of the program runs
        Unsafe,      // the lock's folder or file is not the user's own: see ErrorText
    };

    explicit TInstanceLock(const QString& name);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    TResult TryLock();
    // Why the lock could not be taken safely, for the user; empty unless TryLock answered Unsafe.
    const QString& ErrorText() const { return Error; }
    // Where the lock of that name is kept for this user.
    static QString LockPath(const QString& name);

private:
    QString Path;
    QString Error;
    int Fd = -1;
};
