#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// The program's own pictures, drawn in code so that every size stays crisp: the application icon and
// the capture icons "IconPause", "IconPlay", "IconStop" and "IconStopBl" (32 x 32).
QIcon ApplicationIcon();
QImage ApplicationIconImage(int size);
// An empty icon for a name the program does not carry.
QIcon TrayIconResource(const QString& name);
