// Random sequences of power events, traps (hostile ones too, and ones that land while an agent
// read is on the wire), agent reads that are slow, silent or stale, a followed UPS server that is
// lost, comes back or orders the power-off (FSD), followers that log out late or never, battery
// tests with their question, boxes and dialogs held open, close and logout requests, refused
// power-offs and outage rehearsals, run through the supervisor, the trap rules and the real tick
// pacer over a virtual event loop that keeps Qt's rules: a timer is not delivered again while its
// timeout is being handled, and a box runs the loop it was opened in. After every step the safety
// and liveness properties are checked; a failure prints its seed and the shortest sequence it
// reduces to. Each sequence with rehearsals also runs without them: what the real supervision shows
// and asks of the system must not change. UPS_PROPERTY_SEQUENCES sets how many run,
// UPS_PROPERTY_SEED replays one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <tuple>

#include "links/agentLink.h"
#include "links/serialLib.h"
#include "links/serialLink.h"
#include "links/upsThead.h"
#include "supervisor/noticeTexts.h"
#include "supervisor/rehearsal.h"
#include "supervisor/supervisor.h"
#include "supervisor/tickPacer.h"
#include "support/fakeSerialUps.h"

namespace ups {
namespace {

using test::FakeSerialUps;
using test::VirtualTime;

constexpr char kAgent[] = "10.1.1.5";

enum class Kind {
    Mains,
    Battery,
    StatusTrap,
    SwitchOff,
    Cancel,
    Restart,
    Hostile,
    TestDue,
    Box,
    Wait,
    Rehearse,   // starts a rehearsal, or cancels the one running
    Dialog,     // the user opens a dialog (configuration, password, test question) for a while
    Close,      // a close or logout request: the question, or the end when nobody may be asked
    Agent,      // how the agent answers from now on: latency and what it says
    Refuse,     // the system refuses the next power-off
    Server,     // the followed server: lost, back, FSD set or cleared
    Followers,  // how many follow this machine, and how long they take to log out after FSD
};

struct Step {
    Kind kind;
    int a = 0;
    int b = 0;
    std::string text;
    bool deferred = false;  // lands while the next agent read is on the wire instead of now
};

struct Setup {
    bool serial;
    bool shutdownEnabled;
    int tmpFail, tmpBat, tmpLowB;
    // Following a server (whose status is the lines'), with this grace time when it is lost on
    // battery; and serving followers, waited for up to followerWait seconds.
    bool follow = false;
    int grace = 15;
    bool followers = false;
    int followerWait = 15;
};

std::string describe(const Step& s) {
    static const char* names[] = {"mains",    "battery",  "statusTrap", "switchOff", "cancel",
                                  "restart",  "hostile",  "testDue",    "box",       "wait",
                                  "rehearse", "dialog",   "close",      "agent",     "refuse",
                                  "server",   "followers"};
    std::ostringstream os;
    os << names[static_cast<int>(s.kind)] << "(" << s.a << "," << s.b;
    if (!s.text.empty()) os << ",\"" << s.text << "\"";
    os << (s.deferred ? ",in-read)" : ")");
    return os.str();
}

// The event loop of the GUI thread, in virtual time: the main loop and every box's loop run it.
// It delivers the tick timer and the tasks handed to it, whichever is due first.
class VirtualLoop : public SystemTimer {
public:
    explicit VirtualLoop(VirtualTime& time) : time_(time) {}
    void arm() override {
        registration_ = ++registrations_;
        due_ = time_.elapsedMs + 1000;
    }
    void disarm() override { registration_ = 0; }
    bool armed() const override { return registration_ != 0; }

    void post(int delayMs, std::function<void()> task) {
        tasks_.push_back({time_.elapsedMs + delayMs, ++posted_, std::move(task)});
    }

    void runFor(double ms, TickPacer& pacer) {
        const double end = time_.elapsedMs + ms;
        while (!quit) {
            pacer.loopAboutToWait();
            const bool timerDeliverable =
                registration_ != 0 &&
                std::find(handled_.begin(), handled_.end(), registration_) == handled_.end();
            auto task = std::min_element(tasks_.begin(), tasks_.end(), [](auto& x, auto& y) {
                return std::tie(x.due, x.order) < std::tie(y.due, y.order);
            });
            const bool taskFirst = task != tasks_.end() && (!timerDeliverable || task->due <= due_);
            const double next = taskFirst ? task->due : (timerDeliverable ? due_ : end + 1);
            if (next > end) break;
            if (next > time_.elapsedMs) time_.advanceMs(next - time_.elapsedMs);
            if (taskFirst) {
                std::function<void()> run = std::move(task->task);
                tasks_.erase(task);
                run();
                continue;
            }
            due_ = time_.elapsedMs + 1000;
            handled_.push_back(registration_);
            ++ticks;
            pacer.fire();
            handled_.pop_back();
        }
        if (!quit && end > time_.elapsedMs) time_.advanceMs(end - time_.elapsedMs);
    }

    bool quit = false;  // the program is ending: every loop returns
    int ticks = 0;

private:
    struct Task {
        double due;
        std::uint64_t order;
        std::function<void()> task;
    };
    VirtualTime& time_;
    std::uint64_t registration_ = 0;
    std::uint64_t registrations_ = 0;
    std::uint64_t posted_ = 0;
    double due_ = 0;
    std::vector<std::uint64_t> handled_;
    std::vector<Task> tasks_;
};

TrapContents trapOf(int generic, int specific, std::vector<std::string> names,
                    std::vector<std::string> values) {
    TrapContents t;
    t.sender = kAgent;
    t.agent = kAgent;
    t.enterprise = kOidTrapEnterprise;
    t.generic = generic;
    t.specific = specific;
    t.names = std::move(names);
    t.values = std::move(values);
    return t;
}

// The monitor in one piece: supervisor, pacer and loop, a UPS and its agent, and the checks.
class World : SupervisorView,
              SystemControl,
              ScheduledTestService,
              AgentStatusRequests,
              MessageBoxes,
              FollowedStatusReader,
              FollowerHandoff {
public:
    explicit World(const Setup& setup) : setup_(setup) {
        ups_.tmpFail = setup.tmpFail;
        ups_.tmpBat = setup.tmpBat;
        ups_.tmpLowB = setup.tmpLowB;
        ups_.enhShutdwn = setup.shutdownEnabled ? 1 : 0;
        state_.warnCountdown = setup.tmpFail;
        state_.shutdownCountdown = setup.tmpLowB;
        if (setup.serial) {
            serialLink_.openSerialLink(0);
            serialLink_.assertRts();
            state_.serialLinkActive = true;
        } else {
            snmp_.enhSnmp = 1;
            snmp_.enhTrap = 1;
            state_.agentLinkActive = true;
        }
        supervisor_.setCompanion(&rehearsal_);
        if (setup.follow) {
            state_.agentLinkActive = false;
            supervisor_.setFollowed(this, setup.grace);
        }
        if (setup.followers) supervisor_.setFollowerHandoff(this, setup.followerWait);
        pacer_.start();
    }

    // Runs one step; false once a property has failed or the program has ended.
    bool run(const Step& s) {
        if (closed_ || !failure.empty()) return false;
        if (s.deferred && s.kind <= Kind::Hostile) {
            deferred_.push_back(s);
        } else {
            apply(s);
        }
        checkLiveness();
        return !closed_ && failure.empty();
    }

    std::string failure;
    // What the real supervision showed and asked of the system, with the virtual time.
    std::vector<std::string> trace;

private:
    void apply(const Step& s) {
        switch (s.kind) {
            case Kind::Mains:
                serial_.mainsPresent = s.a != 0;
                if (!s.b) statusTrap(serial_.mainsPresent ? 1 : 2, serial_.batteryOk ? 1 : 2);
                break;
            case Kind::Battery:
                serial_.batteryOk = s.a != 0;
                if (!s.b) statusTrap(serial_.mainsPresent ? 1 : 2, serial_.batteryOk ? 1 : 2);
                break;
            case Kind::StatusTrap:
                statusTrap(s.a, std::stoi(s.text));
                break;
            case Kind::SwitchOff:
                // a = 1 when the text is whole minutes in range: only those announce a switch-off.
                if (deliver(trapOf(6, 2, {kOidAdminMinutes}, {s.text})) && s.a) {
                    announced_.push_back(std::stoi(s.text));
                    if (announced_.back() != 0) reloadTo_ = announced_.back() * 60;
                }
                break;
            case Kind::Cancel:
                deliver(trapOf(6, 3, {kOidAdminMinutes}, {"0"}));
                break;
            case Kind::Restart:
                deliver(trapOf(0, 0, {}, {}));
                break;
            case Kind::Hostile:
                hostile(s.a, s.text);
                break;
            case Kind::TestDue:
                testOutcome_ = s.a;
                askOnTest_ = s.b != 0;
                break;
            case Kind::Box:
                nextBoxMs_ = s.a;
                break;
            case Kind::Wait:
                loop_.runFor(s.a * 1000.0, pacer_);
                break;
            case Kind::Rehearse:
                if (rehearsal_.running()) {
                    rehearsal_.cancel();
                } else {
                    rehearsal_.start(state_);
                }
                break;
            case Kind::Dialog:
                holdBox(s.a);
                break;
            case Kind::Close:
                closeRequest(s.a != 0, s.b);
                break;
            case Kind::Agent:
                readLatencyMs_ = s.a;
                agentMood_ = s.b;
                break;
            case Kind::Refuse:
                refuseNext_ = true;
                break;
            case Kind::Server:
                server(s.a);
                break;
            case Kind::Followers:
                // Once told to shut down, followers only leave.
                if (toldAt_) break;
                followers_ = s.a;
                followersLeaveMs_ = s.b;
                break;
        }
        checkSupervision();
    }

    void hostile(int variant, const std::string& text) {
        TrapContents t = trapOf(6, 2, {kOidAdminMinutes}, {text});
        switch (variant % 7) {
            case 0:
                t.names.clear();
                t.values.clear();
                break;
            case 1:
                t.names.push_back(kOidAdminMinutes);
                t.values.push_back("1");
                break;
            case 2:
                t.names = {kOidLineState};
                break;
            case 3:
                t.agent = "10.1.1.6";
                break;
            case 4:
                t.enterprise += ".1";
                break;
            case 5:
                // The agent's own address inside, sent from somewhere else.
                t.sender = "10.1.1.6";
                break;
            default:
                t.specific = 1;
                t.names = {kOidBatteryState, kOidLineState, kOidLineState};
                t.values = {"2", "2", "2"};
                break;
        }
        if (deliver(t)) fail("a hostile trap was acted on");
    }

    // The followed server: 0 lost (keeping the last status it gave), 1 back, 2 FSD set, 3 FSD
    // cleared. Its status is the lines'.
    void server(int what) {
        if (!setup_.follow) return;
        if (what == 0 && reachable_) {
            frozen_ = served();
            reachable_ = false;
            lostAt_ = time_.elapsedMs;
        }
        if (what == 1 && !reachable_) {
            reachable_ = true;
            ++sessions_;
        }
        if (what >= 2) fsd_ = what == 2;
    }
    FollowedStatus served() const {
        return {
            FollowedLink::following, serial_.mainsPresent, !serial_.batteryOk, fsd_, sessions_, {}};
    }

    FollowedStatus latestStatus() override {
        if (sessionClosed_) fail("the status read after the session closed");
        if (!reachable_) {
            FollowedStatus lost = frozen_;
            lost.link = FollowedLink::lost;
            return lost;
        }
        if (fsd_ && !fsdTakenAt_) fsdTakenAt_ = time_.elapsedMs;
        return served();
    }
    void closeSession() override { sessionClosed_ = true; }
    void reopenSession() override { sessionClosed_ = false; }

    void setForcedShutdown() override {
        if (!toldAt_) toldAt_ = time_.elapsedMs;
    }
    int followersLoggedIn() const override {
        return toldAt_ && time_.elapsedMs - *toldAt_ >= followersLeaveMs_ ? 0 : followers_;
    }
    // How much longer a power-off may take when it waits for followers.
    double followerAllowanceMs() const {
        return setup_.followers ? (setup_.followerWait + 1) * 1000.0 : 0.0;
    }

    void statusTrap(int line, int battery) {
        if (!deliver(trapOf(6, 1, {kOidLineState, kOidBatteryState},
                            {std::to_string(line), std::to_string(battery)}))) {
            return;
        }
        lastTrap_ = {line == 1, battery == 2};
        readAskedAfterTrap_ = false;
    }

    bool deliver(const TrapContents& trap) {
        return !setup_.serial && !setup_.follow && applyTrap(trap, kAgent, fields_);
    }

    // What the listener thread had waiting lands now, while a read is on the wire.
    void landDeferred() {
        std::vector<Step> waiting;
        waiting.swap(deferred_);
        for (const Step& s : waiting) apply(s);
    }

    // A box or dialog opened from the event loop: its own loop runs until the user answers.
    void holdBox(int holdMs) {
        ++boxesOpen_;
        const int ticksBefore = loop_.ticks;
        // A power-off under way stops the ticks, also while it waits for the followers.
        const bool pendingBefore = shuttingDown();
        loop_.runFor(holdMs, pacer_);
        --boxesOpen_;
        if (!closed_ && !pendingBefore && !shuttingDown() && holdMs >= 2000 &&
            loop_.ticks == ticksBefore) {
            fail("no tick while a box was open for " + std::to_string(holdMs) + " ms");
        }
    }

    // The window manager's close or the session's logout. With nobody to ask (a logout that
    // allows no interaction) or once the monitor closes itself, it ends; otherwise the close
    // question is asked and answered No.
    void closeRequest(bool mayAsk, int answerMs) {
        if (state_.closingBySystem || !mayAsk) {
            userEnded_ = !state_.closingBySystem;
            endProgram();
            return;
        }
        holdBox(answerMs);
    }

    void endProgram() {
        ending_ = true;
        supervisor_.completePendingShutdown();
        closed_ = true;
        loop_.quit = true;
    }

    void fail(const std::string& what) {
        if (failure.empty()) failure = what + " at " + std::to_string(time_.elapsedMs) + " ms";
    }

    bool shuttingDown() const { return supervisor_.shutdownPending() || closed_; }

    // ---- the checks ----

    void checkSupervision() {
        if (closed_ || shuttingDown()) return;
        if (!pacer_.isActive() || !loop_.armed()) fail("supervision stopped");
    }

    // A state the monitor saw as critical, or a switch-off it took, that lasts ends in one
    // power-off within its time and two seconds, whatever was open meanwhile.
    void checkLiveness() {
        if (closed_ || !setup_.shutdownEnabled || refusedOnce_) return;
        const double now = time_.elapsedMs;
        const double allowance = followerAllowanceMs();
        if (fsdTakenAt_ && now - *fsdTakenAt_ > 2000.0 + allowance) {
            fail("FSD taken and no power-off");
        }
        if (setup_.follow && !reachable_ && !frozen_.lineOk &&
            now - *lostAt_ > (setup_.grace + setup_.tmpLowB + 3) * 1000.0 + allowance) {
            fail("the server lost on battery and no power-off");
        }
        if (criticalSince_ && now - *criticalSince_ > (setup_.tmpLowB + 2) * 1000.0 + allowance) {
            fail("critical for " + std::to_string(static_cast<long>(now - *criticalSince_)) +
                 " ms and no power-off");
        }
        if (adminSince_ && now - *adminSince_ > (requiredAdmin_ + 2) * 1000.0 + allowance) {
            fail("a switch-off of " + std::to_string(requiredAdmin_) + " s not done after " +
                 std::to_string(static_cast<long>(now - *adminSince_)) + " ms");
        }
        // In serial mode the lines are the truth: the tick must see them within a second.
        const bool critical = !serial_.mainsPresent && !serial_.batteryOk;
        if (!setup_.serial || !critical) {
            serialCriticalSince_.reset();
        } else if (!serialCriticalSince_) {
            serialCriticalSince_ = now;
        } else if (now - *serialCriticalSince_ > (setup_.tmpLowB + 3) * 1000.0 + allowance) {
            fail("the lines were critical and nothing powered off");
        }
    }

    // Called once a tick, after the state is read and before the countdowns run.
    void refreshDisplay() override {
        const double now = time_.elapsedMs;
        const int code = state_.eventCode();
        if (rehearsal_.running() && powerEventTick_) fail("a rehearsal outlived a power event");
        powerEventTick_ = code != 0 || state_.adminShutdownPending;
        // The critical countdown counts the critical seconds since the ordinary branch last
        // reloaded it: the entry tick counts one, later ticks the time since the one before.
        if (code <= ecOnBattery && !state_.adminShutdownPending) criticalCountedMs_ = 0;
        // Followed, the state is the server's, or the last it gave while it is lost: only the
        // battery of a UPS lost on battery may turn low, after the grace time.
        const FollowedStatus said = reachable_ ? served() : frozen_;
        if (setup_.follow &&
            (state_.lineOk != said.lineOk || state_.batteryLow < said.batteryLow ||
             (state_.batteryLow != said.batteryLow && (reachable_ || said.lineOk)))) {
            fail("the state is not what the followed server said");
        }
        if (setup_.follow && !reachable_ && code == ecCritical && !frozen_.batteryLow &&
            now - *lostAt_ < setup_.grace * 1000.0 - 150) {
            fail("critical before the lost server's grace time");
        }
        if (code == ecCritical) {
            criticalCountedMs_ += lastCode_ == ecCritical ? now - lastTickAt_ : 1000.0;
            if (!criticalSince_) criticalSince_ = now;
        } else {
            criticalSince_.reset();
        }
        if (code >= 2 && lastCode_ >= 2 && state_.shutdownCountdown > lastShutdownCountdown_) {
            fail("the critical countdown went up");
        }
        const int minutes = state_.adminMinutes;
        if (minutes != kNoSwitchOff &&
            std::find(announced_.begin(), announced_.end(), minutes) == announced_.end()) {
            fail("the tick took minutes no trap announced: " + std::to_string(minutes));
        }
        // A countdown that went up was reloaded, which only a notice may do.
        if (state_.adminCountdown > lastAdminCountdown_ && state_.adminCountdown != minutes * 60) {
            fail("the switch-off countdown moved");
        }
        if (reloadTo_ && state_.adminMinutes * 60 == *reloadTo_ &&
            state_.adminCountdown == *reloadTo_) {
            requiredAdmin_ = *reloadTo_;
            adminActiveMs_ = 0;
            adminSince_.reset();
            reloadTo_.reset();
            lastAdminTick_ = false;
        }
        // Counted as the supervisor counts: a tick that starts the countdown counts a second.
        const bool adminTick = code != ecCritical && state_.adminShutdownPending;
        if (adminTick) adminActiveMs_ += lastAdminTick_ ? now - lastTickAt_ : 1000.0;
        if (adminTick && !adminSince_) adminSince_ = now - adminActiveMs_;
        if (!state_.adminShutdownPending || code == ecCritical) adminSince_.reset();
        lastAdminTick_ = adminTick;
        // No trap is lost: unless a read was asked for after it, the state is the last trap's.
        if (!setup_.serial && lastTrap_ && !readAskedAfterTrap_ &&
            (state_.lineOk != lastTrap_->first || state_.batteryLow != lastTrap_->second)) {
            fail("the last status trap was overwritten");
        }
        lastCode_ = code;
        lastShutdownCountdown_ = state_.shutdownCountdown;
        lastAdminCountdown_ = state_.adminCountdown;
        lastTickAt_ = now;
    }

    std::string requestPowerOff() override {
        log("power-off");
        ++powerOffs_;
        if (powerOffs_ > 1 && !refusedOnce_) fail("a second power-off");
        if (!setup_.shutdownEnabled) fail("a power-off with the shutdown disabled");
        if (lastNotice_ != notice::kClosingSystem) fail("a power-off without its notice");
        if (setup_.follow && !sessionClosed_) fail("a power-off with the followed session open");
        // The program's end cuts the wait short: the request then goes out at once.
        if (setup_.followers && !ending_ &&
            (!toldAt_ || (followersLoggedIn() > 0 &&
                          time_.elapsedMs - *toldAt_ < setup_.followerWait * 1000.0))) {
            fail("a power-off before the followers were told and gone");
        }
        if (fsdTakenAt_) {
            // The followed server ordered it.
        } else if (state_.eventCode() == ecCritical) {
            if (criticalCountedMs_ < setup_.tmpLowB * 1000.0 - 200) {
                fail("a power-off after " + std::to_string(criticalCountedMs_) +
                     " ms of critical state");
            }
        } else if (!state_.adminShutdownPending) {
            fail("a power-off with nothing pending");
        } else if (adminActiveMs_ < requiredAdmin_ * 1000.0) {
            fail("a switch-off power-off after " + std::to_string(adminActiveMs_) + " ms of " +
                 std::to_string(requiredAdmin_) + " s");
        }
        if (refuseNext_) {
            refuseNext_ = false;
            refusedOnce_ = true;
            return "sin privilegio";
        }
        criticalSince_.reset();
        adminSince_.reset();
        fsdTakenAt_.reset();
        lostAt_.reset();
        reachable_ = true;
        powerOffAccepted_ = true;
        return std::string(kPowerOffAccepted);
    }

    // ---- the window ----

    void restoreWindow() override { fail("the tick found no link"); }
    void startTimer() override { pacer_.start(); }
    void stopTimer() override { pacer_.stop(); }
    void showNotice(std::optional<std::string>, std::optional<int>, std::string text,
                    int) override {
        log("notice " + text);
        lastNotice_ = std::move(text);
    }
    void setNoticeCaption(std::string) override {}
    void repaintNotice() override {
        // From "Cerrando sistema" on, a close or logout request must not ask its question.
        if (lastNotice_ == notice::kClosingSystem && !state_.closingBySystem) {
            fail("the power-off's notice painted before closingBySystem was set");
        }
    }
    void setTestButtonEnabled(bool) override {}
    void closeMainWindow() override {
        // The monitor closes itself only after the system accepted the power-off: one that
        // ended after a refusal would leave the computer unwatched.
        if (!powerOffAccepted_) fail("the monitor ended itself without a power-off");
        endProgram();
    }
    void defaultBeep() override {}
    MessageBoxes& messageBoxes() override { return *this; }
    void runLater(int delayMs, std::function<void()> task) override {
        loop_.post(delayMs, std::move(task));
    }
    bool dialogOpen() const override { return boxesOpen_ > 0; }

    // A modal box: never inside a tick; its own loop runs until the user answers.
    MbResult messageBox(std::string_view, std::string_view, MbIcon, MbButtons) override {
        if (pacer_.insideTick()) fail("a box opened inside a tick");
        const int holdMs = nextBoxMs_;
        nextBoxMs_ = 500;
        holdBox(holdMs);
        return MbResult::Yes;
    }

    // ---- the battery test and the agent ----

    bool isTestDue() override { return testOutcome_ != 0; }
    void startDueTest() override {
        if (pacer_.insideTick()) fail("a test started inside a tick");
        testRunning_ = true;
        if (askOnTest_) messageBox("test?", "Pregunta", MbIcon::Question, MbButtons::YesNo);
        // The UPS is watched for ten seconds from the event loop; the outcome's box follows.
        loop_.post(10'000, [this] {
            testRunning_ = false;
            if (std::exchange(testOutcome_, 0) >= trBatteryFail && !closed_) {
                runLater(0, [this] {
                    messageBox("outcome", "! ERROR !", MbIcon::Error, MbButtons::Ok);
                });
            }
        });
    }
    bool commandRunning() const override { return testRunning_; }

    bool requestStatus() override {
        if (readOnWire_) return false;
        readOnWire_ = true;
        readAskedAfterTrap_ = true;
        loop_.post(readLatencyMs_, [this] {
            landDeferred();
            AgentStatusRead read;
            switch (agentMood_ % 4) {
                case 0:  // the truth
                    read = {true, serial_.mainsPresent, true, !serial_.batteryOk};
                    break;
                case 1:  // silent
                    break;
                case 2:  // a restarted agent's defaults
                    read = {true, true, true, false};
                    break;
                default:  // only the line answered
                    read = {true, serial_.mainsPresent, false, false};
                    break;
            }
            answer_ = read;
        });
        return true;
    }
    std::optional<AgentStatusRead> takeStatus() override {
        if (!answer_) return std::nullopt;
        readOnWire_ = false;
        return std::exchange(answer_, std::nullopt);
    }

    std::vector<std::string> closeOtherApplications() override {
        log("close");
        if (state_.eventCode() != ecCritical && !state_.adminShutdownPending && !fsdTakenAt_) {
            fail("a close with nothing due");
        }
        return {};
    }
    void log(const std::string& what) {
        trace.push_back(std::to_string(static_cast<long>(time_.elapsedMs)) + " " + what);
    }
    // The rehearsal's own notices and reports are not the real supervision's.
    struct : RehearsalDisplay {
        void showRehearsalNotice(std::string, std::optional<int>, std::string, int) override {}
        void repaintNotice() override {}
        void rehearsalStep(std::string) override {}
        void rehearsalApplications(const std::vector<std::string>&) override {}
        void rehearsalEnded(RehearsalEnd) override {}
    } rehearsalDisplay_;
    NoHistoryRecorder noHistory_;
    std::vector<std::string> listOtherApplications() override { return {}; }

    void onTick() {
        const double began = time_.elapsedMs;
        supervisor_.TimerTimer();
        if (time_.elapsedMs - began > 50) fail("a tick took more than 50 ms");
    }

    const Setup setup_;
    CfgUps ups_{};
    CfgSnmp snmp_{};
    SupervisorState state_;
    TrapFields fields_;
    VirtualTime time_;
    FakeSerialUps serial_{&time_};
    SerialLib sio_{serial_};
    SerialLink serialLink_{sio_};
    Supervisor supervisor_{ups_,  snmp_, state_, fields_,      *this,
                           *this, *this, time_,  &serialLink_, this};
    VirtualLoop loop_{time_};
    Rehearsal rehearsal_{ups_, *this, rehearsalDisplay_, noHistory_, time_};
    TickPacer pacer_{loop_, [this] { onTick(); },
                     [this] { return static_cast<std::int64_t>(time_.elapsedMs); }, 100};

    std::vector<Step> deferred_;
    std::vector<int> announced_;  // the minutes of every switch-off a well-formed trap announced
    bool closed_ = false;
    bool userEnded_ = false;
    int powerOffs_ = 0;
    bool refuseNext_ = false;
    bool refusedOnce_ = false;
    bool powerOffAccepted_ = false;
    std::string lastNotice_;
    int testOutcome_ = 0;
    bool askOnTest_ = false;
    bool testRunning_ = false;
    int nextBoxMs_ = 500;
    int boxesOpen_ = 0;
    int readLatencyMs_ = 50;
    int agentMood_ = 0;
    bool readOnWire_ = false;
    std::optional<AgentStatusRead> answer_;
    std::optional<std::pair<bool, bool>> lastTrap_;
    bool readAskedAfterTrap_ = false;
    std::optional<double> criticalSince_;
    double criticalCountedMs_ = 0;
    std::optional<double> serialCriticalSince_;
    std::optional<double> adminSince_;
    double adminActiveMs_ = 0;
    std::optional<int> reloadTo_;
    int requiredAdmin_ = 0;
    double lastTickAt_ = 0;
    int lastCode_ = 0;
    int lastShutdownCountdown_ = 0;
    int lastAdminCountdown_ = 0;
    bool lastAdminTick_ = false;
    bool powerEventTick_ = false;
    bool ending_ = false;
    // The followed server and this machine's followers.
    bool reachable_ = true;
    bool fsd_ = false;
    FollowedStatus frozen_;
    std::optional<double> lostAt_;
    std::optional<double> fsdTakenAt_;
    bool sessionClosed_ = false;
    unsigned sessions_ = 0;
    int followers_ = 0;
    int followersLeaveMs_ = 0;
    std::optional<double> toldAt_;
};

// ---- generation, running and reduction ----

struct Scenario {
    Setup setup;
    std::vector<Step> steps;
};

Scenario generate(std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Scenario sc;
    const int lowB[] = {10, 11, 20, 30, 60, 300};
    const int link = pick(0, 4);
    sc.setup = {link == 0, pick(0, 5) != 0, pick(1, 15), pick(10, 60), lowB[pick(0, 5)]};
    const int graces[] = {0, 3, 15, 40};
    const int waits[] = {0, 1, 5, 15};
    sc.setup.follow = link == 1;
    sc.setup.grace = graces[pick(0, 3)];
    sc.setup.followers = pick(0, 1) == 0;
    sc.setup.followerWait = waits[pick(0, 3)];
    const char* minuteTexts[] = {"0", "1", " +2", "-0", "35791394"};
    const char* badTexts[] = {"-5", "ya", "", "5min", "35791395", "99999999999", "1 "};
    const int length = pick(5, 40);
    for (int i = 0; i < length; ++i) {
        Step s{static_cast<Kind>(pick(0, 16)), 0, 0, {}, false};
        s.deferred = pick(0, 3) == 0;
        switch (s.kind) {
            case Kind::Mains:
            case Kind::Battery:
                s.a = pick(0, 1);
                s.b = pick(0, 9) == 0;
                break;
            case Kind::StatusTrap:
                s.a = pick(-1, 3);
                s.text = std::to_string(pick(-1, 3));
                break;
            case Kind::SwitchOff:
                s.a = pick(0, 2) != 0;
                s.text = s.a ? minuteTexts[pick(0, 4)] : badTexts[pick(0, 6)];
                break;
            case Kind::Hostile:
                s.a = pick(0, 6);
                s.text = minuteTexts[pick(0, 4)];
                break;
            case Kind::TestDue:
                s.a = pick(1, 4);
                s.b = pick(0, 3) == 0;
                break;
            case Kind::Box:
                s.a = pick(0, 1) ? pick(0, 3000) : pick(3000, 120000);
                break;
            case Kind::Wait:
                s.a = pick(0, 3) ? pick(1, 40) : pick(40, 400);
                break;
            case Kind::Dialog:
                s.a = pick(0, 1) ? pick(0, 5000) : pick(5000, 400000);
                break;
            case Kind::Close:
                s.a = pick(0, 7) != 0;
                s.b = pick(0, 1) ? pick(0, 3000) : pick(3000, 120000);
                break;
            case Kind::Agent:
                s.a = pick(0, 2) ? pick(0, 200) : pick(200, 12000);
                s.b = pick(0, 3);
                break;
            case Kind::Server:
                s.a = pick(0, 3);
                break;
            case Kind::Followers:
                s.a = pick(0, 3);
                s.b = pick(0, 1) ? pick(0, 3000) : pick(3000, 40000);
                break;
            default:
                break;
        }
        sc.steps.push_back(s);
    }
    return sc;
}

World& play(World& world, const Scenario& sc, bool rehearsals) {
    for (const Step& s : sc.steps) {
        if (s.kind == Kind::Rehearse && !rehearsals) continue;
        if (!world.run(s)) break;
    }
    return world;
}

// The failure, with what the supervision did last before it when `withTrace`.
std::string runScenario(const Scenario& sc, bool withTrace = false) {
    World with(sc.setup);
    if (!play(with, sc, true).failure.empty()) {
        std::string text = with.failure;
        const std::size_t from = with.trace.size() > 12 ? with.trace.size() - 12 : 0;
        for (std::size_t i = from; withTrace && i < with.trace.size(); ++i) {
            text += "\n    " + with.trace[i];
        }
        return text;
    }
    World without(sc.setup);
    if (play(without, sc, false).trace != with.trace) return "a rehearsal changed the real run";
    return {};
}

// Drops steps, one chunk at a time, while the sequence still fails.
Scenario reduce(Scenario sc) {
    for (std::size_t chunk = sc.steps.size() / 2; chunk >= 1; chunk /= 2) {
        for (std::size_t at = 0; at + chunk <= sc.steps.size();) {
            Scenario shorter = sc;
            shorter.steps.erase(shorter.steps.begin() + static_cast<long>(at),
                                shorter.steps.begin() + static_cast<long>(at + chunk));
            if (!runScenario(shorter).empty()) {
                sc = std::move(shorter);
            } else {
                at += chunk;
            }
        }
    }
    return sc;
}

std::uint64_t envNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text ? std::strtoull(text, nullptr, 10) : fallback;
}

TEST(SupervisorProperties, RandomSequencesKeepThePowerOffSafe) {
    const std::uint64_t count = envNumber("UPS_PROPERTY_SEQUENCES", 5000);
    const std::uint64_t first = envNumber("UPS_PROPERTY_SEED", 1);
    for (std::uint64_t seed = first; seed < first + count; ++seed) {
        const Scenario sc = generate(seed);
        const std::string failure = runScenario(sc);
        if (failure.empty()) continue;
        const Scenario shortest = reduce(sc);
        std::ostringstream os;
        os << "seed " << seed << ": " << runScenario(shortest, true) << "\n  serial "
           << shortest.setup.serial << ", shutdown " << shortest.setup.shutdownEnabled
           << ", tmpFail " << shortest.setup.tmpFail << ", tmpBat " << shortest.setup.tmpBat
           << ", tmpLowB " << shortest.setup.tmpLowB << ", follow " << shortest.setup.follow
           << " (grace " << shortest.setup.grace << "), followers " << shortest.setup.followers
           << " (wait " << shortest.setup.followerWait << ")\n";
        for (const Step& s : shortest.steps) os << "  " << describe(s) << "\n";
        FAIL() << os.str();
    }
}

}  // namespace
}  // namespace ups
