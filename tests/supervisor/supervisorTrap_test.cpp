// Trap mode, second by second: the state the listener stores, the agent re-polls, the agent
// restart and the administrator's switch-off notices.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "supervisorRig.h"

using namespace ups;
using namespace ups::test;

namespace {

using Texts = std::vector<std::string>;
using Ticks = std::vector<int>;

Ticks ticksOf(const TickLog& log, const std::string& what) {
    Ticks ticks;
    for (const auto& e : log.entries) {
        auto space = e.find(' ');
        if (e.substr(space + 1) == what) ticks.push_back(std::stoi(e.substr(0, space)));
    }
    return ticks;
}

// ---- the state from the listener's fields ----

TEST(TrapMode, TakesTheStateTheListenerStored) {
    SupervisorRig rig(Link::Traps);
    rig.statusTrap(2, 2);
    rig.tick();
    EXPECT_FALSE(rig.state.lineOk);
    EXPECT_TRUE(rig.state.batteryLow);
    EXPECT_EQ(rig.state.eventCode(), 3);
    EXPECT_TRUE(rig.state.displayDirty);
    EXPECT_TRUE(rig.trap.statusNoticeDone.load()) << "the tick acknowledges the trap";
}

TEST(TrapMode, AnyLineValueOtherThanOneIsAFailureAndOnlyTwoIsALowBattery) {
    SupervisorRig rig(Link::Traps);
    rig.statusTrap(0, 0);
    rig.tick();
    EXPECT_FALSE(rig.state.lineOk);
    EXPECT_FALSE(rig.state.batteryLow);
}

TEST(SnmpWithoutTraps, ReadsNothingAndKeepsTheStateItWasGiven) {
    SupervisorRig rig(Link::Traps);
    rig.snmp.enhTrap = 0;
    rig.state.lineOk = false;
    rig.statusTrap(1, 1);
    rig.ticks(10);
    EXPECT_FALSE(rig.state.lineOk);
    EXPECT_EQ(rig.state.eventCode(), 1);
    EXPECT_FALSE(rig.trap.statusNoticeDone.load());
    EXPECT_EQ(rig.agent.reads, 0);
}

// ---- agent re-poll during a line failure ----

TEST(AgentRepoll, ASilentAgentIsReadEveryEighthTickOfALineFailure) {
    SupervisorRig rig(Link::Traps);
    rig.statusTrap(2, 1);
    rig.ticks(26);
    EXPECT_EQ(ticksOf(rig.log, "readAgentStatus"), (Ticks{9, 17, 25}));
    EXPECT_FALSE(rig.state.lineOk) << "a failed re-poll leaves the trap-reported state";
}

TEST(AgentRepoll, AStatusTrapRestartsTheCount) {
    SupervisorRig rig(Link::Traps);
    rig.statusTrap(2, 1);
    rig.ticks(5);
    rig.statusTrap(2, 1);
    rig.ticks(20);
    EXPECT_EQ(ticksOf(rig.log, "readAgentStatus"), (Ticks{14, 22}));
}

TEST(AgentRepoll, MainsPresentNeverRepolls) {
    SupervisorRig rig(Link::Traps);
    rig.ticks(30);
    EXPECT_EQ(rig.agent.reads, 0);
}

// The read is asked for on the 9th tick of the failure and taken on the next; nothing waits for
// it. Its answer is newer than every trap before the request, and older than any trap that
// lands while it is on the wire: that trap stays, whatever the read says.
TEST(AgentRepoll, TheNewerOfATrapAndARead) {
    for (const bool trapDuringRead : {false, true}) {
        SupervisorRig rig(Link::Traps);
        rig.statusTrap(2, 1);
        rig.agent.answers.push_back(agentAnswers(true, false));
        if (trapDuringRead) rig.agent.duringRead = [&] { rig.statusTrap(2, 2); };
        rig.ticks(10);

        if (trapDuringRead) {
            EXPECT_EQ(rig.state.eventCode(), ecCritical) << "the trap that came meanwhile stays";
            EXPECT_EQ(rig.trap.lineState.load(), 2);
            EXPECT_EQ(rig.trap.batteryState.load(), 2);
        } else {
            EXPECT_EQ(rig.state.eventCode(), ecNormal) << "the read's mains are back";
            EXPECT_EQ(rig.trap.lineState.load(), 1);
        }
        rig.agent.duringRead = nullptr;
        rig.ticks(20);
        EXPECT_EQ(rig.agent.reads, trapDuringRead ? 3 : 1) << trapDuringRead;
    }
}

// A slow agent never holds a tick: the read stays on the wire for ticks while supervision and
// its countdowns go on, and no second read is asked for meanwhile.
TEST(AgentRepoll, ASlowReadHoldsNoTick) {
    SupervisorRig rig(Link::Traps, 5, 30, 30);
    rig.agent.ticksToAnswer = 25;
    rig.statusTrap(2, 1);
    rig.ticks(8);
    rig.statusTrap(2, 2);  // critical, told by a trap; the re-poll that follows never answers
    rig.ticks(60);
    EXPECT_EQ(rig.agent.reads, 1) << "one read on the wire, never a second beside it";
    EXPECT_EQ(rig.system.powerOffRequests, 1);
    EXPECT_EQ(rig.log.tick, 38) << "the 30th second of the critical state, as without the read";
}

TEST(AgentRepoll, AHalfAnsweredReadChangesTheLineButWritesNothingBack) {
    SupervisorRig rig(Link::Traps);
    rig.statusTrap(2, 1);
    rig.agent.answers.push_back({true, true, false, false});
    rig.ticks(9);
    EXPECT_EQ(rig.trap.lineState.load(), 2);
    EXPECT_EQ(rig.state.pollCounter, 0);
}

struct ApplyCase {
    AgentStatusRead read;
    bool complete;
    bool lineOk;
    bool batteryLow;
    bool dirty;
};
// Shown by GoogleTest (and in the test list) by what it is rather than as bytes.
void PrintTo(const ApplyCase& c, std::ostream* os) {
    *os << "complete " << c.complete << ", line ok " << c.lineOk << ", battery low "
        << c.batteryLow;
}

class ApplyAgentStatus : public ::testing::TestWithParam<ApplyCase> {};

TEST_P(ApplyAgentStatus, TakesEachAnsweredValueAndSucceedsOnlyWithBoth) {
    const auto c = GetParam();
    SupervisorState state;  // mains present, battery normal
    EXPECT_EQ(applyAgentStatus(c.read, state), c.complete);
    EXPECT_EQ(state.lineOk, c.lineOk);
    EXPECT_EQ(state.batteryLow, c.batteryLow);
    EXPECT_EQ(state.displayDirty, c.dirty);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, ApplyAgentStatus,
    ::testing::Values(ApplyCase{{false, false, false, true}, false, true, false, false},
                      ApplyCase{{true, false, false, true}, false, false, false, true},
                      ApplyCase{{false, false, true, true}, false, true, true, true},
                      ApplyCase{{true, false, true, true}, true, false, true, true},
                      ApplyCase{{true, true, true, false}, true, true, false, true}));

// ---- agent restart ----

TEST(AgentRestart, TheReReadIsRetriedEveryTickUntilItSucceeds) {
    SupervisorRig rig(Link::Traps);
    rig.trap.refreshRequested.store(true);
    rig.agent.answers = {AgentStatusRead{}, AgentStatusRead{}, agentAnswers(false, true)};
    rig.ticks(5);
    EXPECT_EQ(ticksOf(rig.log, "readAgentStatus"), (Ticks{1, 2, 3}));
    EXPECT_FALSE(rig.trap.refreshRequested.load());
    EXPECT_EQ(rig.trap.lineState.load(), 2);
    EXPECT_EQ(rig.trap.batteryState.load(), 2);
    EXPECT_EQ(rig.state.eventCode(), 3);
}

// ---- the administrator's switch-off ----

TEST(AdministratorSwitchOff, AnnouncesItsMinutesOnceThenCountsDownLikeTheCriticalState) {
    SupervisorRig rig(Link::Traps);
    rig.adminTrap(2);
    rig.ticks(130);

    EXPECT_EQ(rig.view.noticeTicks(), (Ticks{1, 96, 106, 111, 113, 115, 117, 119, 121}));
    EXPECT_EQ(
        rig.view.noticeTexts(),
        (Texts{"La UPS se apagará en  2 minutos.", "25 seg. para cerrar Sistema",
               "Cerrando aplicaciones", "10 seg. para cerrar Sistema",
               " 8 seg. para cerrar Sistema", " 6 seg. para cerrar Sistema",
               " 4 seg. para cerrar Sistema", " 2 seg. para cerrar Sistema", "Cerrando sistema"}));
    EXPECT_EQ(rig.view.notices[0].caption, "Aviso del administrador");
    EXPECT_EQ(rig.view.notices[0].hideDelayMs, 4000);
    EXPECT_EQ(rig.view.notices[1].hideDelayMs, 3000);
    EXPECT_EQ(rig.view.notices[3].hideDelayMs, 500);
    EXPECT_FALSE(rig.view.notices[1].captionGiven || rig.view.notices[1].pictureGiven);
    EXPECT_EQ(rig.system.closeRequests, 1);
    EXPECT_EQ(rig.system.powerOffRequests, 1);
    EXPECT_EQ(rig.log.tick, 121);
}

TEST(AdministratorSwitchOff, OneMinuteWithTmpLowB120ClosesAtOnceAndShowsNoMinuteNotice) {
    SupervisorRig rig(Link::Traps, 5, 30, 120);
    rig.adminTrap(1);
    rig.ticks(70);

    EXPECT_EQ(rig.view.noticeTicks(), (Ticks{1, 7, 38, 51, 53, 55, 57, 59, 61}));
    EXPECT_EQ(
        rig.view.noticeTexts(),
        (Texts{"Cerrando aplicaciones", "54 seg. para cerrar Sistema",
               "23 seg. para cerrar Sistema", "10 seg. para cerrar Sistema",
               " 8 seg. para cerrar Sistema", " 6 seg. para cerrar Sistema",
               " 4 seg. para cerrar Sistema", " 2 seg. para cerrar Sistema", "Cerrando sistema"}));
}

TEST(AdministratorSwitchOff, WithoutShutdownCountsDownSilentlyAndDoesNothingAtZero) {
    SupervisorRig rig(Link::Traps, 5, 30, 30, false);
    rig.adminTrap(1);
    rig.ticks(100);
    EXPECT_EQ(rig.view.noticeTexts(), (Texts{"La UPS se apagará en  1 minuto."}));
    EXPECT_EQ(rig.system.closeRequests + rig.system.powerOffRequests, 0);
    EXPECT_EQ(rig.state.adminCountdown, 0);
    EXPECT_TRUE(rig.view.timerRunning);
}

TEST(AdministratorSwitchOff, ZeroMinutesWithNoCountdownRunningShutsDownOnTheSameTick) {
    SupervisorRig rig(Link::Traps);
    rig.adminTrap(0);
    rig.tick();
    EXPECT_EQ(rig.system.powerOffRequests, 1);
    EXPECT_TRUE(rig.view.windowClosed);
}

TEST(AdministratorSwitchOff, ZeroMinutesKeepsACountdownAlreadyRunning) {
    SupervisorRig rig(Link::Traps);
    rig.adminTrap(3);
    rig.ticks(5);
    rig.adminTrap(0);
    rig.tick();
    EXPECT_EQ(rig.state.adminCountdown, 180 - 6);
    EXPECT_EQ(rig.system.powerOffRequests, 0);
}

TEST(AdministratorSwitchOff, ACancelShowsItsNoticeAndLeavesTheCountdownWhereItWas) {
    SupervisorRig rig(Link::Traps);
    rig.adminTrap(5);
    rig.ticks(3);
    rig.adminTrap(-1);
    rig.tick();

    EXPECT_EQ(timeline(rig).back(),
              "4 notice Aviso del administrador/-1/4000 Apagado de UPS suspendido");
    EXPECT_FALSE(rig.state.adminShutdownPending);
    EXPECT_EQ(rig.state.adminCountdown, 297);
    EXPECT_EQ(rig.view.caption, "Información") << "the ordinary branch ran on the same tick";

    rig.ticks(5);
    EXPECT_EQ(rig.state.adminCountdown, 297);
    rig.adminTrap(2);
    rig.tick();
    EXPECT_EQ(rig.state.adminCountdown, 119) << "a new notice reloads it";
}

TEST(AdministratorSwitchOff, IsSuspendedWhileTheStateIsCritical) {
    SupervisorRig rig(Link::Traps);
    rig.adminTrap(3);
    rig.ticks(2);
    rig.statusTrap(2, 2);
    rig.ticks(5);
    EXPECT_EQ(rig.state.adminCountdown, 178);
    EXPECT_EQ(rig.state.shutdownCountdown, 25);

    rig.statusTrap(1, 1);
    rig.tick();
    EXPECT_EQ(rig.state.adminCountdown, 177);
}

TEST(AdministratorSwitchOff, HidesTheLineFailureNoticesAndFreezesTheCriticalCountdown) {
    SupervisorRig rig(Link::Traps);
    rig.state.shutdownCountdown = 12;
    rig.adminTrap(10);
    rig.statusTrap(2, 1);
    rig.ticks(40);
    EXPECT_EQ(rig.view.noticeTexts(), (Texts{"La UPS se apagará en 10 minutos."}));
    EXPECT_EQ(rig.state.shutdownCountdown, 12);
}

TEST(AdministratorSwitchOff, SerialModeNeverEntersTheBranch) {
    SupervisorRig rig(Link::Serial);
    rig.adminTrap(0);
    rig.state.adminShutdownPending = true;
    rig.tick();
    EXPECT_FALSE(rig.state.adminShutdownPending);
    EXPECT_EQ(rig.system.powerOffRequests, 0);
    EXPECT_FALSE(rig.trap.adminNoticeDone()) << "the fields are not read in serial mode";
}

}  // namespace
