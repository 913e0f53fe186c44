#pragma once
// The fields the trap listener thread shares with the tick. Each is one atomic value; the
// listener writes a value before it clears the matching notice flag (release), and the tick takes
// the flag with an exchange (acquire) before it reads the values, so a trap that lands while the
// tick works is never acknowledged unseen.
//
// The administrator's switch-off minutes and their notice flag are one word: a tick that read the
// minutes and the flag apart could pair new minutes with an old flag and power off at once.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

namespace ups {

inline constexpr std::int32_t kNoSwitchOff = -1;

class TrapFields {
public:
    std::atomic<std::int32_t> batteryState{1};  // 2 = low, anything else = not low
    std::atomic<std::int32_t> lineState{1};     // 1 = mains present, anything else = failure
    std::atomic<bool> refreshRequested{false};
    std::atomic<bool> statusNoticeDone{true};

    // Copies the GUI's state into the fields (the listener's start).
    void seedState(bool lineOk, bool batteryLow) {
        lineState.store(lineOk ? 1 : 2, std::memory_order_relaxed);
        batteryState.store(batteryLow ? 2 : 1, std::memory_order_relaxed);
    }

    // The listener: what a status trap said (a value it did not carry stays), counted, with its
    // notice. The count lets an agent read that was asked for earlier tell that it is older.
    void storeStatus(std::optional<std::int32_t> line, std::optional<std::int32_t> battery) {
        std::lock_guard lock(statusMutex_);
        if (battery) batteryState.store(*battery, std::memory_order_relaxed);
        if (line) lineState.store(*line, std::memory_order_relaxed);
        statusTraps_.fetch_add(1, std::memory_order_relaxed);
        statusNoticeDone.store(false, std::memory_order_release);
    }
    // How many status traps have been stored so far.
    std::uint32_t statusTraps() const { return statusTraps_.load(std::memory_order_acquire); }
    // The tick: an agent read asked for when statusTraps() was `asOf` replaces the fields only
    // when no trap has come since; a newer trap wins. True when the read was stored.
    bool storeReadUnlessTrapSince(std::uint32_t asOf, bool lineOk, bool batteryLow) {
        std::lock_guard lock(statusMutex_);
        if (statusTraps_.load(std::memory_order_relaxed) != asOf) return false;
        seedState(lineOk, batteryLow);
        return true;
    }

    // The listener: a switch-off in `minutes`, or kNoSwitchOff for a cancel, with its notice.
    void publishAdminNotice(std::int32_t minutes) {
        adminWord_.store(pack(minutes, true), std::memory_order_release);
    }
    // The tick: the minutes of a notice not yet taken, marking it taken in the same step; nothing
    // when no notice waits. A notice published meanwhile makes the step start over, so the minutes
    // returned are always those of the notice taken.
    std::optional<std::int32_t> takeAdminNotice() {
        std::uint64_t word = adminWord_.load(std::memory_order_acquire);
        while (unread(word)) {
            if (adminWord_.compare_exchange_weak(word, pack(minutesOf(word), false),
                                                 std::memory_order_acq_rel,
                                                 std::memory_order_acquire)) {
                return minutesOf(word);
            }
        }
        return std::nullopt;
    }
    // The listener's start: no switch-off and no notice waiting.
    void clearAdminNotice() {
        adminWord_.store(pack(kNoSwitchOff, false), std::memory_order_relaxed);
    }

    std::int32_t adminMinutes() const {
        return minutesOf(adminWord_.load(std::memory_order_acquire));
    }
    bool adminNoticeDone() const { return !unread(adminWord_.load(std::memory_order_acquire)); }

private:
    static constexpr std::uint64_t kUnread = std::uint64_t{1} << 32;

    static std::uint64_t pack(std::int32_t minutes, bool isUnread) {
        return static_cast<std::uint32_t>(minutes) | (isUnread ? kUnread : 0);
    }
    static std::int32_t minutesOf(std::uint64_t word) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(word));
    }
    static bool unread(std::uint64_t word) { return (word & kUnread) != 0; }

    std::atomic<std::uint64_t> adminWord_{pack(kNoSwitchOff, false)};
    std::mutex statusMutex_;
    std::atomic<std::uint32_t> statusTraps_{0};
};

}  // namespace ups
