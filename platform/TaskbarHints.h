#pragma once

class QWidget;

// Asks the window manager and the panels to leave a full-screen window out of the taskbar and the
// pager and to keep it full screen and above the others (_NET_WM_STATE). Being a utility window is
// only a hint that some panels read and others do not; these states are what a panel looks at. Call
// it before every showing: a window manager drops the state of a window that was hidden. Does
// nothing off X11.
void LeaveOutOfTaskbar(QWidget* window);
