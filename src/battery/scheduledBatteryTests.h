#pragma once
// The test scheduler and the battery test bound to the monitor's run-time state, its records and
// its window: what the tick asks through ScheduledTestService, and what the test button does.
// Both start from the event loop, never inside a tick, and return at once: the question, the
// order and the watch then run beside supervision.
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
                          Sleeper& agentSleeper, SerialLink* serialLink = nullptr,
                          AgentCommandRuns* agent = nullptr);

    bool isTestDue() override;
    void startDueTest() override;
    bool commandRunning() const override { return asking_ || commands_.running(); }
    // The OnClick of bbtnIniTest: the alarm order during a power event, the battery test
    // otherwise; the button stays disabled while it runs.
    void buttonPressed();
    // The same order asked for by an administrator over the network: there is nobody here to
    // answer the question, so it is not asked.
    void orderFromNetwork();

    void setSerialLink(SerialLink* link) { commands_.setSerialLink(link); }
    void setAgentCommands(AgentCommandRuns* agent) { commands_.setAgentCommands(agent); }
    void setHistory(HistoryRecorder& history) { commands_.setHistory(history); }

private:
    void startCommand(TestTrigger trigger, bool ask = true);
    UpsCommandContext context(TestTrigger trigger) const;

    CfgUps& cfgUps_;
    const CfgSnmp& cfgSnmp_;
    SupervisorState& state_;
    SupervisorView& view_;
    RegistryStore& store_;
    MessageBoxes& boxes_;
    ViewTestPrompts prompts_;
    UpsCommands commands_;
    // Saves both records when the schedule marks a test as started; made once, as every tick
    // hands it to the schedule.
    const ConfigSaver saveConfig_;
    // Why the next test runs: set when the schedule says a test is due, taken by the test.
    std::optional<TestTrigger> dueTrigger_;
    // The question is open: its box runs the event loop, and ticks go on meanwhile.
    bool asking_ = false;
};

}  // namespace ups
