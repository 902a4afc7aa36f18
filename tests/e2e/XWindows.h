#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>
#include <QString>
#include <vector>

class TDesktopSession;

// What an end-to-end test sees of the windows on its private X server.
struct TXWindow {
    unsigned long Id = 0;
    QString Name;                  // WM_NAME
    QString Class;                 // WM_CLASS class part
    QRect Geometry;                // on the root window
    bool TopLevel = false;         // a child of the root; tray icons are inside the tray host instead
    bool OverrideRedirect = false; // popup menus and tips
};

// Every mapped and viewable window, top-levels and their descendants.
std::vector<TXWindow> ViewableWindows(const QString& display);
// The viewable top-level windows named so (dialogs, message boxes, the first-run form).
std::vector<TXWindow> TopLevelsNamed(const QString& display, const QString& name);
// The viewable windows named so at any depth: under a window manager a program's windows stand inside
// the frames it puts around them, not on the root. Popup menus and tips are left out.
std::vector<TXWindow> ClientWindowsNamed(const QString& display, const QString& name);
// The window that the window manager says has the keyboard (_NET_ACTIVE_WINDOW); 0 when none.
unsigned long ActiveWindow(const QString& display);
// A program's icons in the tray: its viewable windows docked inside the tray host, in dock order.
std::vector<TXWindow> TrayIconsOf(const QString& display, const QString& programClass);

// The pointer's picture as the server shows it now, hot spot left out; null when the display cannot
// be opened.
QImage PointerImage(const QString& display);

// The largest picture of a window's _NET_WM_ICON, the icon a window manager and a task bar show for
// it; null when the window has none.
QImage WindowIcon(const QString& display, unsigned long window);

// The clipboard's text as another program reads it (xclip); empty when no program holds it.
QString ClipboardText(const QString& display);

// Opens a file through the open dialog of the top-level window of that name (Ctrl+O), as a user types
// its path; false when the window or its dialog does not show.
bool OpenThroughDialog(const TDesktopSession& desktop, const QString& window, const QString& file);

// Clicks the n-th word of a window's menu bar (0 "File", 1 "Edit", ...), found as a run of columns with
// text in the window's top strip; false when the bar shows fewer words.
bool ClickMenuWord(const TDesktopSession& desktop, const QRect& window, int word);

// Holds a key with modifiers on the root window for as long as it lives, as another program that
// took a global hot key first would.
class TForeignKeyGrab {
public:
    TForeignKeyGrab(const QString& display, const char* keysymName, unsigned modifiers);
    ~TForeignKeyGrab();
    TForeignKeyGrab(const TForeignKeyGrab&) = delete;
    TForeignKeyGrab& operator=(const TForeignKeyGrab&) = delete;
    // False when the server refused the grab: someone else holds the key.
    bool Held() const { return Ok; }

private:
    void* Connection = nullptr;
    bool Ok = false;
};

// A plain window of the test's own, without a frame, filled with one colour that the test changes: a
// program whose picture changes while the screen is recorded.
class TColourWindow {
public:
    TColourWindow(const QString& display, const QRect& geometry);
    ~TColourWindow();
    TColourWindow(const TColourWindow&) = delete;
    TColourWindow& operator=(const TColourWindow&) = delete;
    bool Shown() const { return Id != 0; }
    // The whole window takes the colour at once; the server repaints it so after every expose.
    void Fill(QRgb colour);

private:
    void* Connection = nullptr;
    unsigned long Id = 0;
};
