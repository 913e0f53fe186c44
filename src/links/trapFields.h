#pragma once
// The fields the trap listener thread shares with the tick. Each is one atomic value; the
// listener writes a value before it clears the matching notice flag (release), and the tick reads
// the values after it has seen the flag (acquire).
#include <atomic>
#include <cstdint>

namespace ups {

struct TrapFields {
    std::atomic<std::int32_t> batteryState{1};  // 2 = low, anything else = not low
    std::atomic<std::int32_t> lineState{1};     // 1 = mains present, anything else = failure
    std::atomic<std::int32_t> adminMinutes{-1}; // -1 = no switch-off announced
    std::atomic<bool> refreshRequested{false};
    std::atomic<bool> adminNoticeDone{true};
    std::atomic<bool> statusNoticeDone{true};

    // Copies the GUI's state into the fields after a successful agent read.
    void seedState(bool lineOk, bool batteryLow) {
        lineState.store(lineOk ? 1 : 2, std::memory_order_relaxed);
        batteryState.store(batteryLow ? 2 : 1, std::memory_order_relaxed);
    }
};

}  // namespace ups
