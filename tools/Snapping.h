#pragma once

// The snapping rules of the line, rectangle and ellipse tools, shared by both programs' drawing
// surfaces. Each takes the start point and moves the end point in place.

// Horizontal, vertical or 45 degrees, whichever the dragged angle is nearest.
void SnapLineAngle(int X0, int Y0, int& X1, int& Y1);
// The end point on the 45-degree diagonal through the start, on the pointer's side, at the dragged
// length.
void SnapDiagonal(int X0, int Y0, int& X1, int& Y1);
// Both sides take the shorter length, in the direction of the drag.
void MakeSquare(int X0, int Y0, int& X1, int& Y1);
