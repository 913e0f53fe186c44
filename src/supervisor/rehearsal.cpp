#include "supervisor/rehearsal.h"

#include "base/tickPath.h"
#include "supervisor/noticeTexts.h"

namespace ups {

namespace {

constexpr std::string_view kStepStarted = "Ensayo iniciado: no se cerrará ni se apagará nada.";
constexpr std::string_view kStepMainsFailed = "Falla de red simulada.";
constexpr std::string_view kStepBatteryLow = "Batería baja simulada: comienza la cuenta regresiva.";
constexpr std::string_view kStepPowerOff = "Ahora se apagaría el sistema (no se apaga).";
constexpr std::string_view kStepShutdownDisabled =
    "El apagado del sistema está deshabilitado: no se cerraría ni se apagaría nada.";

bool powerEventIn(const SupervisorState& real) {
    return !real.lineOk || real.batteryLow || real.adminShutdownPending;
}

// The rehearsal's own window onto the real one: its notices go to the pop-up marked, with the
// caption and picture its own sequence left there, since the real ticks in between set the
// pop-up's caption for the real state. Everything else stays with the real supervision: the
// panel, the timer, the test button, the main window.
class RehearsalView final : public SupervisorView {
public:
    explicit RehearsalView(RehearsalDisplay& display) : display_(display) {}

    void restoreWindow() override {}
    void startTimer() override {}
    void stopTimer() override {}
    void refreshDisplay() override {}
    void showNotice(std::optional<std::string> caption, std::optional<int> picture,
                    std::string text, int hideDelayMs) override {
        if (caption) caption_ = std::move(*caption);
        if (picture) picture_ = picture;
        // A real notice shown on the same tick stays on the pop-up.
        if (quiet) return;
        display_.showRehearsalNotice(std::string(kRehearsalMark) + caption_, picture_,
                                     std::move(text), hideDelayMs);
    }
    void setNoticeCaption(std::string caption) override { caption_ = std::move(caption); }
    void repaintNotice() override { display_.repaintNotice(); }
    void setTestButtonEnabled(bool) override {}
    void closeMainWindow() override {}
    void defaultBeep() override {}
    MessageBoxes& messageBoxes() override { return noBoxes_; }
    // Nothing of a rehearsal waits for anything: what a real run would do later happens now.
    void runLater(int, std::function<void()> task) override { task(); }
    bool dialogOpen() const override { return false; }

    bool quiet = false;

private:
    // The rehearsal runs no battery test, the only thing that would open a box.
    class NoBoxes final : public MessageBoxes {
    public:
        MbResult messageBox(std::string_view, std::string_view, MbIcon, MbButtons) override {
            return MbResult::Ok;
        }
    };

    RehearsalDisplay& display_;
    std::string caption_{notice::kCaptionInformation};
    std::optional<int> picture_;
    NoBoxes noBoxes_;
};

// At half-time it names what would be closed; at zero it notes the power-off. Neither reaches the
// system.
class DryRunSystem final : public SystemControl {
public:
    DryRunSystem(SystemControl& real, RehearsalDisplay& display) : real_(real), display_(display) {}

    std::vector<std::string> closeOtherApplications() override {
        applications = real_.listOtherApplications();
        display_.rehearsalApplications(applications);
        return applications;
    }
    std::vector<std::string> listOtherApplications() override {
        return real_.listOtherApplications();
    }
    std::string requestPowerOff() override {
        powerOffReached = true;
        display_.rehearsalStep(std::string(kStepPowerOff));
        return std::string(kPowerOffAccepted);
    }

    std::vector<std::string> applications;
    bool powerOffReached = false;

private:
    SystemControl& real_;
    RehearsalDisplay& display_;
};

std::string delaysText(const CfgUps& cfg) {
    return "aviso a los " + std::to_string(cfg.tmpFail) + " s, repetición cada " +
           std::to_string(cfg.tmpBat) + " s, cierre a los " + std::to_string(cfg.tmpLowB) +
           " s de batería baja, apagado " + (cfg.enhShutdwn ? "habilitado" : "deshabilitado");
}

}  // namespace

std::string_view rehearsalEndText(RehearsalEnd how) {
    switch (how) {
        case RehearsalEnd::completed:
            return "completado";
        case RehearsalEnd::cancelled:
            return "cancelado por el usuario";
        case RehearsalEnd::realEvent:
            return "interrumpido por un evento real";
    }
    return {};
}

// The second supervisor and everything it works on. The link is SNMP without traps, which reads
// nothing: the state is what the rehearsal sets.
struct Rehearsal::Run {
    Run(const CfgUps& cfg, SystemControl& realSystem, RehearsalDisplay& display, Clock& clock)
        : cfgUps(cfg), view(display), system(realSystem, display) {
        cfgSnmp.enhSnmp = 1;
        cfgSnmp.enhTrap = 0;
        state.agentLinkActive = true;
        state.warnCountdown = cfgUps.tmpFail;
        state.shutdownCountdown = cfgUps.tmpLowB;
        supervisor = std::make_unique<Supervisor>(cfgUps, cfgSnmp, state, trapFields, view, system,
                                                  tests, clock, nullptr, nullptr);
    }

    bool reachedZero() const {
        return state.eventCode() == ecCritical && state.shutdownCountdown == 0;
    }

    CfgUps cfgUps;
    CfgSnmp cfgSnmp{};
    SupervisorState state;
    TrapFields trapFields;
    RehearsalView view;
    DryRunSystem system;
    NoScheduledTests tests;
    std::unique_ptr<Supervisor> supervisor;
    int ticks = 0;
};

Rehearsal::Rehearsal(const CfgUps& cfgUps, SystemControl& system, RehearsalDisplay& display,
                     HistoryRecorder& history, Clock& clock)
    : cfgUps_(cfgUps), system_(system), display_(display), history_(history), clock_(clock) {}

Rehearsal::~Rehearsal() = default;

RehearsalStart Rehearsal::start(const SupervisorState& real) {
    if (run_) return RehearsalStart::alreadyRunning;
    if (powerEventIn(real)) return RehearsalStart::powerEvent;
    if (!real.linkActive()) return RehearsalStart::noSupervision;
    // A copy: the configuration may change while the rehearsal runs, the rehearsal does not.
    run_ = std::make_unique<Run>(cfgUps_, system_, display_, clock_);
    history_.record(HistoryEventKind::rehearsalStarted, delaysText(run_->cfgUps));
    display_.rehearsalStep(std::string(kStepStarted));
    return RehearsalStart::started;
}

void Rehearsal::cancel() {
    if (!run_) return;
    if (stepping_) {
        cancelWhenStepDone_ = true;
        return;
    }
    end(RehearsalEnd::cancelled);
}

UPS_TICK_PATH void Rehearsal::afterCountdowns(const SupervisorState& real, bool realNoticeShown) {
    // Steps never nest: a step that found itself inside another would end the run under it.
    if (run_ && !stepping_) step(real, realNoticeShown);
}

UPS_TICK_RARE void Rehearsal::step(const SupervisorState& real, bool realNoticeShown) {
    if (powerEventIn(real)) {
        end(RehearsalEnd::realEvent);
        return;
    }
    Run& run = *run_;
    run.ticks += 1;
    if (run.ticks == 1) {
        run.state.lineOk = false;
        display_.rehearsalStep(std::string(kStepMainsFailed));
    } else if (run.state.failWarned && !run.state.batteryLow) {
        run.state.batteryLow = true;
        display_.rehearsalStep(std::string(kStepBatteryLow));
    }
    stepping_ = true;
    run.view.quiet = realNoticeShown;
    run.supervisor->TimerTimer();
    stepping_ = false;
    if (cancelWhenStepDone_) {
        cancelWhenStepDone_ = false;
        end(RehearsalEnd::cancelled);
    } else if (run.reachedZero()) {
        if (!run.cfgUps.enhShutdwn) display_.rehearsalStep(std::string(kStepShutdownDisabled));
        end(RehearsalEnd::completed);
    }
}

void Rehearsal::end(RehearsalEnd how) {
    std::string details(rehearsalEndText(how));
    if (how == RehearsalEnd::completed) {
        const DryRunSystem& system = run_->system;
        if (!system.applications.empty()) {
            details += "; se pediría cerrar:";
            for (std::size_t i = 0; i < system.applications.size(); ++i) {
                details += (i == 0 ? " " : ", ") + system.applications[i];
            }
        }
        if (system.powerOffReached) details += "; se apagaría el sistema";
    }
    run_.reset();
    history_.record(HistoryEventKind::rehearsalEnded, std::move(details));
    display_.rehearsalEnded(how);
}

}  // namespace ups
