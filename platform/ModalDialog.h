#pragma once

class QDialog;
class QWidget;

// Makes a top-level window transient for the window of `owner`, so that it stays in front of it even
// when the owner covers the screen or is hidden. A null owner leaves the window as it is.
void MakeTransientFor(QWidget* window, QWidget* owner);

// Shows a dialog modally in front of `owner` (see MakeTransientFor) and returns its result. For
// dialogs made once without a parent and shown from different windows.
int ExecModalOver(QDialog* dialog, QWidget* owner);

// Gives the keyboard back to `owner` (or to the dialog still open on the way to it) each time a dialog
// or message box standing in front of it closes, as it was before the dialog opened. A window manager
// hands the focus of a closed window to a window of its own choosing, and it passes over tool windows
// such as the full-screen drawing window: the next key would reach another program's window.
void KeepActiveAfterDialogs(QWidget* owner);

// Places a window in the middle of the primary screen, as a form centred on the screen opens.
void CenterOnScreen(QWidget* window);
