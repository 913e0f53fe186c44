#include "battery/scheduledBatteryTests.h"

#include <string>

#include "config/configStore.h"
#include "supervisor/supervisor.h"

namespace ups {

bool ViewTestPrompts::confirmTest() {
    return view_.messageBoxes().messageBox(kTestQuestion, kTitleQuestion, MbIcon::Question,
                                           MbButtons::YesNo) == MbResult::Yes;
}

void ViewTestPrompts::showStartNotice() {
    view_.showNotice(std::nullopt, kTestStartPicture, std::string(kTestStarting),
                     kTestStartNoticeMs);
    view_.repaintNotice();
}

ScheduledBatteryTests::ScheduledBatteryTests(CfgUps& cfgUps, const CfgSnmp& cfgSnmp,
                                             SupervisorState& state, SupervisorView& view,
                                             RegistryStore& store, MessageBoxes& boxes,
                                             Sleeper& sleeper, SerialLink* serialLink,
                                             AgentCommands* agent)
    : cfgUps_(cfgUps),
      cfgSnmp_(cfgSnmp),
      state_(state),
      store_(store),
      boxes_(boxes),
      prompts_(view),
      commands_(prompts_, sleeper, serialLink, agent) {}

bool ScheduledBatteryTests::isTestDue() {
    const bool due = ups::isTestDue(cfgUps_, state_.startPending, state_.tickTime,
                                    [this] { saveConfig(cfgUps_, cfgSnmp_, store_, boxes_); });
    if (due) {
        const bool atStart = cfgUps_.testMode == tmWinStart || cfgUps_.testMode == tmCnStart;
        dueTrigger_ = atStart ? TestTrigger::atStart : TestTrigger::bySchedule;
    }
    return due;
}

int ScheduledBatteryTests::runUpsCommand() {
    UpsCommandContext context;
    context.trigger = dueTrigger_.value_or(TestTrigger::byHand);
    dueTrigger_.reset();
    context.eventCode = state_.eventCode;
    context.askStart = cfgUps_.askStart != 0;
    context.serialLinkActive = state_.serialLinkActive;
    context.agentLinkActive = state_.agentLinkActive;
    context.agentCommandsOk = state_.agentCommandsOk;
    // The event code stays as the tick derived it: the next tick sees the new state.
    return commands_.runUpsCommand(
        context, [this](const AgentStatusRead& read) { applyAgentStatus(read, state_); });
}

void bbtnIniTestClick(SupervisorView& view, const SupervisorState& state,
                      ScheduledTestService& tests, Sleeper& sleeper) {
    view.stopTimer();
    view.setTestButtonEnabled(false);
    const int result = tests.runUpsCommand();
    if (state.eventCode == 0) showTestOutcome(result, view, sleeper);
    if (state.closingBySystem) return;
    view.startTimer();
    view.setTestButtonEnabled(true);
}

}  // namespace ups
