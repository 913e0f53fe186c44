#pragma once
// The once-a-second power-event supervisor and the shutdown sequence it calls. It reads the UPS
// state from the serial link or from the trap listener's fields, paces the notices, counts down
// to closing the applications and powering the machine off, and starts scheduled battery tests.
// It runs on the GUI thread and touches the window only through SupervisorView.
#include "base/clock.h"
#include "base/eventJournal.h"
#include "config/cfgRecords.h"
#include "links/agentStatus.h"
#include "links/serialLink.h"
#include "links/trapFields.h"
#include "supervisor/scheduledTestService.h"
#include "supervisor/supervisorState.h"
#include "supervisor/supervisorView.h"
#include "supervisor/systemControl.h"

namespace ups {

// Applies an agent status read to the state: each answered value replaces the state's and marks
// the display dirty. True only when both reads were answered.
bool applyAgentStatus(const AgentStatusRead& read, SupervisorState& state);

// Something that moves on the supervisor's tick, after the real countdowns and before a scheduled
// test can open a box, so it moves once a tick even when ticks run inside the box's loop.
class TickCompanion {
public:
    virtual ~TickCompanion() = default;
    virtual void afterCountdowns(const SupervisorState& state) = 0;
};

class Supervisor {
public:
    // serialLink and agentReader may be null when the mode does not use them.
    Supervisor(const CfgUps& cfgUps, const CfgSnmp& cfgSnmp, SupervisorState& state,
               TrapFields& trapFields, SupervisorView& view, SystemControl& system,
               ScheduledTestService& tests, Clock& clock, Sleeper& sleeper, SerialLink* serialLink,
               AgentStatusReader* agentReader);

    // The tick of the 1000 ms Timer.
    void TimerTimer();
    void readUpsState();
    void runCountdowns();
    // Asks every other application to close; called once at half-time of a countdown.
    void closeApplications();
    // Stops the tick, requests the power-off and closes the monitor; terminal.
    void shutdownSystem();

    void setSerialLink(SerialLink* link) { serialLink_ = link; }
    void setAgentReader(AgentStatusReader* reader) { agentReader_ = reader; }
    void setCompanion(TickCompanion* companion) { companion_ = companion; }
    // Where the power events, the notices and the shutdown's steps are reported; none until set.
    void setJournal(EventJournal& journal) { journal_ = &journal; }

private:
    static constexpr int kRepollAfterTicks = 7;
    static constexpr int kShortNoticeFrom = 10;
    static constexpr int kCriticalRepeatTicks = 3;
    // How long the shutdown waits for the journal, before and after it asks for the power-off.
    // A healthy disk commits in milliseconds; the battery is at its end, and a disk slower than
    // this must not hold the power-off back.
    static constexpr int kJournalFlushMs = 1000;

    void readSerialLines();
    void readTrapFields();
    void paceAgentRepoll();
    void followAdministratorNotice();
    void followAgentRestart();
    bool readAgentStatus();
    void journalStateChanges();
    void notify(std::optional<std::string> caption, std::optional<int> picture, std::string text,
                int hideDelayMs);
    void writeStateBack();

    void runCritical();
    void runAdministrator();
    void runOrdinary();
    void announceAdministrator();
    bool warnCountdownExpired();
    void runScheduledTest();

    bool shutdownEnabled() const { return cfgUps_.enhShutdwn != 0; }
    int halfTime() const { return cfgUps_.tmpLowB / 2; }

    const CfgUps& cfgUps_;
    const CfgSnmp& cfgSnmp_;
    SupervisorState& state_;
    TrapFields& trap_;
    SupervisorView& view_;
    SystemControl& system_;
    ScheduledTestService& tests_;
    Clock& clock_;
    Sleeper& sleeper_;
    SerialLink* serialLink_;
    AgentStatusReader* agentReader_;
    TickCompanion* companion_ = nullptr;
    NoEventJournal noJournal_;
    EventJournal* journal_ = &noJournal_;
    // What the journal was last told: it starts from a normal state, so a monitor that starts
    // during an outage reports it on its first tick.
    bool journaledLineOk_ = true;
    bool journaledBatteryLow_ = false;
    bool journaledCritical_ = false;
    bool agentSilent_ = false;
    bool restartFollowed_ = false;
    bool shutDown_ = false;
};

}  // namespace ups
