#pragma once

#include <cstddef>
#include <cstdint>

// Whether a Microsoft Video 1 frame of width x height at bitCount (8 or 16) codes every block itself:
// no skipped block, and data for all of them, so that it decodes without the picture before it. An
// index says which frames are key frames; a file without one (a recording that never closed) is read
// from such frames on.
bool IsSelfContainedMsvc1Frame(const std::uint8_t* data, std::size_t size, int width, int height,
                               int bitCount);
