#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The version data each program carries in place of an executable's version resource: compiled in
// from the CMake project, one table per program.

enum class TProgram { Tavelin, Framory };

struct TVersionValue {
    QString Key;
    QString Value;
};
using TVersionTable = std::vector<TVersionValue>;

// The keys the about box reads, in the order it reads them.
const QStringList& VersionKeys();

// The table compiled into a program. A key with no value is left out: the program does not hold it.
TVersionTable ProgramVersionTable(TProgram program);

// The running executable's table: the one chosen with SetApplicationVersionTable, else the table of
// the program the executable is named after ("Tavelin" or "Framory"), else none (an empty table).
TVersionTable ApplicationVersionTable();
// Chooses the table for this process (tests, or an entry that wants to be explicit); std::nullopt
// goes back to choosing by the executable's name.
void SetApplicationVersionTable(std::optional<TVersionTable> table);

// The value of a key in a table, the key compared without regard to case; empty when it is absent.
QString VersionValue(const TVersionTable& table, const QString& key);
