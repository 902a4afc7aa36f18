#pragma once

#include "CursorFrame.h"

#include <QByteArray>
#include <QString>
#include <climits>
#include <cstdint>
#include <vector>

// Milliseconds for a display rate in jiffies (1/60 s), with integer division: 10 jiffies give 166 ms.
inline int RateToInterval(int32_t rate) {
    return static_cast<int>(int64_t(rate) * 1000 / 60);
}

// What an animated cursor file (RIFF "ACON") holds once it has been checked: the steps of the
// animation, each with its display rate and the picture it shows, and the pictures themselves.
struct TAniFile {
    int32_t StepCount = 0;
    int32_t DefaultRate = 0;         // jiffies (1/60 s), from the header
    std::vector<int32_t> Rates;      // StepCount entries, jiffies
    std::vector<int32_t> Seq;        // StepCount entries, each an index into Icons
    std::vector<TCursorFrame> Icons; // the "icon" chunks of the "LIST" "fram" chunk, in file order

    // Milliseconds that step i stays on screen; 0 when its rate is 0, which rests the animation.
    int IntervalMs(int step) const { return RateToInterval(Rates[step]); }
};

// Limits against hostile files. No animated cursor comes near them: a long one has a few hundred
// steps and frames and weighs a few megabytes.
constexpr qint64 kMaxCursorFileBytes = 32 * 1024 * 1024;
constexpr int32_t kMaxAniSteps = 65536;
constexpr int kMaxAniFrames = 1024;
// The largest rate whose interval in milliseconds (rate * 1000 / 60) still fits the timer's int.
constexpr int32_t kMaxAniRate = INT32_MAX / 1000;

// Reads and checks the whole file. Throws EFOpenError or EReadError when the file cannot be read and
// EInvalidAni for anything that is not a complete, consistent animated cursor.
TAniFile ReadAniFile(const QString& fileName);
TAniFile ParseAniData(const QByteArray& data);

// The whole of a cursor file, read at once; empty when the file is larger than kMaxCursorFileBytes,
// which no cursor file is. Throws EFOpenError or EReadError as above.
QByteArray ReadCursorFileBytes(const QString& fileName);
bool IsRiffData(const QByteArray& data);
