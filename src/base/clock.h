#pragma once
// Time as the monitor sees it: the local date-time as an OLE date (whole days since 1899-12-30
// plus the fraction of the day), and blocking waits in milliseconds. Both are injected so that the
// supervisor, the battery test and the scheduler run in virtual time under test.

namespace ups {

class Clock {
public:
    virtual ~Clock() = default;
    // Local date and time now, as an OLE date.
    virtual double now() const = 0;
};

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleepMs(int ms) = 0;
};

}  // namespace ups
