#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

// What every fuzz target shares: the application object the readers expect, and a file to hand the
// input to readers that only take a file name.

// A QApplication on Qt's offscreen platform, made once; fonts, cursors and pictures need one. Every
// target's LLVMFuzzerInitialize (defined here) makes it and registers the cursor files' format.
void StartFuzzApplication();

// Writes the input to this process's own file with the given extension (no dot) and returns its path.
// The file is rewritten at every call, in memory-backed storage where there is some.
QString WriteFuzzFile(const uint8_t* data, size_t size, const QString& extension);

inline QByteArray FuzzBytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// A property of a reader that does not hold: report it as a finding.
[[noreturn]] void FuzzFailure(const char* what, const QString& detail = QString());
#define FUZZ_CHECK(condition, detail)                                                                        \
    do {                                                                                                     \
        if (!(condition)) FuzzFailure(#condition, detail);                                                   \
    } while (0)
