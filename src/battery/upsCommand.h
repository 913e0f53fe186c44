#pragma once
// The two orders the monitor gives the UPS, over whichever link is active: silence the alarm while
// a power event is in force, or run a battery test and watch the UPS's reaction for about ten
// seconds. Nothing here blocks the GUI thread: the serial orders are a BREAK raised now and
// released by a later step of the event loop, and the agent's SET and status reads run on the
// agent's own thread, whose answers a later step takes. Supervision goes on meanwhile.
#include <functional>
#include <memory>
#include <string_view>

#include "base/clock.h"
#include "base/historyRecorder.h"
#include "base/taskRunner.h"
#include "links/agentStatus.h"
#include "links/serialLink.h"
#include "supervisor/scheduledTestService.h"
#include "supervisor/supervisorState.h"

namespace ups {

inline constexpr std::string_view kTestQuestion =
    "Se realizará un test a la UPS.\r\n¿Desea Continuar?.";
inline constexpr std::string_view kTestStarting = "Iniciando prueba de batería.";
inline constexpr int kTestStartPicture = 2;  // the battery-normal picture of the image list
inline constexpr int kTestStartNoticeMs = 1000;

inline constexpr int kAgentWatchPolls = 20;
inline constexpr int kAgentWatchPollMs = 500;
inline constexpr int kAgentResponsePoll = 2;  // two half-second sleeps: one second
// How often the event loop looks whether the agent's thread has finished an order.
inline constexpr int kAgentAnswerCheckMs = 100;

// The agent's side of the orders, as blocking calls. They are made on the agent's thread, never
// on the GUI thread.
class AgentCommands {
public:
    virtual ~AgentCommands() = default;
    // The agent's command object (kOidUpsCommand) SET to INTEGER 1 with the write community: the
    // same order runs a test with no power event and silences the alarm during one. True when the
    // agent answered.
    virtual bool sendTestCommand() = 0;
    // The line and battery GETs, one after the other.
    virtual AgentStatusRead readAgentStatus() = 0;
};

// Where the agent's calls run: a thread of their own, one call after the other.
class AgentCommandRuns {
public:
    virtual ~AgentCommandRuns() = default;
    virtual void run(std::function<void(AgentCommands&)> call) = 0;
};

// What the battery test shows the user. The main window implements it.
class TestPrompts {
public:
    virtual ~TestPrompts() = default;
    // The Yes/No question kTestQuestion under "Pregunta"; true only for Yes. A modal box: never
    // asked inside a tick.
    virtual bool confirmTest() = 0;
    // The information pop-up with kTestStartPicture and kTestStarting for kTestStartNoticeMs.
    virtual void showStartNotice() = 0;
};

// Who asked for a battery test, as the history tells it.
enum class TestTrigger { byHand, bySchedule, atStart };
std::string_view testTriggerText(TestTrigger trigger);
// An outcome (a TestOutcome code) as the history tells it: the text its presentation shows.
std::string_view testOutcomeText(int outcome);

// What the order depends on, read from the run-time state and the configuration when it starts.
struct UpsCommandContext {
    TestTrigger trigger = TestTrigger::byHand;
    EventCode eventCode = ecNormal;
    bool serialLinkActive = false;
    bool agentLinkActive = false;
    bool agentCommandsOk = false;
};

// Receives the last status read of an SNMP watch, so that the state (and the display) follows
// what the test saw.
using StatusSink = std::function<void(const AgentStatusRead&)>;
// Receives the outcome (a TestOutcome code) when the order is over.
using CommandFinished = std::function<void(int outcome)>;

class UpsCommands {
public:
    // Either link may be null when the configuration does not use it; a null link carries nothing.
    // The sleeper paces the agent's watch on the agent's thread.
    UpsCommands(TestPrompts& prompts, TaskRunner& later, Sleeper& agentSleeper,
                SerialLink* serialLink = nullptr, AgentCommandRuns* agent = nullptr);
    ~UpsCommands();
    UpsCommands(const UpsCommands&) = delete;
    UpsCommands& operator=(const UpsCommands&) = delete;

    void setSerialLink(SerialLink* link) { serialLink_ = link; }
    void setAgentCommands(AgentCommandRuns* agent) { agent_ = agent; }
    // Where a test's start and outcome and an alarm silenced are reported; none until set.
    void setHistory(HistoryRecorder& history) { history_ = &history; }

    // With a power event in force: the alarm-silence order, no pop-up, outcome trNone. Otherwise
    // the battery test. Returns at once; finished comes later from the event loop (or before the
    // return, when no link can carry the order). False, and nothing done, while another order is
    // under way. A serial watch whose port closes or stops answering ends with trNone.
    bool start(const UpsCommandContext& context, StatusSink onStatusRead, CommandFinished finished);
    bool running() const { return running_; }

private:
    struct AgentAnswer;

    bool serialCarries(const UpsCommandContext& context) const;
    bool agentCarries(const UpsCommandContext& context) const;
    void silenceAlarm(const UpsCommandContext& context);
    void runBatteryTest(const UpsCommandContext& context);
    void pollSerialWatch();
    void onAgent(std::function<int(AgentCommands&, AgentStatusRead&)> call,
                 std::function<void(int)> then);
    void awaitAgent(std::shared_ptr<AgentAnswer> answer, std::function<void(int)> then);
    void finish(int outcome);

    TestPrompts& prompts_;
    TaskRunner& later_;
    Sleeper& agentSleeper_;
    SerialLink* serialLink_;
    AgentCommandRuns* agent_;
    NoHistoryRecorder noHistory_;
    HistoryRecorder* history_ = &noHistory_;
    bool running_ = false;
    bool testRole_ = false;
    StatusSink onStatusRead_;
    CommandFinished finished_;
    // Set when this object goes: late steps of the event loop then do nothing.
    std::shared_ptr<bool> gone_ = std::make_shared<bool>(false);
};

// The watch of an agent battery test, on the agent's thread: the SET, then the status every half
// second for ten seconds. `last` is the last read made.
int watchAgentTest(AgentCommands& agent, Sleeper& sleeper, AgentStatusRead& last);

}  // namespace ups
