#pragma once
// The tick's way into the test scheduler and the battery test, and the presentation of a test
// outcome that the tick and the test button share.
#include "base/clock.h"
#include "supervisor/supervisorView.h"

namespace ups {

// Outcome codes of runUpsCommand: what the battery test returns and the tick presents.
enum TestOutcome : int {
    trNone = 0,         // declined, no link, or the alarm order was sent
    trPassed = 1,       // the UPS left the mains and the battery held
    trBatteryFail = 2,  // battery low during the watch, or SET unanswered
    trNoResponse = 3,   // one second after the order the mains were still there
    trNoAnswer = 4,     // the agent did not answer a status read of the watch
};

class ScheduledTestService {
public:
    virtual ~ScheduledTestService() = default;
    // Asked only in the normal state; may update and save the scheduler's counters.
    virtual bool isTestDue() = 0;
    // Runs a battery test (normal state) or silences the alarm; blocks while it watches the UPS.
    virtual int runUpsCommand() = 0;
};

// A monitor that never tests its battery on its own: for runs that measure the rest of the tick.
class NoScheduledTests : public ScheduledTestService {
public:
    bool isTestDue() override { return false; }
    int runUpsCommand() override { return trNone; }
};

inline constexpr int kTestPassedNoticeMs = 3000;
inline constexpr int kTestPassedHoldMs = 4000;

// Presents an outcome. For the failures the tick timer runs again before the modal box opens, so
// supervision goes on while the box waits for the user.
void showTestOutcome(int outcome, SupervisorView& view, Sleeper& sleeper);

}  // namespace ups
