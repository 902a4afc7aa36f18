#pragma once

#include <csignal>
#include <sys/resource.h>

// A file size limit makes writes fail part-way, as a disk filling up during a recording does, for as
// long as the object lives: the process's file-size limit, with the signal that would end the process
// at the limit ignored.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &Saved);
        OldHandler = std::signal(SIGXFSZ, SIG_IGN); // the write then fails with EFBIG instead
        rlimit limit = Saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &Saved);
        std::signal(SIGXFSZ, OldHandler);
    }

private:
    rlimit Saved{};
    void (*OldHandler)(int) = nullptr;
};
