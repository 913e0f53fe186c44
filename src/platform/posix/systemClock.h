#pragma once
// The real local clock and blocking sleeps.
#include "base/clock.h"

namespace ups {

class SystemClock : public Clock {
public:
    double now() const override;
};

class SystemSleeper : public Sleeper {
public:
    void sleepMs(int ms) override;
};

}  // namespace ups
