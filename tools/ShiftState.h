#pragma once

#include <Qt>

// The state a mouse event reports: the Shift, Alt and Ctrl keys and the mouse buttons held. A state
// that is "exactly" some keys and buttons compares the whole set; a test of one key looks at it alone.
enum TShiftFlag : unsigned {
    ssShift = 0x01,
    ssAlt = 0x02,
    ssCtrl = 0x04,
    ssLeft = 0x08,
    ssRight = 0x10,
    ssMiddle = 0x20,
};
using TShiftState = unsigned;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// The buttons the drawing views answer; others (back, forward) are no mouse button to them.
inline bool IsMouseButton(Qt::MouseButton button) {
    return button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton;
}

inline TMouseButton MouseButtonOf(Qt::MouseButton button) {
    switch (button) {
    case Qt::RightButton:
        return mbRight;
    case Qt::MiddleButton:
        return mbMiddle;
    default:
        return mbLeft;
    }
}

inline TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    TShiftState state = 0;
    if (modifiers & Qt::ShiftModifier) state |= ssShift;
    if (modifiers & Qt::AltModifier) state |= ssAlt;
    if (modifiers & Qt::ControlModifier) state |= ssCtrl;
    if (buttons & Qt::LeftButton) state |= ssLeft;
    if (buttons & Qt::RightButton) state |= ssRight;
    if (buttons & Qt::MiddleButton) state |= ssMiddle;
    return state;
}
