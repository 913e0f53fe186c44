#include "battery/upsCommand.h"

namespace ups {

bool UpsCommands::serialCarries(const UpsCommandContext& context) const {
    return context.serialLinkActive && serialLink_ != nullptr;
}

bool UpsCommands::agentCarries(const UpsCommandContext& context) const {
    // An agent that refused the write community would ignore the SET.
    return context.agentCommandsOk && context.agentLinkActive && agent_ != nullptr;
}

int UpsCommands::runUpsCommand(const UpsCommandContext& context, const StatusSink& onStatusRead) {
    if (context.eventCode != 0) {
        silenceAlarm(context);
        return trNone;
    }
    return runBatteryTest(context, onStatusRead);
}

void UpsCommands::silenceAlarm(const UpsCommandContext& context) {
    if (serialCarries(context)) {
        serialLink_->alarmCancelPulse();
    } else if (agentCarries(context)) {
        // Nothing to tell the user either way: the alarm stops or it does not.
        (void)agent_->sendTestCommand();
    }
}

int UpsCommands::runBatteryTest(const UpsCommandContext& context, const StatusSink& onStatusRead) {
    if (context.askStart && !prompts_.confirmTest()) return trNone;
    prompts_.showStartNotice();
    if (serialCarries(context)) return watchSerial();
    if (agentCarries(context)) return watchAgent(onStatusRead);
    return trNone;
}

int UpsCommands::watchSerial() {
    switch (serialLink_->batteryTestSequence()) {
        case SerialTestEnd::BatteryHeld:
            return trPassed;
        case SerialTestEnd::BatteryLow:
            return trBatteryFail;
        case SerialTestEnd::MainsStayed:
            return trNoResponse;
    }
    return trNone;
}

int UpsCommands::watchAgent(const StatusSink& onStatusRead) {
    if (!agent_->sendTestCommand()) return trBatteryFail;
    AgentStatusRead read;
    for (int i = 0; i < kAgentWatchPolls; ++i) {
        // A silent agent at the one-second check says more than the line state would.
        if (i == kAgentResponsePoll) {
            if (!readStatus(onStatusRead, read)) return trNoAnswer;
            if (read.lineOk) return trNoResponse;
        }
        sleeper_.sleepMs(kAgentWatchPollMs);
        if (!readStatus(onStatusRead, read)) return trNoAnswer;
        if (read.batteryLow) return trBatteryFail;
    }
    return trPassed;
}

bool UpsCommands::readStatus(const StatusSink& onStatusRead, AgentStatusRead& read) {
    read = agent_->readAgentStatus();
    if (onStatusRead) onStatusRead(read);
    return read.lineAnswered && read.batteryAnswered;
}

}  // namespace ups
