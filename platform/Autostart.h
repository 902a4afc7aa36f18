#pragma once

#include <QString>

// Starting a program when the user logs in: an XDG autostart entry whose Exec holds the quoted
// executable path. The entry exists exactly while the option is on.
class TAutostart {
public:
    // The entry's file, e.g. "Tavelin3" gives $XDG_CONFIG_HOME/autostart/Tavelin3.desktop.
    static QString EntryPath(const QString& name);
    static bool IsEnabled(const QString& name);
    // The executable path of the entry, or empty.
    static QString Command(const QString& name);
    // Writes or removes the entry; false when the file system refused.
    static bool Enable(const QString& name, const QString& executable, const QString& displayName);
    static bool Disable(const QString& name);
};
