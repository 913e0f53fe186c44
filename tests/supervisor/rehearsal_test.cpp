// The outage rehearsal beside a real supervisor on a fake UPS: its notices against a real event's
// with the same delays, nothing asked of the system, and a real event during it handled exactly
// as without it.
#include "supervisor/rehearsal.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "supervisorRig.h"

using namespace ups;
using namespace ups::test;

namespace {

using Titles = std::vector<std::string>;

struct RecordingJournal : EventJournal {
    void record(HistoryEventKind kind, std::string details) override {
        events.emplace_back(kind, std::move(details));
    }
    std::vector<std::pair<HistoryEventKind, std::string>> events;
};

// The rehearsal's notices as a RecordingView records a real one's; its other reports by tick.
struct RecordingDisplay : RehearsalDisplay {
    explicit RecordingDisplay(TickLog& realLog) : realLog(realLog) {}
    void showRehearsalNotice(std::string caption, std::optional<int> picture, std::string text,
                             int ms) override {
        log.tick = realLog.tick;
        popup.showNotice(std::move(caption), picture, std::move(text), ms);
    }
    void repaintNotice() override {}
    void rehearsalStep(std::string) override {}
    void rehearsalApplications(const std::vector<std::string>& titles) override {
        applicationsTick = realLog.tick;
        applications = titles;
    }
    void rehearsalEnded(RehearsalEnd how) override { ended.emplace_back(realLog.tick, how); }

    TickLog& realLog;
    TickLog log;
    RecordingView popup{log};
    int applicationsTick = -1;
    Titles applications;
    std::vector<std::pair<int, RehearsalEnd>> ended;
};

struct Delays {
    int tmpFail, tmpBat, tmpLowB;
    bool shutdown;
};
void PrintTo(const Delays& d, std::ostream* os) {
    *os << d.tmpFail << "/" << d.tmpBat << "/" << d.tmpLowB << (d.shutdown ? " on" : " off");
}

// A supervisor rig with a rehearsal riding its tick.
struct RehearsalRig : SupervisorRig {
    explicit RehearsalRig(Delays d = {5, 30, 30, true}, Link link = Link::Serial)
        : SupervisorRig(link, d.tmpFail, d.tmpBat, d.tmpLowB, d.shutdown) {
        supervisor.setCompanion(&rehearsal);
    }
    // Ticks while it runs, at most `limit` ticks.
    void runOut(int limit = 400) {
        for (int i = 0; i < limit && rehearsal.running(); ++i) tick();
    }

    RecordingDisplay display{log};
    RecordingJournal journal;
    Rehearsal rehearsal{ups, system, display, journal, time};
};

// What a real event does with the same delays: the mains fail, and the battery goes low on the
// tick after the first notice.
void playRealEvent(SupervisorRig& rig, int ticks) {
    rig.mains(false);
    for (int i = 0; i < ticks; ++i) {
        rig.tick();
        if (!rig.view.notices.empty()) rig.battery(false);
    }
}

int tickOf(const TickLog& log, const std::string& what) {
    for (const std::string& e : log.entries) {
        if (e.substr(e.find(' ') + 1) == what) return std::stoi(e);
    }
    return -1;
}

// Each notice as the pop-up showed it, the rehearsal's mark taken off its caption.
std::vector<std::string> shown(const RecordingView& view) {
    std::vector<std::string> rows;
    for (const ShownNotice& n : view.notices) {
        std::string caption = n.caption;
        if (caption.starts_with(kRehearsalMark)) caption.erase(0, kRehearsalMark.size());
        rows.push_back(std::to_string(n.tick) + " " + caption + "/" + std::to_string(n.picture) +
                       "/" + std::to_string(n.hideDelayMs) + " " + n.text);
    }
    return rows;
}

class RehearsedSequence : public ::testing::TestWithParam<Delays> {};

TEST_P(RehearsedSequence, ShowsARealEventsNoticesMarkedAndAsksNothingOfTheSystem) {
    const Delays d = GetParam();
    RehearsalRig rig(d);
    ASSERT_EQ(rig.rehearsal.start(rig.state), RehearsalStart::started);
    rig.runOut();
    ASSERT_FALSE(rig.rehearsal.running());
    const int endTick = rig.log.tick;
    SupervisorRig real(Link::Serial, d.tmpFail, d.tmpBat, d.tmpLowB, d.shutdown);
    playRealEvent(real, endTick);

    EXPECT_EQ(shown(rig.display.popup), shown(real.view));
    for (const ShownNotice& n : rig.display.popup.notices)
        EXPECT_EQ(n.caption.find("ENSAYO - "), 0u);
    // Half-time and zero on the real event's ticks, and nothing asked of the system.
    EXPECT_EQ(rig.display.applicationsTick, tickOf(real.log, "closeOtherApplications"));
    EXPECT_EQ(rig.display.applications, d.shutdown ? rig.system.applications : Titles{});
    EXPECT_EQ(tickOf(real.log, "requestPowerOff"), d.shutdown ? endTick : -1);
    EXPECT_EQ(endTick, d.tmpFail + 2 + d.tmpLowB - 1) << "zero of the countdown";
    EXPECT_EQ(rig.system.closeRequests + rig.system.powerOffRequests, 0);
    EXPECT_TRUE(rig.view.notices.empty() && rig.view.timerRunning && !rig.view.windowClosed);
    EXPECT_EQ(rig.display.ended.back(), std::make_pair(endTick, RehearsalEnd::completed));
    ASSERT_EQ(rig.journal.events.size(), 2u);
    EXPECT_EQ(rig.journal.events[0].first, HistoryEventKind::rehearsalStarted);
    EXPECT_EQ(rig.journal.events[1],
              std::make_pair(HistoryEventKind::rehearsalEnded,
                             std::string(d.shutdown ? "completado; se pediría cerrar: Documento - "
                                                      "Editor, Hoja de cálculo; se apagaría el "
                                                      "sistema"
                                                    : "completado")));
}

INSTANTIATE_TEST_SUITE_P(Delays, RehearsedSequence,
                         ::testing::Values(Delays{5, 30, 30, true}, Delays{1, 10, 10, true},
                                           Delays{15, 60, 300, true}, Delays{5, 10, 60, true},
                                           Delays{5, 30, 30, false}));

// A real event at a given tick of the rehearsal.
struct RealEvent {
    const char* name;
    Link link;
    int atTick;
    void (*happen)(SupervisorRig&);
};
void PrintTo(const RealEvent& e, std::ostream* os) {
    *os << e.name << " at " << e.atTick;
}

class RealEventDuringRehearsal : public ::testing::TestWithParam<RealEvent> {};

TEST_P(RealEventDuringRehearsal, EndsItOnThatTickAndIsHandledAsWithoutIt) {
    const RealEvent e = GetParam();
    RehearsalRig rig({5, 30, 30, true}, e.link);
    SupervisorRig alone(e.link);
    ASSERT_EQ(rig.rehearsal.start(rig.state), RehearsalStart::started);
    for (SupervisorRig* r : {static_cast<SupervisorRig*>(&rig), &alone}) {
        r->ticks(e.atTick - 1);
        e.happen(*r);
        r->ticks(80);
        r->mains(false);  // serial: the mains fail for good; traps: no effect
        r->battery(false);
        r->ticks(80);
    }
    EXPECT_EQ(rig.display.ended.back(), std::make_pair(e.atTick, RehearsalEnd::realEvent));
    EXPECT_EQ(rig.journal.events.back().second, "interrumpido por un evento real");
    for (const ShownNotice& n : rig.display.popup.notices) EXPECT_LT(n.tick, e.atTick);
    EXPECT_LT(rig.display.applicationsTick, e.atTick);
    EXPECT_EQ(timeline(rig), timeline(alone));
    EXPECT_EQ(rig.state.closingBySystem, alone.state.closingBySystem);
}

INSTANTIATE_TEST_SUITE_P(
    Events, RealEventDuringRehearsal,
    ::testing::Values(
        RealEvent{"mains", Link::Serial, 3, [](SupervisorRig& r) { r.mains(false); }},
        RealEvent{"mains", Link::Serial, 20, [](SupervisorRig& r) { r.mains(false); }},
        RealEvent{"battery", Link::Serial, 30, [](SupervisorRig& r) { r.battery(false); }},
        RealEvent{"critical", Link::Serial, 9,
                  [](SupervisorRig& r) {
                      r.mains(false);
                      r.battery(false);
                  }},
        RealEvent{"switch-off", Link::Traps, 12, [](SupervisorRig& r) { r.adminTrap(1); }},
        RealEvent{"trap", Link::Traps, 25, [](SupervisorRig& r) { r.statusTrap(2, 2); }}));

}  // namespace
