#pragma once

#include "platform/Colors.h"

#include <cstdint>

// One point with the pen width and colour of the segment it ends; not a step.
class TMove {
public:
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    TColor Color = 0;
};
