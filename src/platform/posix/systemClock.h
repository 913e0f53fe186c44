#pragma once
// The real local clock and blocking sleeps.
#include <atomic>
#include <chrono>
#include <cstdint>

#include "base/clock.h"

namespace ups {

// Local time is UTC plus the zone's offset, and a zone changes its offset only at a whole minute.
// So the offset is looked up through the C library once a minute and kept: the tick then reads
// the clock without the zone code, whose pages a sleeping monitor has long let go cold. The
// clock is read from several threads; the kept minute and offset are one atomic word.
class SystemClock : public Clock {
public:
    double now() const override;
    // The local time of the instant `t`, as now() gives it.
    double at(std::chrono::system_clock::time_point t) const;

private:
    mutable std::atomic<std::uint64_t> kept_{0};  // 0: nothing kept yet
    // The milliseconds of a day as the divisor of the day's fraction, read from here rather than
    // from the program's constants: a tick then touches no page of them.
    double msPerDay_ = 86'400'000.0;
};

class SystemSleeper : public Sleeper {
public:
    void sleepMs(int ms) override;
};

}  // namespace ups
