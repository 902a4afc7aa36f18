#pragma once

// What each hostile-file test measures and prints: one row of a table per file, the time until the
// program answered and the program's whole peak memory.
#include <QString>
#include <QtGlobal>
#include <cstdio>

// A program's whole peak. AddressSanitizer keeps freed memory in quarantine and adds its shadow, so a
// sanitizer build's peak is several times the program's own.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr qint64 PeakLimitKiB = 2048 * 1024;
#else
inline constexpr qint64 PeakLimitKiB = 512 * 1024;
#endif

inline void PrintHostileTableHead(const char* answer) {
    std::printf("| File kind | Malformation | %s | Time | Peak memory (VmHWM) |\n|---|---|---|---|---|\n",
                answer);
    std::fflush(stdout);
}

inline void PrintHostileRow(const char* kind, const char* malformation, const QString& shown, qint64 ms,
                            qint64 peakKiB) {
    std::printf("| %s | %s | %s | %lld ms | %lld MiB |\n", kind, malformation, qPrintable(shown),
                (long long)ms, (long long)(peakKiB >> 10));
    std::fflush(stdout);
}
