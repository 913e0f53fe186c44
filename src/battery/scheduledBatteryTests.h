#pragma once
// The test scheduler and the battery test bound to the monitor's run-time state, its records and
// its window: what the tick asks through ScheduledTestService, and what the test button does.
#include <optional>

#include "base/clock.h"
#include "base/messageBox.h"
#include "battery/testScheduler.h"
#include "battery/upsCommand.h"
#include "config/cfgRecords.h"
#include "config/registryStore.h"
#include "links/serialLink.h"
#include "supervisor/scheduledTestService.h"
#include "supervisor/supervisorState.h"
#include "supervisor/supervisorView.h"

namespace ups {

// The battery test's question and start pop-up, shown through the main window.
class ViewTestPrompts : public TestPrompts {
public:
    explicit ViewTestPrompts(SupervisorView& view) : view_(view) {}
    bool confirmTest() override;
    void showStartNotice() override;

private:
    SupervisorView& view_;
};

class ScheduledBatteryTests : public ScheduledTestService {
public:
    // The records are the live ones (the scheduler moves startCount and lastTest and saves both
    // records through store and boxes). Either link may be null until the configuration opens it.
    ScheduledBatteryTests(CfgUps& cfgUps, const CfgSnmp& cfgSnmp, SupervisorState& state,
                          SupervisorView& view, RegistryStore& store, MessageBoxes& boxes,
                          Sleeper& sleeper, SerialLink* serialLink = nullptr,
                          AgentCommands* agent = nullptr);

    bool isTestDue() override;
    int runUpsCommand() override;

    void setSerialLink(SerialLink* link) { commands_.setSerialLink(link); }
    void setAgentCommands(AgentCommands* agent) { commands_.setAgentCommands(agent); }
    void setJournal(EventJournal& journal) { commands_.setJournal(journal); }

private:
    CfgUps& cfgUps_;
    const CfgSnmp& cfgSnmp_;
    SupervisorState& state_;
    RegistryStore& store_;
    MessageBoxes& boxes_;
    ViewTestPrompts prompts_;
    UpsCommands commands_;
    // Why the next command runs: set when the schedule says a test is due, taken by the command.
    std::optional<TestTrigger> dueTrigger_;
};

// The OnClick of bbtnIniTest: the tick is stopped and the button disabled while the command runs;
// an outcome is presented only in the test role (the alarm order reports nothing). The timer runs
// again afterwards unless a tick inside an outcome box has closed the monitor meanwhile.
void bbtnIniTestClick(SupervisorView& view, const SupervisorState& state,
                      ScheduledTestService& tests, Sleeper& sleeper);

}  // namespace ups
