#pragma once

#include "cursors/CursorEntry.h"

#include <QString>
#include <memory>

// The pointers compiled into Framory by resource name, "CURSOR1" to "CURSOR6" (any letter case): the
// frame view's pointer for each drawing tool, the arrow with the tool's sign beside its tip (1
// freehand, 2 line, 3 rectangle, 4 ellipse, 5 text, 6 image stamp). Nothing for another name.
std::unique_ptr<TCursorEntry> LoadEditorCursorResource(const QString& name);
