#pragma once

#include <QString>

// Outcome of MoveFileOver: empty Message on success, else the system's text for what failed.
struct TMoveResult {
    bool Ok = false;
    int Error = 0; // errno of the step that failed
    QString Message;
};

// Puts the file source in place of target, so that whoever opens target at any moment, an
// interruption or a full disk included, finds either the whole old file or the whole new one.
// On one file system that is a rename. Across file systems the data are first copied beside the
// target (a "~Qz" number ".tmp" file in the target's folder), pushed to the disk, and then renamed
// over it; source is removed only after that. The new file takes the permissions of the file it
// replaces (its owner too, where the system allows), or the usual ones of a new file. A target that is
// a symbolic link keeps the link: the file it points to is replaced. On failure nothing of ours is
// left beside the target, target is as it was, and source still holds the data.
TMoveResult MoveFileOver(const QString& source, const QString& target);
