#pragma once
// Virtual time: a clock and a sleeper that share one "now". Sleeping advances the clock at once,
// and every sleep is recorded so tests can check the waits a sequence made.
#include <functional>
#include <vector>

#include "base/clock.h"

namespace ups::test {

inline constexpr double kMsPerDay = 86'400'000.0;

class VirtualTime : public Clock, public Sleeper {
public:
    explicit VirtualTime(double oleNow = 46000.5) : now_(oleNow) {}

    double now() const override { return now_; }
    std::int64_t monotonicMs() const override { return static_cast<std::int64_t>(elapsedMs); }
    void sleepMs(int ms) override {
        sleeps.push_back(ms);
        elapsedMs += ms;
        now_ += ms / kMsPerDay;
        if (onSleep) onSleep(elapsedMs);
    }

    void set(double oleNow) { now_ = oleNow; }
    void advanceMs(double ms) {
        elapsedMs += ms;
        now_ += ms / kMsPerDay;
    }

    std::vector<int> sleeps;
    double elapsedMs = 0;
    // Called after each sleep with the total virtual milliseconds so far: lets a fake peer change
    // its lines at a given moment of a blocking sequence.
    std::function<void(double)> onSleep;

private:
    double now_;
};

}  // namespace ups::test
