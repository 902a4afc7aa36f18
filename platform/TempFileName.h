#pragma once

#include <QString>

// A new file in the temporary folder, named "~Qz" + a decimal number + extension, the number being the
// first from 0 up whose name is free. The file is created empty (readable by its owner only) in the
// same step that finds the name free, so two programs never choose the same one; the caller removes it.
// Empty when every number from 0 to 32767 is taken or the folder cannot hold a new file.
QString MakeTempFileName(const QString& extension);

// The same in a given folder, for files that must lie on a given file system.
QString MakeTempFileNameIn(const QString& folder, const QString& extension);

// The file itself, left open for writing: the descriptor, or -errno when none could be made (-EEXIST
// when every number is taken); name receives the file's name.
int CreateTempFileIn(const QString& folder, const QString& extension, QString& name);
