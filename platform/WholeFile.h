#pragma once

#include <QByteArray>
#include <QString>

// Writes the data to a temporary file beside the target, which then replaces it: a write that fails
// half-way leaves an existing file as it was. Answers empty on success, else the message the user
// sees ("Cannot create file ..." or "Cannot write file ...", naming the file and the system's reason).
QString WriteWholeFile(const QString& fileName, const QByteArray& data);

// The same, throwing the caller's own error class with that message.
template <class TError> void WriteWholeFileOrThrow(const QString& fileName, const QByteArray& data) {
    if (const QString failure = WriteWholeFile(fileName, data); !failure.isEmpty()) throw TError(failure);
}
