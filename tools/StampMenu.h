#pragma once

#include <QString>
#include <functional>

class QAction;
class QMenu;
class TIniFile;

// Fills a drawing view's image-stamp menu from the stamp keys "Image0" to "Image9" of a settings
// section: one radio item per existing picture, its caption the file's path, its shortcut
// Shift+Ctrl+slot (the slot, not the place in the menu) and its Tag the transparency flag. The
// items that were there go first; a value without folder names a file in the program's folder.
// The menu is enabled when it has items.
void FillStampMenu(QMenu* images, const TIniFile& ini, const QString& section,
                   const std::function<QString(int slot)>& defaultEntry, const QString& programFolder,
                   const std::function<void(QAction* item)>& onClick);
