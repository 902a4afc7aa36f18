#include "SettingsKey.h"

#include "platform/IniFile.h"

#include <algorithm>

QString TTextKey::Read(const TIniFile& ini, const QString& section) const {
    return ini.ReadString(section, Name, Default);
}

void TTextKey::Write(TIniFile& ini, const QString& section, const QString& value) const {
    ini.WriteString(section, Name, value);
}

int TIntKey::Read(const TIniFile& ini, const QString& section) const {
    return std::clamp(ini.ReadInteger(section, Name, Default), Min, Max);
}

void TIntKey::Write(TIniFile& ini, const QString& section, int value) const {
    ini.WriteInteger(section, Name, value);
}

bool TBoolKey::Read(const TIniFile& ini, const QString& section) const {
    return ini.ReadBool(section, Name, Default);
}

void TBoolKey::Write(TIniFile& ini, const QString& section, bool value) const {
    ini.WriteBool(section, Name, value);
}
