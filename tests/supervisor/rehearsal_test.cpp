// The outage rehearsal beside a real supervisor on a fake UPS: its notices against a real event's
// with the same delays, and nothing asked of the system. (The random sequences of the supervisor's
// property test check that a real event ends it and is handled as without it.)
#include "supervisor/rehearsal.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "supervisorRig.h"
#include "support/recordingHistory.h"

using namespace ups;
using namespace ups::test;

namespace {

using Titles = std::vector<std::string>;

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
    void rehearsalEnded(RehearsalEnd how) override { ended = {realLog.tick, how}; }

    TickLog& realLog;
    TickLog log;
    RecordingView popup{log};
    int applicationsTick = -1;
    Titles applications;
    std::pair<int, RehearsalEnd> ended;
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
    explicit RehearsalRig(Delays d)
        : SupervisorRig(Link::Serial, d.tmpFail, d.tmpBat, d.tmpLowB, d.shutdown) {
        supervisor.setCompanion(&rehearsal);
    }
    RecordingDisplay display{log};
    RecordingHistory history;
    Rehearsal rehearsal{ups, system, display, history, time};
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
    for (int i = 0; i < 400 && rig.rehearsal.running(); ++i) rig.tick();
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
    EXPECT_EQ(rig.display.ended, std::make_pair(endTick, RehearsalEnd::completed));
    ASSERT_EQ(rig.history.entries.size(), 2u);
    EXPECT_EQ(rig.history.entries[0].rfind("rehearsal_started", 0), 0u);
    EXPECT_EQ(rig.history.entries[1],
              d.shutdown ? "rehearsal_ended completado; se pediría cerrar: Documento - Editor, "
                           "Hoja de cálculo; se apagaría el sistema"
                         : "rehearsal_ended completado");
}

// A real notice and a rehearsal's on the same tick: the rehearsal's would cover the real one on
// the pop-up, so on that tick it shows nothing and only goes on counting.
TEST(RehearsalBesideRealNotices, ARealNoticeOnTheSameTickStaysUncovered) {
    SupervisorRig rig(Link::Traps, 1, 10, 10);
    RecordingDisplay display{rig.log};
    RecordingHistory history;
    Rehearsal rehearsal{rig.ups, rig.system, display, history, rig.time};
    rig.supervisor.setCompanion(&rehearsal);
    ASSERT_EQ(rehearsal.start(rig.state), RehearsalStart::started);
    rig.tick();
    rig.adminTrap(kNoSwitchOff);  // the administrator's cancel, shown on the rehearsal's tick
    rig.tick();
    ASSERT_EQ(rig.view.noticeTexts(), std::vector<std::string>{"Apagado de UPS suspendido"});
    EXPECT_TRUE(display.popup.notices.empty());
    rig.ticks(8);
    EXPECT_FALSE(display.popup.notices.empty()) << "the rehearsal goes on";
}

INSTANTIATE_TEST_SUITE_P(Delays, RehearsedSequence,
                         ::testing::Values(Delays{5, 30, 30, true}, Delays{1, 10, 10, true},
                                           Delays{15, 60, 300, true}, Delays{5, 10, 60, true},
                                           Delays{5, 30, 30, false}));

}  // namespace
