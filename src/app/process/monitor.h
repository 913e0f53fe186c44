#pragma once
// The composition root: the monitor's whole object graph, built once at process entry from the
// platform's services, and built the same way by the window tests. The live records and run-time
// state, the serial and agent links with the agent's thread, the trap listener (created
// suspended), the links' owner, the configuration flow, the scheduled battery tests, the
// supervisor, the rehearsal and the history window's opener are made here; the main window shows
// them and is the supervisor's view.
#include <memory>

#include "app/flows/configFlow.h"
#include "app/flows/rehearsalFlow.h"
#include "app/process/linkLifecycle.h"
#include "app/process/mainDeps.h"
#include "app/process/networkLinks.h"
#include "app/qt/agentCallsInLoop.h"
#include "app/windows/history/historyWindow.h"
#include "app/windows/main/upsMain.h"
#include "battery/scheduledBatteryTests.h"
#include "supervisor/rehearsal.h"
#include "supervisor/supervisor.h"

namespace ups {

class Monitor : private InstantCommandHook {
public:
    explicit Monitor(const MainDeps& deps);
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    TmainF& window() { return window_; }
    RehearsalFlow& rehearsalFlow() { return rehearsalFlow_; }
    Supervisor& supervisor() { return supervisor_; }
    MonitorParts& parts() { return parts_; }
    NetworkLinks& network() { return network_; }

private:
    // The server's instant command, from its thread: run on the GUI thread by the test button's
    // path, once it is still the order the state offers.
    bool requestInstantCommand(InstantCommand command) override;
    void runInstantCommand(InstantCommand command);

    const MainDeps deps_;
    MonitorParts parts_;
    TmainF window_;
    AgentCallsInLoop agentCalls_;
    NetworkLinks network_;
    LinkLifecycle links_;
    ConfigurationFlow configFlow_;
    ScheduledBatteryTests scheduledTests_;
    Supervisor supervisor_;
    RehearsalFlow rehearsalFlow_;
    Rehearsal rehearsal_;
    HistoryFileSource historySource_;
    HistoryWindowOpener history_;
};

}  // namespace ups
