#pragma once

#include <QFile>
#include <QString>

// Opens a file named by the settings, a script or the user for reading, but only a regular file, and
// without ever waiting on it: a FIFO or a device named in their place would otherwise block open() or
// read() for ever, with the program's window unable to answer. On failure the file stays closed and
// reason says why, in the platform's words ("No such file or directory", "Not a regular file").
bool OpenRegularFile(QFile& file, const QString& fileName, QString& reason);
