#include "battery/upsCommand.h"

#include "supervisor/noticeTexts.h"

namespace ups {

std::string_view testTriggerText(TestTrigger trigger) {
    switch (trigger) {
        case TestTrigger::byHand:
            return "manual";
        case TestTrigger::bySchedule:
            return "programada";
        case TestTrigger::atStart:
            return "al iniciar";
    }
    return {};
}

std::string_view testOutcomeText(int outcome) {
    switch (outcome) {
        case trPassed:
            return notice::kTestPassed;
        case trBatteryFail:
            return notice::kTestBatteryFail;
        case trNoResponse:
            return notice::kTestNoResponse;
        case trNoAnswer:
            return notice::kTestNoAnswer;
        default:
            return "sin resultado";
    }
}

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
        journal_->record(HistoryEventKind::alarmSilenced, "puerto serie");
    } else if (agentCarries(context)) {
        // Nothing to tell the user either way: the alarm stops or it does not.
        const bool answered = agent_->sendTestCommand();
        journal_->record(HistoryEventKind::alarmSilenced,
                         answered ? "agente" : "agente, sin respuesta");
    }
}

int UpsCommands::runBatteryTest(const UpsCommandContext& context, const StatusSink& onStatusRead) {
    if (context.askStart && !prompts_.confirmTest()) return trNone;
    prompts_.showStartNotice();
    const bool serial = serialCarries(context);
    if (!serial && !agentCarries(context)) return trNone;
    journal_->record(HistoryEventKind::batteryTestStarted,
                     std::string(testTriggerText(context.trigger)));
    const int outcome = serial ? watchSerial() : watchAgent(onStatusRead);
    journal_->record(HistoryEventKind::batteryTestOutcome, std::string(testOutcomeText(outcome)));
    return outcome;
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
