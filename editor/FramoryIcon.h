#pragma once

#include <QIcon>
#include <QImage>

// Framory's own picture, a strip of film with an annotated frame, drawn in code so that every size
// stays crisp: the windows' icon, the about box's picture and the desktop menu's.
QImage FramoryIconImage(int size);
QIcon FramoryIcon();
