#pragma once

#include "CursorEntry.h"
#include "CursorFrame.h"

#include <QString>
#include <memory>

// Tavelin's pointer of layer 1 to 5: a yellow and olive arrow with a black outline, its tip (the hot
// spot) at the top-left pixel, and the layer's digit below and to the right of it.
TCursorFrame LayerPointerFrame(int layer);

// The default arrow, for the picture of a cursor-table entry that holds nothing.
TCursorFrame DefaultArrowFrame();

// The cursors compiled into Tavelin by resource name, "CURSOR1" to "CURSOR5" (any letter case, as
// resource names go); nothing for another name.
std::unique_ptr<TCursorEntry> LoadCursorResource(const QString& name);
