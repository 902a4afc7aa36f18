#pragma once

class QWidget;

// The application's main form: the first form the entry creates (Tavelin's options window,
// Framory's main window). The about box takes its caption from it. The entry sets it explicitly.
void SetMainForm(QWidget* form);
// The main form, or nullptr when none is set or it is gone.
QWidget* MainForm();
