#include "supervisor/supervisor.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/tickPath.h"
#include "supervisor/noticeTexts.h"

namespace ups {

using namespace notice;

namespace {

std::string text(std::string_view s) {
    return std::string(s);
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

// Clears a flag when the scope ends, however it ends.
class Entered {
public:
    explicit Entered(bool& flag) : flag_(flag) { flag_ = true; }
    ~Entered() { flag_ = false; }
    Entered(const Entered&) = delete;
    Entered& operator=(const Entered&) = delete;

private:
    bool& flag_;
};

}  // namespace

bool applyAgentStatus(const AgentStatusRead& read, SupervisorState& state) {
    if (read.lineAnswered) {
        state.lineOk = read.lineOk;
        state.displayDirty = true;
    }
    if (read.batteryAnswered) {
        state.batteryLow = read.batteryLow;
        state.displayDirty = true;
    }
    return read.lineAnswered && read.batteryAnswered;
}

Supervisor::Supervisor(const CfgUps& cfgUps, const CfgSnmp& cfgSnmp, SupervisorState& state,
                       TrapFields& trapFields, SupervisorView& view, SystemControl& system,
                       ScheduledTestService& tests, Clock& clock, SerialLink* serialLink,
                       AgentStatusRequests* agentReads)
    : cfgUps_(cfgUps),
      cfgSnmp_(cfgSnmp),
      state_(state),
      trap_(trapFields),
      view_(view),
      system_(system),
      tests_(tests),
      clock_(clock),
      serialLink_(serialLink),
      agentReads_(agentReads) {}

UPS_TICK_PATH void Supervisor::TimerTimer() {
    // Nothing the tick calls runs an event loop, so a tick inside a tick would be a fault
    // elsewhere; and once the power-off is under way there is nothing left to supervise.
    if (inTick_ || shutdownPending_ || shutDown_) return;
    const Entered entered(inTick_);
    tick();
}

UPS_TICK_PATH void Supervisor::tick() {
    if (!state_.linkActive()) {
        // Nothing is watched until a configuration brings a link up and restarts the timer.
        view_.stopTimer();
        view_.restoreWindow();
        return;
    }
    noticeThisTick_ = false;
    state_.tickTime = clock_.now();
    readUpsState();
    recordStateChanges();
    view_.refreshDisplay();
    runCountdowns();
    // A power-off under way is a power event: the companion ends on it.
    if (companion_ != nullptr) companion_->afterCountdowns(state_, noticeThisTick_);
    if (shutdownPending_) return;
    startScheduledTestWhenFree();
}

UPS_TICK_PATH void Supervisor::startScheduledTestWhenFree() {
    // A followed UPS is another machine's to test.
    if (followed_ != nullptr || state_.eventCode() != ecNormal) return;
    if (!testHeld_ && !tests_.isTestDue()) return;
    // A test that falls due while a box or dialog waits, or while an order runs, waits for it:
    // the dialog may be changing the very link the test would use.
    if (view_.dialogOpen() || tests_.commandRunning()) {
        testHeld_ = true;
        return;
    }
    startDueTestLater();
}

UPS_TICK_RARE void Supervisor::startDueTestLater() {
    testHeld_ = false;
    view_.runLater(0, [this] { tests_.startDueTest(); });
}

void Supervisor::notify(std::optional<std::string> caption, std::optional<int> picture,
                        std::string text, int hideDelayMs) {
    noticeThisTick_ = true;
    history_->record(HistoryEventKind::noticeShown, text);
    view_.showNotice(std::move(caption), picture, std::move(text), hideDelayMs);
}

UPS_TICK_PATH void Supervisor::recordStateChanges() {
    const bool critical = state_.eventCode() == ecCritical;
    if (state_.lineOk != recordedLineOk_ || state_.batteryLow != recordedBatteryLow_ ||
        critical != recordedCritical_) {
        recordChangedStates();
    }
}

UPS_TICK_RARE void Supervisor::recordChangedStates() {
    using Kind = HistoryEventKind;
    if (state_.lineOk != recordedLineOk_) {
        recordedLineOk_ = state_.lineOk;
        history_->record(state_.lineOk ? Kind::mainsReturned : Kind::mainsFailed);
    }
    if (state_.batteryLow != recordedBatteryLow_) {
        recordedBatteryLow_ = state_.batteryLow;
        history_->record(state_.batteryLow ? Kind::batteryLow : Kind::batteryNormal);
    }
    const bool critical = state_.eventCode() == ecCritical;
    if (critical != recordedCritical_) {
        recordedCritical_ = critical;
        if (!critical) {
            history_->record(Kind::criticalLeft);
        } else if (mayPowerOff()) {
            history_->record(
                Kind::criticalEntered,
                "apagado del sistema en " + std::to_string(state_.shutdownCountdown) + " s");
        } else {
            history_->record(Kind::criticalEntered, "apagado del sistema deshabilitado");
        }
    }
}

// ---- reading the UPS state ----

UPS_TICK_PATH void Supervisor::readUpsState() {
    const bool wasLineOk = state_.lineOk;
    const bool wasBatteryLow = state_.batteryLow;
    if (followed_ != nullptr) {
        readFollowedStatus();
    } else if (!cfgSnmp_.enhSnmp) {
        state_.adminShutdownPending = false;
        readSerialLines();
    } else if (cfgSnmp_.enhTrap) {
        takeAgentRead();
        readTrapFields();
    }
    // SNMP without traps reads nothing: the state stays as the start-up or the dialog left it.
    if (state_.lineOk != wasLineOk || state_.batteryLow != wasBatteryLow) {
        state_.displayDirty = true;
    }
}

UPS_TICK_PATH void Supervisor::readSerialLines() {
    // A closed port would read as a line failure; without an open link the state stays put.
    if (serialLink_ == nullptr || !state_.serialLinkActive) return;
    SerialLines lines = serialLink_->readLines();
    state_.lineOk = lines.lineOk;
    state_.batteryLow = lines.batteryLow;
}

UPS_TICK_PATH void Supervisor::takeAgentRead() {
    if (pendingRead_ && agentReads_ != nullptr) takeAgentReadIfAnswered();
}

UPS_TICK_RARE void Supervisor::takeAgentReadIfAnswered() {
    const std::optional<AgentStatusRead> read = agentReads_->takeStatus();
    if (!read) return;
    const PendingRead asked = *pendingRead_;
    pendingRead_.reset();
    const bool answered = read->lineAnswered && read->batteryAnswered;
    // Said once per silence, not at every read that finds it still silent.
    if (!answered && !agentSilent_) {
        history_->record(HistoryEventKind::agentNotAnswering,
                         "agente " + fieldText(cfgSnmp_.ipAgent));
    }
    agentSilent_ = !answered;
    if (!answered) {
        // A restart still wants its read: the next tick asks again. A re-poll comes again on its
        // own eight ticks later.
        if (asked.forRestart) trap_.refreshRequested.store(true, std::memory_order_release);
        return;
    }
    if (asked.forRestart) restartFollowed_ = false;
    // A trap that came while the read was on its way is newer than the read and stays.
    trap_.storeReadUnlessTrapSince(asked.trapsAsOf, read->lineOk, read->batteryLow);
}

UPS_TICK_PATH void Supervisor::readTrapFields() {
    // The flag is taken first: the listener stores the states before it clears the flag.
    const bool statusTrapArrived =
        !trap_.statusNoticeDone.exchange(true, std::memory_order_acq_rel);
    state_.batteryLow = trap_.batteryState.load(std::memory_order_relaxed) == 2;
    state_.lineOk = trap_.lineState.load(std::memory_order_relaxed) == 1;
    if (statusTrapArrived) {
        state_.pollCounter = 0;
    } else {
        paceAgentRepoll();
    }
    followAdministratorNotice();
    followAgentRestart();
}

UPS_TICK_PATH void Supervisor::paceAgentRepoll() {
    if (state_.lineOk) {
        state_.pollCounter = 0;
        return;
    }
    // A silent agent during a long line failure: its traps may have been lost.
    state_.pollCounter += 1;
    if (state_.pollCounter > kRepollAfterTicks) {
        requestAgentRead(false);
        state_.pollCounter = 0;
    }
}

void Supervisor::requestAgentRead(bool forRestart) {
    if (agentReads_ == nullptr) return;
    if (pendingRead_) {
        // The read on its way answers the restart too; if it fails the restart asks again.
        pendingRead_->forRestart = pendingRead_->forRestart || forRestart;
        return;
    }
    // Counted before the request leaves, so a trap that overtakes the answer is seen as newer.
    const std::uint32_t trapsAsOf = trap_.statusTraps();
    if (agentReads_->requestStatus()) pendingRead_ = PendingRead{forRestart, trapsAsOf};
}

UPS_TICK_PATH void Supervisor::followAdministratorNotice() {
    // Only minutes whose notice the tick took count, so a countdown always starts from a notice.
    const std::optional<std::int32_t> notice = trap_.takeAdminNotice();
    if (notice) state_.adminMinutes = *notice;
    state_.adminShutdownPending = state_.adminMinutes != kNoSwitchOff;
    if (notice) recordAdministratorNotice();
}

UPS_TICK_RARE void Supervisor::recordAdministratorNotice() {
    if (state_.adminShutdownPending) {
        history_->record(HistoryEventKind::switchOffAnnounced,
                         std::to_string(state_.adminMinutes) + " min");
        // Zero minutes keeps whatever countdown is already running.
        if (state_.adminMinutes != 0) {
            state_.adminCountdown = state_.adminMinutes * 60;
            adminCountedAt_.reset();
        }
    } else {
        history_->record(HistoryEventKind::switchOffCancelled);
        notify(text(kCaptionAdministrator), std::nullopt, text(kSwitchOffCancelled),
               kAdministratorMs);
    }
}

UPS_TICK_PATH void Supervisor::followAgentRestart() {
    if (trap_.refreshRequested.exchange(false, std::memory_order_acq_rel)) followRequestedRestart();
}

UPS_TICK_RARE void Supervisor::followRequestedRestart() {
    // The retries of one restart are one event.
    if (!restartFollowed_) history_->record(HistoryEventKind::agentRestarted);
    restartFollowed_ = true;
    requestAgentRead(true);
}

// ---- notices and countdowns ----

int Supervisor::secondsToCount(std::optional<std::int64_t>& countedAt) {
    const std::int64_t now = clock_.monotonicMs();
    // The tick that starts a countdown counts its first second, as every tick of it did before.
    if (!countedAt) {
        countedAt = now;
        return 1;
    }
    const std::int64_t seconds =
        std::max<std::int64_t>(0, (now - *countedAt + kTickSlackMs) / 1000);
    *countedAt += seconds * 1000;
    return static_cast<int>(std::min<std::int64_t>(seconds, 1'000'000));
}

UPS_TICK_PATH void Supervisor::runCountdowns() {
    if (forcedShutdown_ && followForcedShutdown()) return;
    if (state_.eventCode() == ecCritical) {
        // The switch-off countdown does not move while the state is critical.
        adminCountedAt_.reset();
        runCritical();
        return;
    }
    criticalCountedAt_.reset();
    if (state_.adminShutdownPending) {
        runAdministrator();
    } else {
        adminCountedAt_.reset();
        runOrdinary();
    }
}

bool Supervisor::warnCountdownExpired() {
    if (state_.warnCountdown > 0) {
        state_.warnCountdown -= 1;
        return false;
    }
    state_.warnCountdown = cfgUps_.tmpBat;
    return true;
}

void Supervisor::runCritical() {
    int& left = state_.shutdownCountdown;
    const int before = left;
    left = std::max(0, left - secondsToCount(criticalCountedAt_));
    const bool passedHalfTime = before > halfTime() && left <= halfTime();
    if (left == 0) {
        if (mayPowerOff()) {
            // A tick late enough to jump over half-time still asks the applications first.
            if (passedHalfTime) closeApplications();
            shutdownSystem();
        } else if (state_.criticalRepeat >= kCriticalRepeatTicks) {
            notify(text(kCaptionBatteryLow), kPictureBatteryLow, text(kCriticalGoesOn), kShortMs);
            state_.criticalRepeat = 0;
        } else {
            state_.criticalRepeat += 1;
        }
        return;
    }
    // A tick the timer brought early: no second has passed, and nothing is shown twice.
    if (left == before) return;
    if (left > kShortNoticeFrom) {
        if (warnCountdownExpired()) {
            notify(text(kCaptionBatteryLow), kPictureBatteryLow,
                   mayPowerOff() ? secondsToClose(left) : text(kCriticalGoesOn), kLongMs);
        }
    } else if (left % 2 == 0) {
        notify(text(kCaptionBatteryLow), kPictureBatteryLow,
               mayPowerOff() ? secondsToClose(left) : text(kCriticalGoesOn), kShortMs);
    }
    if (passedHalfTime && mayPowerOff()) closeApplications();
}

void Supervisor::runAdministrator() {
    int& left = state_.adminCountdown;
    const int seconds = left > 0 ? secondsToCount(adminCountedAt_) : 1;
    if (seconds == 0) return;  // an early tick: this second was already handled
    if (left == 0) {
        if (mayPowerOff()) shutdownSystem();
    } else if (left == halfTime()) {
        if (mayPowerOff()) closeApplications();
    } else if (left > cfgUps_.tmpLowB) {
        announceAdministrator();
    } else if (left > kShortNoticeFrom) {
        if (warnCountdownExpired() && mayPowerOff()) {
            notify(std::nullopt, std::nullopt, secondsToClose(left), kLongMs);
        }
    } else if (left % 2 == 0 && mayPowerOff()) {
        notify(std::nullopt, std::nullopt, secondsToClose(left), kShortMs);
    }
    if (left == 0) return;
    const int after = std::max(0, left - seconds);
    // A late tick skipped the seconds between: half-time among them still asks the applications.
    if (after < halfTime() && halfTime() < left && mayPowerOff()) closeApplications();
    left = after;
}

void Supervisor::announceAdministrator() {
    const int minutes = state_.adminMinutes;
    // Only the first tick after the notice: the countdown has not moved yet.
    if (state_.adminCountdown != minutes * 60) return;
    notify(text(kCaptionAdministrator), std::nullopt, upsSwitchesOffIn(minutes), kAdministratorMs);
}

UPS_TICK_PATH void Supervisor::runOrdinary() {
    view_.setNoticeCaption(text(kCaptionInformation));
    switch (state_.eventCode()) {
        case ecNormal:
            state_.failWarned = false;
            state_.warnCountdown = cfgUps_.tmpFail;
            state_.shutdownCountdown = cfgUps_.tmpLowB;
            powerOffRefused_ = false;
            break;
        case ecOnBattery:
            // A battery test takes the UPS off the mains on purpose: its seconds are not the
            // failure's.
            if (!tests_.commandRunning() && warnCountdownExpired()) warnLineFailure();
            state_.shutdownCountdown = cfgUps_.tmpLowB;
            break;
        case ecLowOnMains:
            // The critical countdown stays frozen until the mains fail again or all is normal.
            state_.failWarned = false;
            state_.warnCountdown = cfgUps_.tmpFail;
            break;
        default:
            break;
    }
}

UPS_TICK_RARE void Supervisor::warnLineFailure() {
    notify(std::nullopt, kPictureOnBattery,
           text(state_.failWarned ? kLineFailureGoesOn : kLineFailure), kLongMs);
    state_.failWarned = true;
}

// ---- the shutdown sequence ----

void Supervisor::closeApplications() {
    notify(std::nullopt, std::nullopt, text(kClosingApplications), kLongMs);
    const std::vector<std::string> asked = system_.closeOtherApplications();
    history_->record(HistoryEventKind::applicationsClosed,
                     asked.empty() ? std::string("ninguna") : joined(asked));
}

void Supervisor::shutdownSystem() {
    if (shutdownPending_ || shutDown_) return;
    // First of all: from here on a close or logout request ends the program without a question,
    // and without waiting for anybody.
    state_.closingBySystem = true;
    shutdownPending_ = true;
    view_.stopTimer();
    if (handOffToFollowers()) return;
    announcePowerOff();
}

void Supervisor::announcePowerOff() {
    powerOffAnnounced_ = true;
    notify(std::nullopt, std::nullopt, text(kClosingSystem), kShortMs);
    view_.repaintNotice();
    // The notice stays up for its moment; the request goes out from the event loop.
    view_.runLater(kShortMs, [this] { requestPowerOff(); });
}

void Supervisor::completePendingShutdown() {
    if (!shutdownPending_) return;
    shutdownPending_ = false;
    shutDown_ = true;
    // Ended while it waited for the followers: the request is not made unannounced.
    if (!powerOffAnnounced_) {
        notify(std::nullopt, std::nullopt, text(kClosingSystem), kShortMs);
        view_.repaintNotice();
    }
    askPowerOff();
}

void Supervisor::requestPowerOffNow() {
    if (!shutdownPending_) return;
    if (!powerOffAnnounced_) {
        powerOffAnnounced_ = true;
        notify(std::nullopt, std::nullopt, text(kClosingSystem), kShortMs);
        view_.repaintNotice();
    }
    requestPowerOff();
}

std::string Supervisor::askPowerOff() {
    // The server this machine follows sees it leave before it goes down.
    if (followed_ != nullptr) followed_->closeSession();
    // What was reported so far reaches the disk before the machine may go down.
    history_->flush(kHistoryFlushMs);
    const std::string answer = system_.requestPowerOff();
    history_->record(HistoryEventKind::powerOffRequested, answer);
    history_->flush(kHistoryFlushMs);
    return answer;
}

void Supervisor::requestPowerOff() {
    if (!shutdownPending_) return;
    shutdownPending_ = false;
    shutDown_ = true;
    const std::string answer = askPowerOff();
    if (answer == kPowerOffAccepted) {
        view_.closeMainWindow();
        return;
    }
    // Refused (no right to it, or the system said no): a monitor that ended now would leave the
    // computer unwatched until the battery dies. It says why and goes on; this episode does not
    // ask again.
    shutDown_ = false;
    powerOffAnnounced_ = false;
    powerOffRefused_ = true;
    state_.closingBySystem = false;
    if (followed_ != nullptr) followed_->reopenSession();
    view_.startTimer();
    view_.messageBoxes().messageBox(
        std::string(kPowerOffRefused) + answer + std::string(kPowerOffRefusedGoesOn), kTitleError,
        MbIcon::Error);
}

}  // namespace ups
