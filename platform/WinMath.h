#pragma once

#include <cstdint>

// v * n / d computed in 64 bits, rounded to the nearest with halves away from zero; -1 when d is 0,
// as the platform routine the drawing rules were written against.
inline int MulDiv(int v, int n, int d) {
    if (d == 0) return -1;
    const int64_t p = static_cast<int64_t>(v) * n;
    const int64_t q = d < 0 ? -d : d;
    const int64_t s = (p < 0) != (d < 0) ? -1 : 1;
    const int64_t a = p < 0 ? -p : p;
    const int64_t r = (a + q / 2) / q;
    const int64_t result = s * r;
    if (result > INT32_MAX || result < INT32_MIN) return -1;
    return static_cast<int>(result);
}
