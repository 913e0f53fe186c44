#pragma once
// Time as the monitor sees it: the local date-time as an OLE date (whole days since 1899-12-30
// plus the fraction of the day), a monotonic count of milliseconds that no clock change moves,
// and blocking waits in milliseconds. All are injected so that the supervisor, the battery test
// and the scheduler run in virtual time under test.
#include <chrono>
#include <cstdint>

namespace ups {

class Clock {
public:
    virtual ~Clock() = default;
    // Local date and time now, as an OLE date.
    virtual double now() const = 0;
    // Milliseconds since some fixed moment; only differences mean anything. Countdowns count it.
    virtual std::int64_t monotonicMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleepMs(int ms) = 0;
};

}  // namespace ups
