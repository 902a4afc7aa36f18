#pragma once

#include <QString>
#include <climits>

class TIniFile;

// One key of a settings section, declared once in its section's key table with its value form and
// default. Keys that exist once per layer or per stamp slot are named by the key followed by the
// number ("DrawWidth1", "Image0"): At gives that key.
//
// Reading follows the file's conventions in one place: a missing key gives the default, an integer
// or Boolean value that is not an integer gives the default, and an integer is held to the key's
// bounds.
struct TTextKey {
    QString Name;
    QString Default;
    TTextKey At(int number) const { return {Name + QString::number(number), Default}; }
    QString Read(const TIniFile& ini, const QString& section) const;
    void Write(TIniFile& ini, const QString& section, const QString& value) const;
};

struct TIntKey {
    QString Name;
    int Default = 0;
    int Min = INT_MIN;
    int Max = INT_MAX;
    TIntKey At(int number) const { return {Name + QString::number(number), Default, Min, Max}; }
    int Read(const TIniFile& ini, const QString& section) const;
    void Write(TIniFile& ini, const QString& section, int value) const;
};

// Written "1" or "0", read as an integer, non-zero being true.
struct TBoolKey {
    QString Name;
    bool Default = false;
    TBoolKey At(int number) const { return {Name + QString::number(number), Default}; }
    bool Read(const TIniFile& ini, const QString& section) const;
    void Write(TIniFile& ini, const QString& section, bool value) const;
};
