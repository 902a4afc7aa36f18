#pragma once

#include <QString>

class QAction;
class QMenu;

// A menu item bound to an action, as the class library links them: the item is a component of its
// own (with its own name, found by name at run time) that shows the action's caption, shortcut text,
// image, tick and enabled state, follows every change of them, and executes the action when clicked.
// The action alone decides the tick: a click never toggles the item by itself. An item given a
// caption of its own keeps it in place of the action's.
QAction* AddActionItem(QMenu* menu, QAction* action, const QString& itemName, const QString& caption = {});
