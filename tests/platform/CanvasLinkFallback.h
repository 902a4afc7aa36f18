#pragma once

// Pictures draw straight into the canvas's image, so these tests need only a canvas's construction.
// Until the canvas's own implementation is part of the library, this gives the tests one. Include it
// in exactly one source file of a test executable.
#include "platform/Canvas.h"

#if !__has_include("platform/Canvas.cpp")
Canvas::Canvas(QImage& target) : Target(target) {}
Canvas::~Canvas() = default;
#endif
