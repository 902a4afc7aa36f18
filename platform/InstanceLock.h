#pragma once

#include <QString>

// One copy of a program per user: an exclusive lock on a file in the user's runtime folder, taken in
// one atomic step. The system drops the lock when the process ends, so a crashed copy never blocks the
// next start.
class TInstanceLock {
public:
    explicit TInstanceLock(const QString& name);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    // False when another process holds the lock.
    bool TryLock();
    static QString LockPath(const QString& name);

private:
    QString Path;
    int Fd = -1;
};
