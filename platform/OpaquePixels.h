#pragma once

#include <cstddef>
#include <cstdint>

// Copies count 32-bit pixels with the top byte set to 0xFF whatever the source held: a screen grab
// leaves it undefined or 0, and readers that take it as alpha would show the picture transparent. The
// destination needs no alignment.
void CopyOpaque(const std::uint32_t* in, void* out, std::size_t count);
