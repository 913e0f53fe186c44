#include "supervisor/supervisor.h"

#include <string>
#include <vector>

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
                       ScheduledTestService& tests, Clock& clock, Sleeper& sleeper,
                       SerialLink* serialLink, AgentStatusReader* agentReader)
    : cfgUps_(cfgUps),
      cfgSnmp_(cfgSnmp),
      state_(state),
      trap_(trapFields),
      view_(view),
      system_(system),
      tests_(tests),
      clock_(clock),
      sleeper_(sleeper),
      serialLink_(serialLink),
      agentReader_(agentReader) {}

void Supervisor::TimerTimer() {
    view_.stopTimer();
    if (!state_.serialLinkActive && !state_.agentLinkActive) {
        // Nothing is watched until a configuration brings a link up and restarts the timer.
        view_.restoreWindow();
        return;
    }
    // From here on the next tick is wanted, so a box this tick opens (a test outcome, a store
    // that cannot be written) does not stop supervision: ticks run inside the box's loop. Only
    // the shutdown stops the timer again.
    view_.startTimer();
    state_.tickTime = clock_.now();
    readUpsState();
    journalStateChanges();
    view_.refreshDisplay();
    runCountdowns();
    // The program is ending: no test.
    if (shutDown_) return;
    if (companion_ != nullptr) companion_->afterCountdowns(state_);
    if (state_.eventCode == 0 && tests_.isTestDue()) runScheduledTest();
}

void Supervisor::runScheduledTest() {
    view_.setTestButtonEnabled(false);
    int outcome = tests_.runUpsCommand();
    showTestOutcome(outcome, view_, sleeper_);
    view_.setTestButtonEnabled(true);
}

void Supervisor::notify(std::optional<std::string> caption, std::optional<int> picture,
                        std::string text, int hideDelayMs) {
    journal_->record(HistoryEventKind::noticeShown, text);
    view_.showNotice(std::move(caption), picture, std::move(text), hideDelayMs);
}

void Supervisor::journalStateChanges() {
    using Kind = HistoryEventKind;
    if (state_.lineOk != journaledLineOk_) {
        journaledLineOk_ = state_.lineOk;
        journal_->record(state_.lineOk ? Kind::mainsReturned : Kind::mainsFailed);
    }
    if (state_.batteryLow != journaledBatteryLow_) {
        journaledBatteryLow_ = state_.batteryLow;
        journal_->record(state_.batteryLow ? Kind::batteryLow : Kind::batteryNormal);
    }
    const bool critical = state_.eventCode == 3;
    if (critical != journaledCritical_) {
        journaledCritical_ = critical;
        if (!critical) {
            journal_->record(Kind::criticalLeft);
        } else if (shutdownEnabled()) {
            journal_->record(
                Kind::criticalEntered,
                "apagado del sistema en " + std::to_string(state_.shutdownCountdown) + " s");
        } else {
            journal_->record(Kind::criticalEntered, "apagado del sistema deshabilitado");
        }
    }
}

// ---- reading the UPS state ----

void Supervisor::readUpsState() {
    const bool wasLineOk = state_.lineOk;
    const bool wasBatteryLow = state_.batteryLow;
    if (!cfgSnmp_.enhSnmp) {
        state_.adminShutdownPending = false;
        readSerialLines();
    } else if (cfgSnmp_.enhTrap) {
        readTrapFields();
    }
    // SNMP without traps reads nothing: the state stays as the start-up or the dialog left it.
    if (state_.lineOk != wasLineOk || state_.batteryLow != wasBatteryLow) {
        state_.displayDirty = true;
    }
    state_.deriveEventCode();
}

void Supervisor::readSerialLines() {
    // A closed port would read as a line failure; without an open link the state stays put.
    if (serialLink_ == nullptr || !state_.serialLinkActive) return;
    SerialLines lines = serialLink_->readLines();
    state_.lineOk = lines.lineOk;
    state_.batteryLow = lines.batteryLow;
}

void Supervisor::readTrapFields() {
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

void Supervisor::paceAgentRepoll() {
    if (state_.lineOk) {
        state_.pollCounter = 0;
        return;
    }
    // A silent agent during a long line failure: its traps may have been lost.
    state_.pollCounter += 1;
    if (state_.pollCounter > kRepollAfterTicks) {
        if (readAgentStatus()) writeStateBack();
        state_.pollCounter = 0;
    }
}

void Supervisor::followAdministratorNotice() {
    // Only minutes whose notice the tick took count, so a countdown always starts from a notice.
    const std::optional<std::int32_t> notice = trap_.takeAdminNotice();
    if (notice) state_.adminMinutes = *notice;
    state_.adminShutdownPending = state_.adminMinutes != kNoSwitchOff;
    if (!notice) return;
    if (state_.adminShutdownPending) {
        journal_->record(HistoryEventKind::switchOffAnnounced,
                         std::to_string(state_.adminMinutes) + " min");
        // Zero minutes keeps whatever countdown is already running.
        if (state_.adminMinutes != 0) state_.adminCountdown = state_.adminMinutes * 60;
    } else {
        journal_->record(HistoryEventKind::switchOffCancelled);
        notify(text(kCaptionAdministrator), std::nullopt, text(kSwitchOffCancelled),
               kAdministratorMs);
    }
}

void Supervisor::followAgentRestart() {
    if (!trap_.refreshRequested.exchange(false, std::memory_order_acq_rel)) return;
    // The retries of one restart are one event.
    if (!restartFollowed_) journal_->record(HistoryEventKind::agentRestarted);
    // A failed read leaves the request standing, so the next tick tries again.
    if (readAgentStatus()) {
        restartFollowed_ = false;
        writeStateBack();
    } else {
        restartFollowed_ = true;
        trap_.refreshRequested.store(true, std::memory_order_release);
    }
}

bool Supervisor::readAgentStatus() {
    if (agentReader_ == nullptr) return false;
    const bool answered = applyAgentStatus(agentReader_->readAgentStatus(), state_);
    // Said once per silence, not at every read that finds it still silent.
    if (!answered && !agentSilent_) {
        journal_->record(HistoryEventKind::agentNotAnswering,
                         "agente " + fieldText(cfgSnmp_.ipAgent));
    }
    agentSilent_ = !answered;
    return answered;
}

void Supervisor::writeStateBack() {
    trap_.seedState(state_.lineOk, state_.batteryLow);
}

// ---- notices and countdowns ----

void Supervisor::runCountdowns() {
    if (state_.eventCode == 3) {
        runCritical();
    } else if (state_.adminShutdownPending) {
        runAdministrator();
    } else {
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
    if (left > 0) left -= 1;
    if (left == 0) {
        if (shutdownEnabled()) {
            shutdownSystem();
        } else if (state_.criticalRepeat >= kCriticalRepeatTicks) {
            notify(text(kCaptionBatteryLow), kPictureBatteryLow, text(kCriticalGoesOn), kShortMs);
            state_.criticalRepeat = 0;
        } else {
            state_.criticalRepeat += 1;
        }
        return;
    }
    if (left > kShortNoticeFrom) {
        if (warnCountdownExpired()) {
            notify(text(kCaptionBatteryLow), kPictureBatteryLow,
                   shutdownEnabled() ? secondsToClose(left) : text(kCriticalGoesOn), kLongMs);
        }
    } else if (left % 2 == 0) {
        notify(text(kCaptionBatteryLow), kPictureBatteryLow,
               shutdownEnabled() ? secondsToClose(left) : text(kCriticalGoesOn), kShortMs);
    }
    if (left == halfTime() && shutdownEnabled()) closeApplications();
}

void Supervisor::runAdministrator() {
    int& left = state_.adminCountdown;
    if (left == 0) {
        if (shutdownEnabled()) shutdownSystem();
    } else if (left == halfTime()) {
        if (shutdownEnabled()) closeApplications();
    } else if (left > cfgUps_.tmpLowB) {
        announceAdministrator();
    } else if (left > kShortNoticeFrom) {
        if (warnCountdownExpired() && shutdownEnabled()) {
            notify(std::nullopt, std::nullopt, secondsToClose(left), kLongMs);
        }
    } else if (left % 2 == 0 && shutdownEnabled()) {
        notify(std::nullopt, std::nullopt, secondsToClose(left), kShortMs);
    }
    if (left > 0) left -= 1;
}

void Supervisor::announceAdministrator() {
    const int minutes = state_.adminMinutes;
    // Only the first tick after the notice: the countdown has not moved yet.
    if (state_.adminCountdown != minutes * 60) return;
    notify(text(kCaptionAdministrator), std::nullopt, upsSwitchesOffIn(minutes), kAdministratorMs);
}

void Supervisor::runOrdinary() {
    view_.setNoticeCaption(text(kCaptionInformation));
    switch (state_.eventCode) {
        case 0:
            state_.failWarned = false;
            state_.warnCountdown = cfgUps_.tmpFail;
            state_.shutdownCountdown = cfgUps_.tmpLowB;
            break;
        case 1:
            if (warnCountdownExpired()) {
                notify(std::nullopt, kPictureOnBattery,
                       text(state_.failWarned ? kLineFailureGoesOn : kLineFailure), kLongMs);
                state_.failWarned = true;
            }
            state_.shutdownCountdown = cfgUps_.tmpLowB;
            break;
        case 2:
            // The critical countdown stays frozen until the mains fail again or all is normal.
            state_.failWarned = false;
            state_.warnCountdown = cfgUps_.tmpFail;
            break;
        default:
            break;
    }
}

// ---- the shutdown sequence ----

void Supervisor::closeApplications() {
    notify(std::nullopt, std::nullopt, text(kClosingApplications), kLongMs);
    const std::vector<std::string> asked = system_.closeOtherApplications();
    journal_->record(HistoryEventKind::applicationsClosed,
                     asked.empty() ? std::string("ninguna") : joined(asked));
}

void Supervisor::shutdownSystem() {
    shutDown_ = true;
    view_.stopTimer();
    notify(std::nullopt, std::nullopt, text(kClosingSystem), kShortMs);
    view_.repaintNotice();
    sleeper_.sleepMs(kShortMs);
    state_.closingBySystem = true;
    // What was reported so far reaches the disk before the machine may go down; then the answer,
    // which does not change what follows: the monitor closes itself whether or not the system
    // obeys.
    journal_->flush(kJournalFlushMs);
    journal_->record(HistoryEventKind::powerOffRequested, system_.requestPowerOff());
    journal_->flush(kJournalFlushMs);
    view_.closeMainWindow();
}

}  // namespace ups
