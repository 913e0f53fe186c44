#pragma once
// The composition root: the monitor's whole object graph, built once at process entry from the
// services it is given. The live records and run-time state, the serial and agent links, the
// trap listener (created suspended), the scheduled battery tests and the supervisor are made
// here; the main window shows them and is the supervisor's view.
#include <memory>

#include "app/rehearsalFlow.h"
#include "app/upsMain.h"
#include "battery/scheduledBatteryTests.h"
#include "supervisor/rehearsal.h"
#include "supervisor/supervisor.h"

namespace ups {

class Monitor {
public:
    explicit Monitor(MainDeps deps);
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    TmainF& window() { return window_; }
    RehearsalFlow& rehearsalFlow() { return rehearsalFlow_; }

private:
    MonitorParts parts_;
    TmainF window_;
    ScheduledBatteryTests scheduledTests_;
    Supervisor supervisor_;
    RehearsalFlow rehearsalFlow_;
    Rehearsal rehearsal_;
};

}  // namespace ups
