#pragma once

class QDialog;
class QWidget;

// Makes a top-level window transient for the window of `owner`, so that it stays in front of it even
// when the owner covers the screen or is hidden. A null owner leaves the window as it is.
void MakeTransientFor(QWidget* window, QWidget* owner);

// Shows a dialog modally in front of `owner` (see MakeTransientFor) and returns its result. For
// dialogs made once without a parent and shown from different windows.
int ExecModalOver(QDialog* dialog, QWidget* owner);

// Places a window in the middle of the primary screen, as a form centred on the screen opens.
void CenterOnScreen(QWidget* window);
