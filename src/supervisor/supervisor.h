#pragma once
// The once-a-second power-event supervisor and the shutdown sequence it calls. It reads the UPS
// state from the serial link, from the trap listener's fields or from the server of a UPS that
// another machine serves, paces the notices, counts down to closing the applications and powering
// the machine off, and starts scheduled battery tests. As the primary of other machines it tells
// them to shut down first and waits for them (bounded). It runs on the GUI thread and touches the
// window only through SupervisorView.
//
// A tick never waits: agent reads are asked for on one tick and their answers taken on a later
// one, the countdowns count seconds of the monotonic clock (a late tick never stretches them),
// and what needs a box or the power-off request runs from the event loop after the tick. A tick
// that finds itself re-entered, or that comes after the shutdown began, does nothing.
#include <cstdint>
#include <optional>

#include "base/clock.h"
#include "base/historyRecorder.h"
#include "config/cfgRecords.h"
#include "links/agentStatus.h"
#include "links/followedStatus.h"
#include "links/serialLink.h"
#include "links/trapFields.h"
#include "supervisor/followerHandoff.h"
#include "supervisor/scheduledTestService.h"
#include "supervisor/supervisorState.h"
#include "supervisor/supervisorView.h"
#include "supervisor/systemControl.h"

namespace ups {

// Applies an agent status read to the state: each answered value replaces the state's and marks
// the display dirty. True only when both reads were answered.
bool applyAgentStatus(const AgentStatusRead& read, SupervisorState& state);

// Something that moves on the supervisor's tick, after the real countdowns.
class TickCompanion {
public:
    virtual ~TickCompanion() = default;
    // realNoticeShown: the real supervision showed a notice on this tick, which the companion's
    // own must not cover.
    virtual void afterCountdowns(const SupervisorState& state, bool realNoticeShown) = 0;
};

// What the box says when the system refuses the power-off, before the system's reason.
inline constexpr std::string_view kPowerOffRefused = "El sistema no aceptó el apagado: ";
inline constexpr std::string_view kPowerOffRefusedGoesOn = "\r\nEl monitoreo de la UPS continúa.";

class Supervisor {
public:
    // serialLink and agentReads may be null when the mode does not use them.
    Supervisor(const CfgUps& cfgUps, const CfgSnmp& cfgSnmp, SupervisorState& state,
               TrapFields& trapFields, SupervisorView& view, SystemControl& system,
               ScheduledTestService& tests, Clock& clock, SerialLink* serialLink,
               AgentStatusRequests* agentReads);

    // The tick of the 1000 ms Timer.
    void TimerTimer();

    void setSerialLink(SerialLink* link) { serialLink_ = link; }
    void setAgentReads(AgentStatusRequests* reads) { agentReads_ = reads; }
    void setCompanion(TickCompanion* companion) { companion_ = companion; }
    // Following a UPS that another machine serves: while set, the tick reads only this link. A
    // server lost while the UPS was on battery counts as critical after lostGraceSeconds; lost on
    // the line it is a notice. Null: not following.
    void setFollowed(FollowedStatusReader* reader, int lostGraceSeconds);
    // The machines that follow this one's UPS: told to shut down when the power-off is decided,
    // which then waits up to waitSeconds for them to log out. Null: none.
    void setFollowerHandoff(FollowerHandoff* handoff, int waitSeconds);
    // Where the power events, the notices and the shutdown's steps are reported; none until set.
    void setHistory(HistoryRecorder& history) { history_ = &history; }

    // The power-off has been decided and its request is about to go out.
    bool shutdownPending() const { return shutdownPending_; }
    // The program is ending while the request waits for its notice's moment: it goes out now.
    void completePendingShutdown();
    // A close asked for while the request waits (for its notice's moment or for the followers):
    // it goes out now, announced, while the program still runs, so that a refusal is answered
    // as any other is and supervision goes on.
    void requestPowerOffNow();

private:
    static constexpr int kRepollAfterTicks = 7;
    static constexpr int kShortNoticeFrom = 10;
    static constexpr int kCriticalRepeatTicks = 3;
    // How long the shutdown waits for the history, before and after it asks for the power-off.
    // A healthy disk commits in milliseconds; the battery is at its end, and a disk slower than
    // this must not hold the power-off back.
    static constexpr int kHistoryFlushMs = 1000;
    // A tick the timer brings a little early still counts its second.
    static constexpr std::int64_t kTickSlackMs = 100;
    // How often the power-off's wait for the followers looks at their number.
    static constexpr int kFollowerPollMs = 250;
    // Seconds that decide a power-off are bounded where they enter.
    static constexpr int kMaxFollowSeconds = 3600;

    void tick();
    void readUpsState();
    void takeAgentRead();
    void takeAgentReadIfAnswered();
    void readSerialLines();
    void readTrapFields();
    void readFollowedStatus();
    void followServerLost(const FollowedStatus& status);
    void paceAgentRepoll();
    void requestAgentRead(bool forRestart);
    void followAdministratorNotice();
    void recordAdministratorNotice();
    void followAgentRestart();
    void followRequestedRestart();
    void recordStateChanges();
    void recordChangedStates();
    void notify(std::optional<std::string> caption, std::optional<int> picture, std::string text,
                int hideDelayMs);
    int secondsToCount(std::optional<std::int64_t>& countedAt);

    void runCountdowns();
    bool followForcedShutdown();
    void runCritical();
    void runAdministrator();
    void runOrdinary();
    void warnLineFailure();
    void announceAdministrator();
    bool warnCountdownExpired();
    void startScheduledTestWhenFree();
    void startDueTestLater();

    // Asks every other application to close; called once at half-time of a countdown.
    void closeApplications();
    // Announces the power-off; its request follows from the event loop.
    void shutdownSystem();
    // Tells the followers to shut down; true when some are logged in and the wait has begun.
    bool handOffToFollowers();
    void waitForFollowers();
    // The power-off's notice, and its request from the event loop after the notice's moment.
    void announcePowerOff();
    void requestPowerOff();
    // Closes the followed session and asks the system; returns its answer.
    std::string askPowerOff();
    bool mayPowerOff() const { return shutdownEnabled() && !powerOffRefused_; }

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
    SerialLink* serialLink_;
    AgentStatusRequests* agentReads_;
    TickCompanion* companion_ = nullptr;
    FollowedStatusReader* followed_ = nullptr;
    std::int64_t lostGraceMs_ = 15'000;
    FollowerHandoff* handoff_ = nullptr;
    std::int64_t followerWaitMs_ = 15'000;
    std::int64_t followerWaitFrom_ = 0;
    NoHistoryRecorder noHistory_;
    HistoryRecorder* history_ = &noHistory_;
    // What the history was last told: it starts from a normal state, so a monitor that starts
    // during an outage reports it on its first tick.
    bool recordedLineOk_ = true;
    bool recordedBatteryLow_ = false;
    bool recordedCritical_ = false;
    bool agentSilent_ = false;
    bool restartFollowed_ = false;

    // An agent read on its way: why it was asked for, and how many status traps had come then.
    struct PendingRead {
        bool forRestart;
        std::uint32_t trapsAsOf;
    };
    std::optional<PendingRead> pendingRead_;

    // The followed server: the monotonic moment it was lost (empty while it answers), whether it
    // ever answered, and its order to power off (FSD), acted on once while it stays set.
    std::optional<std::int64_t> followedLostAt_;
    unsigned followedSessions_ = 0;
    bool followedReached_ = false;
    bool forcedShutdown_ = false;
    bool forcedShutdownFollowed_ = false;

    // The monotonic moment up to which each countdown has counted; empty while it does not run.
    std::optional<std::int64_t> criticalCountedAt_;
    std::optional<std::int64_t> adminCountedAt_;

    bool inTick_ = false;
    bool noticeThisTick_ = false;
    bool testHeld_ = false;
    bool shutdownPending_ = false;
    bool powerOffAnnounced_ = false;
    bool shutDown_ = false;
    // The system refused the power-off of this episode: supervision goes on, without asking
    // again until the state has been normal.
    bool powerOffRefused_ = false;
};

}  // namespace ups
