#pragma once

#include "platform/Font.h"

// The font dialogs let any size be typed: a size below minSize is raised to it, then one above maxSize
// lowered to it, each after its error box ("Font size less than minimum.\r\nUsing 4 as font size").
void HoldFontSize(TFont& font, int minSize, int maxSize);
