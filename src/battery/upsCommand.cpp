#include "battery/upsCommand.h"

#include <atomic>

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

int watchAgentTest(AgentCommands& agent, Sleeper& sleeper, AgentStatusRead& last) {
    if (!agent.sendTestCommand()) return trBatteryFail;
    auto answered = [&] {
        last = agent.readAgentStatus();
        return last.lineAnswered && last.batteryAnswered;
    };
    for (int i = 0; i < kAgentWatchPolls; ++i) {
        // A silent agent at the one-second check says more than the line state would.
        if (i == kAgentResponsePoll) {
            if (!answered()) return trNoAnswer;
            if (last.lineOk) return trNoResponse;
        }
        sleeper.sleepMs(kAgentWatchPollMs);
        if (!answered()) return trNoAnswer;
        if (last.batteryLow) return trBatteryFail;
    }
    return trPassed;
}

// What the agent's thread hands back: written there before `done` is raised, read here after.
struct UpsCommands::AgentAnswer {
    std::atomic<bool> done{false};
    int result = trNone;
    AgentStatusRead last;
};

UpsCommands::UpsCommands(TestPrompts& prompts, TaskRunner& later, Sleeper& agentSleeper,
                         SerialLink* serialLink, AgentCommandRuns* agent)
    : prompts_(prompts),
      later_(later),
      agentSleeper_(agentSleeper),
      serialLink_(serialLink),
      agent_(agent) {}

UpsCommands::~UpsCommands() {
    *gone_ = true;
}

bool UpsCommands::serialCarries(const UpsCommandContext& context) const {
    return context.serialLinkActive && serialLink_ != nullptr;
}

bool UpsCommands::agentCarries(const UpsCommandContext& context) const {
    // An agent that refused the write community would ignore the SET.
    return context.agentCommandsOk && context.agentLinkActive && agent_ != nullptr;
}

bool UpsCommands::start(const UpsCommandContext& context, StatusSink onStatusRead,
                        CommandFinished finished) {
    if (running_) return false;
    running_ = true;
    onStatusRead_ = std::move(onStatusRead);
    finished_ = std::move(finished);
    testRole_ = context.eventCode == ecNormal;
    if (testRole_) {
        runBatteryTest(context);
    } else {
        silenceAlarm(context);
    }
    return true;
}

void UpsCommands::finish(int outcome) {
    if (testRole_ && outcome != trNone) {
        history_->record(HistoryEventKind::batteryTestOutcome,
                         std::string(testOutcomeText(outcome)));
    }
    running_ = false;
    CommandFinished finished = std::move(finished_);
    finished_ = nullptr;
    if (finished) finished(outcome);
}

void UpsCommands::silenceAlarm(const UpsCommandContext& context) {
    if (serialCarries(context)) {
        serialLink_->setBreak(true);
        history_->record(HistoryEventKind::alarmSilenced, "puerto serie");
        later_.runLater(SerialLink::kAlarmPulseMs, [this, gone = gone_] {
            if (*gone) return;
            serialLink_->releaseBreak();
            finish(trNone);
        });
    } else if (agentCarries(context)) {
        // Nothing to tell the user either way: the alarm stops or it does not.
        onAgent([](AgentCommands& agent, AgentStatusRead&) { return agent.sendTestCommand(); },
                [this](int answered) {
                    history_->record(HistoryEventKind::alarmSilenced,
                                     answered ? "agente" : "agente, sin respuesta");
                    finish(trNone);
                });
    } else {
        finish(trNone);
    }
}

void UpsCommands::runBatteryTest(const UpsCommandContext& context) {
    prompts_.showStartNotice();
    const bool serial = serialCarries(context);
    if (!serial && !agentCarries(context)) {
        finish(trNone);
        return;
    }
    history_->record(HistoryEventKind::batteryTestStarted,
                     std::string(testTriggerText(context.trigger)));
    if (serial) {
        serialLink_->beginBatteryTest();
        later_.runLater(SerialLink::kTestPollMs, [this, gone = gone_] {
            if (!*gone) pollSerialWatch();
        });
        return;
    }
    Sleeper& sleeper = agentSleeper_;
    onAgent([&sleeper](AgentCommands& agent,
                       AgentStatusRead& last) { return watchAgentTest(agent, sleeper, last); },
            [this](int outcome) { finish(outcome); });
}

void UpsCommands::pollSerialWatch() {
    const std::optional<SerialTestEnd> end = serialLink_->pollBatteryTest();
    if (!end) {
        later_.runLater(SerialLink::kTestPollMs, [this, gone = gone_] {
            if (!*gone) pollSerialWatch();
        });
        return;
    }
    switch (*end) {
        case SerialTestEnd::BatteryHeld:
            finish(trPassed);
            break;
        case SerialTestEnd::BatteryLow:
            finish(trBatteryFail);
            break;
        case SerialTestEnd::MainsStayed:
            finish(trNoResponse);
            break;
        case SerialTestEnd::Interrupted:
            finish(trNone);
            break;
    }
}

void UpsCommands::onAgent(std::function<int(AgentCommands&, AgentStatusRead&)> call,
                          std::function<void(int)> then) {
    auto answer = std::make_shared<AgentAnswer>();
    agent_->run([answer, call = std::move(call)](AgentCommands& agent) {
        answer->result = call(agent, answer->last);
        answer->done.store(true, std::memory_order_release);
    });
    awaitAgent(std::move(answer), std::move(then));
}

void UpsCommands::awaitAgent(std::shared_ptr<AgentAnswer> answer, std::function<void(int)> then) {
    later_.runLater(kAgentAnswerCheckMs, [this, gone = gone_, answer, then = std::move(then)] {
        if (*gone) return;
        if (!answer->done.load(std::memory_order_acquire)) {
            awaitAgent(answer, then);
            return;
        }
        const AgentStatusRead& last = answer->last;
        if ((last.lineAnswered || last.batteryAnswered) && onStatusRead_) onStatusRead_(last);
        then(answer->result);
    });
}

}  // namespace ups
