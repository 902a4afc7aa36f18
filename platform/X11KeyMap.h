#pragma once

#include <cstdint>

// The keysym that a hardware key code gives in the keyboard's first group at a shift level (0 plain,
// 1 shifted), read from the X server that Qt is connected to. 0 when Qt is not on X11 or the key
// code gives nothing there.
uint32_t X11KeycodeKeysym(uint32_t keycode, int level);
