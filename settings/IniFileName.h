#pragma once

#include <QString>

// Absolute path of the program's settings file: empty until InitIniFileName has run, then fixed for
// the whole run. Every settings read or write opens a fresh TIniFile on it.
extern QString IniFileName;

// Sets IniFileName once, for the running executable (the application object must exist); later calls
// keep the first result.
void InitIniFileName();
void InitIniFileName(const QString& executablePath);

// The settings file of an executable, creating its folder (with any missing parents) when missing;
// a folder that cannot be created is not reported, the first write then fails instead:
//   the configuration folder: $XDG_CONFIG_HOME when it is an absolute path, else ~/.config (from
//     $HOME, else the user's account entry), else, when no home folder is known at all, the
//     executable's own folder;
//   then "Quorvex/";
//   then the executable's file name with ".ini" appended, a final ".exe" (any case) replaced. Linux
//     names carry no extension, so "my.tool" keeps its dot ("my.tool.ini"): two executables with
//     different names never share a settings file.
QString SettingsFilePath(const QString& executablePath);

// What the user is told when the program's settings file exists but cannot be used (too large, not a
// file, unreadable): the program then runs with its defaults and leaves the file as it is. Empty when
// the file can be used or is missing.
QString SettingsFileProblem();
