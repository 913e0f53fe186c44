#include "battery/scheduledBatteryTests.h"

#include <string>

#include "base/tickPath.h"
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
                                             Sleeper& agentSleeper, SerialLink* serialLink,
                                             AgentCommandRuns* agent)
    : cfgUps_(cfgUps),
      cfgSnmp_(cfgSnmp),
      state_(state),
      view_(view),
      store_(store),
      boxes_(boxes),
      prompts_(view),
      commands_(prompts_, view, agentSleeper, serialLink, agent),
      saveConfig_([this] { saveConfig(cfgUps_, cfgSnmp_, store_, boxes_); }) {}

UPS_TICK_PATH bool ScheduledBatteryTests::isTestDue() {
    const bool due = ups::isTestDue(cfgUps_, state_.startPending, state_.tickTime, saveConfig_);
    if (due) {
        const bool atStart = cfgUps_.testMode == tmWinStart || cfgUps_.testMode == tmCnStart;
        dueTrigger_ = atStart ? TestTrigger::atStart : TestTrigger::bySchedule;
    }
    return due;
}

void ScheduledBatteryTests::startDueTest() {
    const TestTrigger trigger = dueTrigger_.value_or(TestTrigger::bySchedule);
    dueTrigger_.reset();
    startCommand(trigger);
}

void ScheduledBatteryTests::buttonPressed() {
    startCommand(TestTrigger::byHand);
}

void ScheduledBatteryTests::orderFromNetwork() {
    startCommand(TestTrigger::byHand, false);
}

UpsCommandContext ScheduledBatteryTests::context(TestTrigger trigger) const {
    UpsCommandContext context;
    context.trigger = trigger;
    context.eventCode = state_.eventCode();
    context.serialLinkActive = state_.serialLinkActive;
    context.agentLinkActive = state_.agentLinkActive;
    context.agentCommandsOk = state_.agentCommandsOk;
    return context;
}

void ScheduledBatteryTests::startCommand(TestTrigger trigger, bool ask) {
    if (commandRunning()) return;
    if (ask && state_.eventCode() == ecNormal && cfgUps_.askStart != 0) {
        asking_ = true;
        const bool yes = prompts_.confirmTest();
        asking_ = false;
        if (!yes) return;
        // The question may have waited through a power event: a test is ordered only while all
        // is still normal, and an answer given for a test never becomes the alarm order.
        if (state_.eventCode() != ecNormal || commandRunning()) return;
    }
    const UpsCommandContext now = context(trigger);
    const bool testRole = now.eventCode == ecNormal;
    view_.setTestButtonEnabled(false);
    commands_.start(
        now, [this](const AgentStatusRead& read) { applyAgentStatus(read, state_); },
        [this, testRole](int outcome) {
            if (testRole) showTestOutcome(outcome, view_);
            if (state_.closingBySystem) return;
            view_.setTestButtonEnabled(true);
        });
}

}  // namespace ups
