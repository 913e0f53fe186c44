#pragma once
// The outage rehearsal ("Ensayo de corte"): the critical sequence played as a dry run beside the
// real supervision. A second Supervisor runs on a copy of the configuration and a state of its
// own whose link is simulated: the mains fail, and on the tick after the first line-failure notice
// the battery goes low. Its notices therefore come from the same code as a real event's, in the
// same order and on the same ticks; only their caption is marked. What it would do to the system
// reaches only the display: it closes nothing, powers nothing off, sends nothing to the UPS and
// stores no configuration.
//
// It moves on the real tick, after the real countdowns. A real power event ends it on that tick,
// before it moves, and the real handling goes on as if it had never run.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/clock.h"
#include "base/historyRecorder.h"
#include "config/cfgRecords.h"
#include "supervisor/supervisor.h"
#include "supervisor/systemControl.h"

namespace ups {

// What marks a rehearsal notice's caption.
inline constexpr std::string_view kRehearsalMark = "ENSAYO - ";

enum class RehearsalEnd { completed, cancelled, realEvent };
// How it ended, as the history and the window say it.
std::string_view rehearsalEndText(RehearsalEnd how);

enum class RehearsalStart { started, alreadyRunning, powerEvent, noSupervision };

// What the rehearsal shows. Texts are UTF-8.
class RehearsalDisplay {
public:
    virtual ~RehearsalDisplay() = default;
    // A notice of the rehearsed sequence for the pop-up: the caption is already marked and always
    // given, the picture whenever the sequence has shown one.
    virtual void showRehearsalNotice(std::string caption, std::optional<int> picture,
                                     std::string text, int hideDelayMs) = 0;
    virtual void repaintNotice() = 0;
    // A step of the rehearsal: what it simulates, or what a real event would do at this point.
    virtual void rehearsalStep(std::string text) = 0;
    // At half-time: the windows that would be asked to close, none of them asked.
    virtual void rehearsalApplications(const std::vector<std::string>& titles) = 0;
    virtual void rehearsalEnded(RehearsalEnd how) = 0;
};

class Rehearsal : public TickCompanion {
public:
    // `system` is the real one: the rehearsal only ever asks it for the list of applications.
    Rehearsal(const CfgUps& cfgUps, SystemControl& system, RehearsalDisplay& display,
              HistoryRecorder& history, Clock& clock);
    ~Rehearsal() override;
    Rehearsal(const Rehearsal&) = delete;
    Rehearsal& operator=(const Rehearsal&) = delete;

    // Refused while a power event is in force or nothing is supervised (no tick would move it).
    RehearsalStart start(const SupervisorState& real);
    // Ends it at once; nothing when none runs.
    void cancel();
    bool running() const { return run_ != nullptr; }

    void afterCountdowns(const SupervisorState& real, bool realNoticeShown) override;

private:
    void step(const SupervisorState& real, bool realNoticeShown);
    struct Run;
    void end(RehearsalEnd how);

    const CfgUps& cfgUps_;
    SystemControl& system_;
    RehearsalDisplay& display_;
    HistoryRecorder& history_;
    Clock& clock_;
    std::unique_ptr<Run> run_;
    bool stepping_ = false;
    bool cancelWhenStepDone_ = false;
};

}  // namespace ups
