#pragma once

#include "support/DesktopSession.h"

#include <QProcess>
#include <QString>
#include <functional>
#include <gtest/gtest.h>

inline constexpr int ScreenWidth = 1024;
inline constexpr int ScreenHeight = 768;

// Tavelin on a desktop of its own with a tray host, settings written before it starts.
class TavelinTray : public ::testing::Test {
protected:
    void SetUp() override;

    // The first-run form is off unless a test wants it.
    void WriteSettings(const QString& lines = "ShowFirst=0\n");

    // Starts the program (the built one, or a copy elsewhere) and waits for its tray icon.
    QProcess* Start(const QString& executable = {});

    int Icons() const;
    bool HasTopLevel(const QString& name) const;
    bool WaitForTopLevel(const QString& name, int timeoutMs = 60000) const;
    // Presses a hot key until the window it opens shows. The tray icon comes before the program has
    // taken its hot keys, and on a loaded machine a key pressed in between is lost.
    bool PressUntilShown(const QString& key, const QString& window);
    // Gives the keyboard to the top-level window of that name and presses a key in it.
    void KeyIn(const QString& name, const QString& key);

    // Pops the tray menu up with the right button on the program's icon.
    void PopTrayMenu();
    bool TryPopTrayMenu();
    // Chooses a tray menu item by its key until what it does has happened: on a loaded machine the key
    // can come before the menu has the keyboard, and the menu stays open or closes without a choice.
    bool ChooseInTrayMenu(const QString& key, const std::function<bool()>& done, int timeoutMs = 30000);
    // The capture key, a file name typed into the save dialog, and the capture icons.
    void StartCapture(const QString& typed);

    // The program's popup menus: popup windows taller than the one-line tip of the tray icon.
    int PopupCount() const;

    TDesktopSession Desktop{ScreenWidth, ScreenHeight};
    bool ClickSide = false;
    unsigned long Icon0 = 0;
};
