#pragma once

#include <atomic>
#include <cstdint>

// The recorder's state byte (0 recording, 1 paused, 2 stopped) and click flags: written by the GUI
// thread at any time, read by the worker once per pass and per sleep slice.
struct TRecorderFlags {
    std::atomic<uint8_t> State{2};
    std::atomic<bool> ShowClicks{false};
    std::atomic<bool> RecordCursor{true};
};
