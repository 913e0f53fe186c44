// Random sequences of power events, traps (hostile ones too), battery-test outcomes, boxes held
// open and outage rehearsals started and cancelled, run through the supervisor, the trap rules and
// the real tick pacer over a virtual event loop that keeps Qt's rule: a timer is not delivered
// again while its timeout is being handled. After every step the safety properties are checked; a
// failure prints its seed and the shortest sequence it reduces to. Each sequence with rehearsals
// also runs without them: what the real supervision shows and asks of the system must not change.
// UPS_PROPERTY_SEQUENCES sets how many run, UPS_PROPERTY_SEED replays one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <sstream>

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
    Rehearse  // starts a rehearsal, or cancels the one running
};

struct Step {
    Kind kind;
    int a = 0;
    int b = 0;
    std::string text;
    bool deferred = false;  // lands inside the next tick's sleep, read or box instead of before it
};

struct Setup {
    bool serial;
    bool shutdownEnabled;
    int tmpFail, tmpBat, tmpLowB;
};

std::string describe(const Step& s) {
    static const char* names[] = {"mains",  "battery", "statusTrap", "switchOff",
                                  "cancel", "restart", "hostile",    "testDue",
                                  "box",    "wait",    "rehearse"};
    std::ostringstream os;
    os << names[static_cast<int>(s.kind)] << "(" << s.a << "," << s.b;
    if (!s.text.empty()) os << ",\"" << s.text << "\"";
    os << (s.deferred ? ",in-tick)" : ")");
    return os.str();
}

// The event loop of the GUI thread, in virtual time: the main loop and every box's loop run it.
class VirtualLoop : public SystemTimer {
public:
    explicit VirtualLoop(VirtualTime& time) : time_(time) {}
    void arm() override {
        registration_ = ++registrations_;
        due_ = time_.elapsedMs + 1000;
    }
    void disarm() override { registration_ = 0; }
    bool armed() const override { return registration_ != 0; }

    void runFor(double ms, TickPacer& pacer) {
        const double end = time_.elapsedMs + ms;
        while (!quit) {
            pacer.loopAboutToWait();
            const bool deliverable =
                registration_ != 0 &&
                std::find(handled_.begin(), handled_.end(), registration_) == handled_.end();
            if (!deliverable || due_ > end) break;
            if (due_ > time_.elapsedMs) time_.advanceMs(due_ - time_.elapsedMs);
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
    VirtualTime& time_;
    std::uint64_t registration_ = 0;
    std::uint64_t registrations_ = 0;
    double due_ = 0;
    std::vector<std::uint64_t> handled_;
};

TrapContents trapOf(int generic, int specific, std::vector<std::string> names,
                    std::vector<std::string> values) {
    TrapContents t;
    t.agent = kAgent;
    t.enterprise = kOidTrapEnterprise;
    t.generic = generic;
    t.specific = specific;
    t.names = std::move(names);
    t.values = std::move(values);
    return t;
}

// The monitor in one piece: supervisor, pacer and loop, a UPS and its agent, and the checks.
class World : SupervisorView, SystemControl, ScheduledTestService, AgentStatusReader, MessageBoxes {
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
        time_.onSleep = [this](double) { landDeferred(); };
        supervisor_.setCompanion(&rehearsal_);
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
        if (!closed_ && (!pacer_.isActive() || !loop_.armed())) fail("supervision stopped");
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
                if (!s.b)
                    statusTrap(serial_.mainsPresent ? "1" : "2", serial_.batteryOk ? "1" : "2");
                break;
            case Kind::Battery:
                serial_.batteryOk = s.a != 0;
                if (!s.b)
                    statusTrap(serial_.mainsPresent ? "1" : "2", serial_.batteryOk ? "1" : "2");
                break;
            case Kind::StatusTrap:
                statusTrap(std::to_string(s.a), s.text);
                break;
            case Kind::SwitchOff:
                // a = 1 when the text is whole minutes in range: only those announce a switch-off.
                if (deliver(trapOf(6, 2, {kOidAdminMinutes}, {s.text})) && s.a) {
                    announced_.push_back(std::stoi(s.text));
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
                storeBoxOnTest_ = s.b != 0;
                break;
            case Kind::Box:
                nextBoxMs_ = s.a;
                break;
            case Kind::Wait:
                landDeferred();
                loop_.runFor(s.a * 1000.0, pacer_);
                break;
            case Kind::Rehearse:
                if (rehearsal_.running()) {
                    rehearsal_.cancel();
                } else {
                    rehearsal_.start(state_);
                }
                break;
        }
    }

    void hostile(int variant, const std::string& text) {
        TrapContents t = trapOf(6, 2, {kOidAdminMinutes}, {text});
        switch (variant % 6) {
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
            default:
                t.specific = 1;
                t.names = {kOidBatteryState, kOidLineState, kOidLineState};
                t.values = {"2", "2", "2"};
                break;
        }
        if (deliver(t)) fail("a hostile trap was acted on");
    }

    void statusTrap(const std::string& line, const std::string& battery) {
        deliver(trapOf(6, 1, {kOidLineState, kOidBatteryState}, {line, battery}));
    }

    bool deliver(const TrapContents& trap) {
        return !setup_.serial && applyTrap(trap, kAgent, fields_);
    }

    // What the listener thread had waiting lands now, inside whatever the tick is doing.
    void landDeferred() {
        std::vector<Step> waiting;
        waiting.swap(deferred_);
        for (const Step& s : waiting) apply(s);
    }

    void fail(const std::string& what) {
        if (failure.empty()) failure = what;
    }

    // ---- the checks, at the points where the supervisor acts ----

    // Called once a tick, after the state is read and before the countdowns run.
    void refreshDisplay() override {
        const int code = state_.eventCode;
        if (rehearsal_.running() && powerEventTick_) fail("a rehearsal outlived a power event");
        powerEventTick_ = code != 0 || state_.adminShutdownPending;
        // The ordinary branch reloads the critical countdown; under a switch-off notice it does not
        // run.
        if (code <= 1 && !state_.adminShutdownPending) criticalTicks_ = 0;
        if (code == 3) ++criticalTicks_;
        if (code >= 2 && lastCode_ >= 2 && state_.shutdownCountdown > lastShutdownCountdown_) {
            fail("the critical countdown went up");
        }
        const int minutes = state_.adminMinutes;
        if (minutes != kNoSwitchOff &&
            std::find(announced_.begin(), announced_.end(), minutes) == announced_.end()) {
            fail("the tick took minutes no trap announced: " + std::to_string(minutes));
        }
        // The switch-off countdown moves down one per switch-off tick; any other change is a
        // reload, which only a notice may make.
        const int expected = lastAdminCountdown_ - (lastAdminTick_ && lastAdminCountdown_ > 0);
        if (state_.adminCountdown != expected) {
            if (state_.adminCountdown != minutes * 60) fail("the switch-off countdown moved");
            requiredAdminTicks_ = state_.adminCountdown;
            adminTicks_ = 0;
        }
        lastAdminTick_ = code != 3 && state_.adminShutdownPending;
        if (lastAdminTick_) ++adminTicks_;
        lastCode_ = code;
        lastShutdownCountdown_ = state_.shutdownCountdown;
        lastAdminCountdown_ = state_.adminCountdown;
    }

    std::string requestPowerOff() override {
        log("power-off");
        ++powerOffs_;
        if (powerOffs_ > 1) fail("a second power-off");
        if (!setup_.shutdownEnabled) fail("a power-off with the shutdown disabled");
        if (lastNotice_ != notice::kClosingSystem) fail("a power-off without its notice");
        if (state_.eventCode == 3) {
            if (criticalTicks_ < setup_.tmpLowB) {
                fail("a power-off after " + std::to_string(criticalTicks_) + " critical ticks");
            }
        } else if (!state_.adminShutdownPending) {
            fail("a power-off with nothing pending");
        } else if (adminTicks_ <= requiredAdminTicks_) {
            fail("a switch-off power-off after " + std::to_string(adminTicks_) + " of " +
                 std::to_string(requiredAdminTicks_) + " ticks");
        }
        return "aceptado";
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
    void repaintNotice() override {}
    void setTestButtonEnabled(bool) override {}
    void closeMainWindow() override {
        closed_ = true;
        loop_.quit = true;
    }
    void defaultBeep() override {}
    MessageBoxes& messageBoxes() override { return *this; }

    // A modal box: its own loop runs until the user answers.
    MbResult messageBox(std::string_view, std::string_view, MbIcon, MbButtons) override {
        landDeferred();
        const int holdMs = nextBoxMs_;
        nextBoxMs_ = 500;
        const int ticksBefore = loop_.ticks;
        loop_.runFor(holdMs, pacer_);
        if (!closed_ && holdMs >= 2000 && loop_.ticks == ticksBefore) {
            fail("no tick while a box was open for " + std::to_string(holdMs) + " ms");
        }
        return MbResult::Ok;
    }

    // ---- the battery test and the agent ----

    bool isTestDue() override {
        if (!testOutcome_) return false;
        if (storeBoxOnTest_) messageBox("store", "error", MbIcon::Error, MbButtons::Ok);
        return true;
    }
    int runUpsCommand() override {
        for (int i = 0; i < 20; ++i) time_.sleepMs(500);  // the UPS is watched for ten seconds
        return std::exchange(testOutcome_, 0);
    }
    AgentStatusRead readAgentStatus() override {
        landDeferred();
        time_.sleepMs(50);
        return {true, serial_.mainsPresent, true, !serial_.batteryOk};
    }

    std::vector<std::string> closeOtherApplications() override {
        log("close");
        if (state_.eventCode != 3 && !state_.adminShutdownPending) fail("a close with nothing due");
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
    NoEventJournal noJournal_;
    std::vector<std::string> listOtherApplications() override { return {}; }

    const Setup setup_;
    CfgUps ups_{};
    CfgSnmp snmp_{};
    SupervisorState state_;
    TrapFields fields_;
    VirtualTime time_;
    FakeSerialUps serial_{&time_};
    SerialLib sio_{serial_};
    SerialLink serialLink_{sio_, time_};
    Supervisor supervisor_{ups_,  snmp_, state_, fields_,      *this, *this,
                           *this, time_, time_,  &serialLink_, this};
    VirtualLoop loop_{time_};
    Rehearsal rehearsal_{ups_, *this, rehearsalDisplay_, noJournal_, time_};
    TickPacer pacer_{loop_, [this] { supervisor_.TimerTimer(); },
                     [this] { return static_cast<std::int64_t>(time_.elapsedMs); }, 100};

    std::vector<Step> deferred_;
    std::vector<int> announced_;  // the minutes of every switch-off a well-formed trap announced
    bool closed_ = false;
    int powerOffs_ = 0;
    std::string lastNotice_;
    int testOutcome_ = 0;
    bool storeBoxOnTest_ = false;
    int nextBoxMs_ = 500;
    int criticalTicks_ = 0;
    int adminTicks_ = 0;
    int requiredAdminTicks_ = 0;
    int lastCode_ = 0;
    int lastShutdownCountdown_ = 0;
    int lastAdminCountdown_ = 0;
    bool lastAdminTick_ = false;
    bool powerEventTick_ = false;
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
    sc.setup = {pick(0, 4) == 0, pick(0, 5) != 0, pick(1, 15), pick(10, 60), lowB[pick(0, 5)]};
    const char* minuteTexts[] = {"0", "1", " +2", "-0", "35791394"};
    const char* badTexts[] = {"-5", "ya", "", "5min", "35791395", "99999999999", "1 "};
    const int length = pick(5, 40);
    for (int i = 0; i < length; ++i) {
        Step s{static_cast<Kind>(pick(0, 10)), 0, 0, {}, false};
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
                s.a = pick(0, 5);
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

std::string runScenario(const Scenario& sc) {
    World with(sc.setup);
    if (!play(with, sc, true).failure.empty()) return with.failure;
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
        os << "seed " << seed << ": " << runScenario(shortest) << "\n  serial "
           << shortest.setup.serial << ", shutdown " << shortest.setup.shutdownEnabled
           << ", tmpFail " << shortest.setup.tmpFail << ", tmpBat " << shortest.setup.tmpBat
           << ", tmpLowB " << shortest.setup.tmpLowB << "\n";
        for (const Step& s : shortest.steps) os << "  " << describe(s) << "\n";
        FAIL() << os.str();
    }
}

}  // namespace
}  // namespace ups
