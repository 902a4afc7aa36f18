#pragma once

// Annotations live in five layers, numbered 1 to LayerCount, in both programs' settings and in the
// annotation text. The number is stored data (one visibility flag and one set of settings keys per
// layer): never change it.
inline constexpr int LayerCount = 5;
