#pragma once
// The system's local clock, and waits that give the processor back.
#include "base/clock.h"

namespace ups {

class Win32Clock : public Clock {
public:
    double now() const override;
};

class Win32Sleeper : public Sleeper {
public:
    void sleepMs(int ms) override;
};

}  // namespace ups
