#pragma once
// The two orders the monitor gives the UPS, over whichever link is active: silence the alarm while
// a power event is in force, or run a battery test and watch the UPS's reaction for about ten
// seconds. The whole exchange blocks the calling (GUI) thread; the caller has stopped the tick.
#include <functional>
#include <string_view>

#include "base/clock.h"
#include "base/eventJournal.h"
#include "links/agentStatus.h"
#include "links/serialLink.h"
#include "supervisor/scheduledTestService.h"

namespace ups {

inline constexpr std::string_view kTestQuestion =
    "Se realizará un test a la UPS.\r\n¿Desea Continuar?.";
inline constexpr std::string_view kTestStarting = "Iniciando prueba de batería.";
inline constexpr int kTestStartPicture = 2;  // the battery-normal picture of the image list
inline constexpr int kTestStartNoticeMs = 1000;

inline constexpr int kAgentWatchPolls = 20;
inline constexpr int kAgentWatchPollMs = 500;
inline constexpr int kAgentResponsePoll = 2;  // two half-second sleeps: one second

// The agent's side of the orders. The agent link implements it (with the write community and the
// agent address of the live record).
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

// What the battery test shows the user. The main window implements it.
class TestPrompts {
public:
    virtual ~TestPrompts() = default;
    // The Yes/No question kTestQuestion under "Pregunta"; true only for Yes.
    virtual bool confirmTest() = 0;
    // The information pop-up with kTestStartPicture and kTestStarting for kTestStartNoticeMs,
    // painted at once: the thread blocks right after it and paints nothing more.
    virtual void showStartNotice() = 0;
};

// Who asked for a battery test, as the history tells it.
enum class TestTrigger { byHand, bySchedule, atStart };
std::string_view testTriggerText(TestTrigger trigger);
// An outcome (a TestOutcome code) as the history tells it: the text its presentation shows.
std::string_view testOutcomeText(int outcome);

// What the order depends on, read from the run-time state and the configuration at the call.
struct UpsCommandContext {
    TestTrigger trigger = TestTrigger::byHand;
    int eventCode = 0;
    bool askStart = false;
    bool serialLinkActive = false;
    bool agentLinkActive = false;
    bool agentCommandsOk = false;
};

// Receives every status read of an SNMP watch, so that the state (and the display) follows what
// the test saw.
using StatusSink = std::function<void(const AgentStatusRead&)>;

class UpsCommands {
public:
    // Either link may be null when the configuration does not use it; a null link carries nothing.
    UpsCommands(TestPrompts& prompts, Sleeper& sleeper, SerialLink* serialLink = nullptr,
                AgentCommands* agent = nullptr)
        : prompts_(prompts), sleeper_(sleeper), serialLink_(serialLink), agent_(agent) {}

    void setSerialLink(SerialLink* link) { serialLink_ = link; }
    void setAgentCommands(AgentCommands* agent) { agent_ = agent; }
    // Where a test's start and outcome and an alarm silenced are reported; none until set.
    void setJournal(EventJournal& journal) { journal_ = &journal; }

    // With a power event in force: the alarm-silence order, no question, no pop-up, trNone.
    // Otherwise the battery test, with its outcome (a TestOutcome code).
    int runUpsCommand(const UpsCommandContext& context, const StatusSink& onStatusRead);

private:
    bool serialCarries(const UpsCommandContext& context) const;
    bool agentCarries(const UpsCommandContext& context) const;
    void silenceAlarm(const UpsCommandContext& context);
    int runBatteryTest(const UpsCommandContext& context, const StatusSink& onStatusRead);
    int watchSerial();
    int watchAgent(const StatusSink& onStatusRead);
    bool readStatus(const StatusSink& onStatusRead, AgentStatusRead& read);

    TestPrompts& prompts_;
    Sleeper& sleeper_;
    SerialLink* serialLink_;
    AgentCommands* agent_;
    NoEventJournal noJournal_;
    EventJournal* journal_ = &noJournal_;
};

}  // namespace ups
