#pragma once

#include <atomic>
#include <cstdint>

// The states of a recorder, as its state byte holds them.
namespace RecorderState {
constexpr uint8_t Recording = 0, Paused = 1, Stopped = 2;
}

// The recorder's state byte and click flags: written by the GUI thread at any time, read by the
// worker once per pass and per sleep slice.
struct TRecorderFlags {
    std::atomic<uint8_t> State{RecorderState::Stopped};
    std::atomic<bool> ShowClicks{false};
    std::atomic<bool> RecordCursor{true};
};
