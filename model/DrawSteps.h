#pragma once

// The annotation model: every kind of draw step and the point class.
#include "DrawStep.h"
#include "EllipseRect.h"
#include "ImageStep.h"
#include "LineStep.h"
#include "Move.h"
#include "MoveList.h"
#include "TextStep.h"
