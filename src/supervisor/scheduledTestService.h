#pragma once
// The tick's way into the test scheduler and the battery test, and the presentation of a test
// outcome that the tick and the test button share.
#include "supervisor/supervisorView.h"

namespace ups {

// Outcome codes of a battery test: what the test ends with and what is presented.
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
    // Starts the test the schedule asked for and returns at once: the question, the order and
    // the watch run from the event loop, never inside a tick, and present their own outcome.
    virtual void startDueTest() = 0;
    // A battery test or an order to the UPS is under way.
    virtual bool commandRunning() const = 0;
};

// A monitor that never tests its battery on its own: for runs that measure the rest of the tick.
class NoScheduledTests : public ScheduledTestService {
public:
    bool isTestDue() override { return false; }
    void startDueTest() override {}
    bool commandRunning() const override { return false; }
};

inline constexpr int kTestPassedNoticeMs = 3000;

// Presents an outcome: a notice for a good test, a box for a failed one. The box opens from the
// event loop once the caller has returned, so it never runs inside a tick.
void showTestOutcome(int outcome, SupervisorView& view);

}  // namespace ups
