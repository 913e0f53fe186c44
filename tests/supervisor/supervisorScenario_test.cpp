// Power events over the serial lines, second by second: every row of the supervisor's state table
// and the edge cases of its countdowns.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "supervisorRig.h"
#include "support/recordingHistory.h"

using namespace ups;
using namespace ups::test;

namespace {

using Texts = std::vector<std::string>;
using Ticks = std::vector<int>;

// ---- 0 -> 1 -> 0: line failure ----

struct FirstNoticeCase {
    int tmpFail;
    int firstNoticeTick;
};
// Shown by GoogleTest (and in the test list) by what it is rather than as bytes.
void PrintTo(const FirstNoticeCase& c, std::ostream* os) {
    *os << "tmpFail " << c.tmpFail;
}

class FirstLineFailureNotice : public ::testing::TestWithParam<FirstNoticeCase> {};

TEST_P(FirstLineFailureNotice, ComesOnTheTickAfterTmpFailAndRepeatsEveryTmpBatPlusOne) {
    const auto c = GetParam();
    SupervisorRig rig(Link::Serial, c.tmpFail, 30);
    rig.mains(false);

    rig.ticks(c.firstNoticeTick + 62);

    const int first = c.firstNoticeTick;
    EXPECT_EQ(rig.view.noticeTicks(), (Ticks{first, first + 31, first + 62}));
    EXPECT_EQ(rig.view.noticeTexts(),
              (Texts{"Falla en tensión de línea", "Continúa la falla en tensión de línea",
                     "Continúa la falla en tensión de línea"}));
    for (const auto& n : rig.view.notices) {
        EXPECT_EQ(n.caption, "Información");
        EXPECT_EQ(n.picture, 1);
        EXPECT_EQ(n.hideDelayMs, 3000);
    }
    EXPECT_EQ(rig.state.shutdownCountdown, 30) << "reloaded on every tick on battery";
}

INSTANTIATE_TEST_SUITE_P(TmpFail, FirstLineFailureNotice,
                         ::testing::Values(FirstNoticeCase{1, 2}, FirstNoticeCase{5, 6},
                                           FirstNoticeCase{15, 16}));

TEST(LineFailure, ShorterThanTmpFailPlusOneSecondsGivesNoNoticeAtAll) {
    SupervisorRig rig;
    for (int episode = 0; episode < 3; ++episode) {
        rig.mains(false);
        rig.ticks(5);
        rig.mains(true);
        rig.ticks(1);
    }
    EXPECT_TRUE(rig.view.notices.empty()) << "mains back reloads the first-notice delay";
}

TEST(LineFailure, MainsBackStopsTheNoticesAndTheNextFailureStartsWithTheFirstText) {
    SupervisorRig rig;
    rig.mains(false);
    rig.ticks(40);  // notices on 6 and 37
    rig.mains(true);
    rig.ticks(40);
    EXPECT_EQ(rig.view.noticeTicks(), (Ticks{6, 37}));
    EXPECT_FALSE(rig.state.failWarned);
    EXPECT_EQ(rig.state.warnCountdown, 5);

    rig.mains(false);
    rig.ticks(6);
    EXPECT_EQ(rig.view.notices.back().tick, 86);
    EXPECT_EQ(rig.view.notices.back().text, "Falla en tensión de línea");
}

TEST(LineFailure, TheOrdinaryBranchPutsTheInformationCaptionBack) {
    SupervisorRig rig;
    rig.view.caption = "Batería Baja";
    rig.tick();
    EXPECT_EQ(rig.view.caption, "Información");
}

// ---- the critical countdown ----

TEST(CriticalEvent, MainsThenBatteryCountThirtySecondsCloseAtFifteenAndPowerOffAtZero) {
    SupervisorRig rig;  // first notice 5 s, repeat 30 s, low battery 30 s, shutdown on
    rig.mains(false);   // CTS drops
    rig.ticks(19);
    rig.battery(false);  // DCD drops, read from tick 20
    rig.ticks(60);

    EXPECT_EQ(timeline(rig),
              (Texts{
                  "6 notice Información/1/3000 Falla en tensión de línea",
                  "34 notice Información/1/3000 Cerrando aplicaciones",
                  "34 closeOtherApplications",
                  // The line failure's pacing runs on: its next notice is the critical one.
                  "37 notice Batería Baja/3/3000 12 seg. para cerrar Sistema",
                  "39 notice Batería Baja/3/500 10 seg. para cerrar Sistema",
                  "41 notice Batería Baja/3/500  8 seg. para cerrar Sistema",
                  "43 notice Batería Baja/3/500  6 seg. para cerrar Sistema",
                  "45 notice Batería Baja/3/500  4 seg. para cerrar Sistema",
                  "47 notice Batería Baja/3/500  2 seg. para cerrar Sistema",
                  "49 notice Batería Baja/3/500 Cerrando sistema",
                  "49 repaintNotice",
                  "49 requestPowerOff",
                  "49 closeMainWindow",
              }));
    EXPECT_EQ(rig.log.tick, 49) << "the timer stays stopped after the shutdown";
    const std::size_t entries = rig.log.entries.size();
    rig.supervisor.TimerTimer();
    EXPECT_EQ(rig.log.entries.size(), entries) << "a tick after the shutdown does nothing";
    EXPECT_TRUE(rig.time.sleeps.empty()) << "the notice's moment passes in the event loop";
    EXPECT_TRUE(rig.state.closingBySystem);
    EXPECT_TRUE(rig.serial.rts()) << "RTS held through the whole event";
}

// The countdown counts seconds of the monotonic clock, not ticks: ticks that come late (a loaded
// machine) make it jump, without skipping half-time, so the power-off still comes on time.
TEST(CriticalEvent, LateTicksDoNotStretchTheCountdown) {
    SupervisorRig rig;
    rig.mains(false);
    rig.battery(false);
    rig.tick();
    for (int i = 0; i < 5; ++i) {
        rig.time.advanceMs(4000);
        rig.tick();
    }
    EXPECT_EQ(rig.state.shutdownCountdown, 4);
    EXPECT_EQ(rig.system.closeRequests, 1) << "half-time was jumped over, not skipped";
    rig.ticks(4);
    EXPECT_EQ(rig.system.powerOffRequests, 1);
    EXPECT_DOUBLE_EQ(rig.time.elapsedMs, 30'000.0) << "the 30th second, as with punctual ticks";
}

// The system refuses the power-off: the monitor says why in a box from the event loop and goes
// on supervising; it does not ask again until the state has been normal.
TEST(CriticalEvent, ARefusedPowerOffIsShownAndSupervisionGoesOn) {
    SupervisorRig rig(Link::Serial, 5, 30, 10);
    rig.system.powerOffAnswer = "sin privilegio de apagado";
    rig.mains(false);
    rig.battery(false);
    rig.ticks(20);
    EXPECT_EQ(rig.system.powerOffRequests, 1);
    EXPECT_FALSE(rig.view.windowClosed);
    EXPECT_TRUE(rig.view.timerRunning);
    EXPECT_FALSE(rig.state.closingBySystem) << "a close now asks its question again";
    ASSERT_EQ(rig.view.boxes.shown.size(), 1u);
    EXPECT_EQ(rig.view.boxes.shown[0].text,
              "El sistema no aceptó el apagado: sin privilegio de apagado\r\nEl monitoreo de "
              "la UPS continúa.");
    EXPECT_EQ(rig.view.notices.back().text, "Continúa la condición crítica");

    rig.mains(true);
    rig.battery(true);
    rig.tick();
    rig.mains(false);
    rig.battery(false);
    rig.ticks(10);
    EXPECT_EQ(rig.system.powerOffRequests, 2) << "a new critical episode asks again";
}

TEST(CriticalEvent, WithTmpLowBTenOnlyTheShortNoticesShowAndApplicationsCloseAtFive) {
    SupervisorRig rig(Link::Serial, 5, 30, 10);
    rig.mains(false);
    rig.battery(false);

    rig.ticks(20);

    EXPECT_EQ(rig.view.noticeTexts(),
              (Texts{" 8 seg. para cerrar Sistema", " 6 seg. para cerrar Sistema",
                     "Cerrando aplicaciones", " 4 seg. para cerrar Sistema",
                     " 2 seg. para cerrar Sistema", "Cerrando sistema"}));
    EXPECT_EQ(rig.view.noticeTicks(), (Ticks{2, 4, 5, 6, 8, 10}));
    EXPECT_EQ(rig.system.powerOffRequests, 1);
}

TEST(CriticalEvent, TheHistoryHearsEachChangeEachNoticeAndTheShutdownBeforeAndAfterThePowerOff) {
    SupervisorRig rig(Link::Serial, 5, 30, 10);
    RecordingHistory history;
    rig.supervisor.setHistory(history);
    rig.mains(false);
    rig.battery(false);
    rig.ticks(3);
    rig.mains(true);
    rig.battery(true);
    rig.tick();
    rig.mains(false);
    rig.battery(false);
    rig.ticks(20);

    EXPECT_EQ(
        history.entries,
        (Texts{"mains_failed", "battery_low", "critical_entered apagado del sistema en 10 s",
               "notice_shown  8 seg. para cerrar Sistema", "mains_returned", "battery_normal",
               "critical_left", "mains_failed", "battery_low",
               "critical_entered apagado del sistema en 10 s",
               "notice_shown  8 seg. para cerrar Sistema",
               "notice_shown  6 seg. para cerrar Sistema", "notice_shown Cerrando aplicaciones",
               "applications_closed Documento - Editor, Hoja de cálculo",
               "notice_shown  4 seg. para cerrar Sistema",
               "notice_shown  2 seg. para cerrar Sistema", "notice_shown Cerrando sistema",
               // On disk before the machine may go down, and the system's answer too.
               "flush", "power_off_requested aceptado", "flush"}));
}

TEST(CriticalEvent, WithTmpLowBThreeHundredTheTextsGiveMinutesAndSecondsDownToOneMinute) {
    SupervisorRig rig(Link::Serial, 5, 30, 300);
    rig.mains(false);
    rig.battery(false);

    rig.ticks(300);

    Texts longNotices;
    Ticks longTicks;
    for (const auto& n : rig.view.notices) {
        if (n.hideDelayMs == 3000 && n.text != "Cerrando aplicaciones") {
            longNotices.push_back(n.text);
            longTicks.push_back(n.tick);
        }
    }
    EXPECT_EQ(longTicks, (Ticks{6, 37, 68, 99, 130, 161, 192, 223, 254, 285}));
    EXPECT_EQ(longNotices,
              (Texts{" 4 min. 54 seg. para cerrar Sistema", " 4 min. 23 seg. para cerrar Sistema",
                     " 3 min. 52 seg. para cerrar Sistema", " 3 min. 21 seg. para cerrar Sistema",
                     " 2 min. 50 seg. para cerrar Sistema", " 2 min. 19 seg. para cerrar Sistema",
                     " 1 min. 48 seg. para cerrar Sistema", " 1 min. 17 seg. para cerrar Sistema",
                     "46 seg. para cerrar Sistema", "15 seg. para cerrar Sistema"}));
    ASSERT_EQ(rig.system.closeRequests, 1);
    EXPECT_EQ(rig.log.entries.end()[-1], "300 closeMainWindow");
    EXPECT_NE(
        std::find(rig.log.entries.begin(), rig.log.entries.end(), "150 closeOtherApplications"),
        rig.log.entries.end());
}

TEST(CriticalEvent, TmpBatAboveTmpLowBMinusTenCanLeaveOnlyTheLastTenSeconds) {
    SupervisorRig rig(Link::Serial, 5, 60, 40);
    rig.mains(false);
    rig.ticks(6);  // the line-failure notice reloads the pacing to 60
    rig.battery(false);
    rig.ticks(40);

    Texts critical;
    for (const auto& n : rig.view.notices) {
        if (n.captionGiven && n.caption == "Batería Baja") critical.push_back(n.text);
    }
    EXPECT_EQ(critical, (Texts{"10 seg. para cerrar Sistema", " 8 seg. para cerrar Sistema",
                               " 6 seg. para cerrar Sistema", " 4 seg. para cerrar Sistema",
                               " 2 seg. para cerrar Sistema"}));
}

TEST(CriticalEvent, EnteringFromOnBatteryKeepsTheCurrentNoticePacing) {
    SupervisorRig rig(Link::Serial, 5, 20, 60);
    rig.mains(false);
    rig.ticks(10);  // notice on 6, pacing reloaded to 20, then 4 ticks: 16 left
    rig.battery(false);
    rig.ticks(17);

    EXPECT_EQ(rig.view.notices.back().tick, 27) << "16 more decrements, then the notice";
    EXPECT_EQ(rig.view.notices.back().text, "43 seg. para cerrar Sistema");
}

// ---- shutdown disabled ----

TEST(CriticalEventWithoutShutdown, CountsToZeroClosesNothingAndRepeatsEveryFourthTick) {
    SupervisorRig rig(Link::Serial, 5, 30, 30, false);
    rig.mains(false);
    rig.battery(false);

    rig.ticks(45);

    EXPECT_EQ(rig.view.noticeTicks(), (Ticks{6, 20, 22, 24, 26, 28, 33, 37, 41, 45}));
    for (const auto& n : rig.view.notices) {
        EXPECT_EQ(n.text, "Continúa la condición crítica");
        EXPECT_EQ(n.caption, "Batería Baja");
        EXPECT_EQ(n.picture, 3);
    }
    EXPECT_EQ(rig.view.notices.front().hideDelayMs, 3000);
    EXPECT_EQ(rig.view.notices.back().hideDelayMs, 500);
    EXPECT_EQ(rig.system.closeRequests, 0);
    EXPECT_EQ(rig.system.powerOffRequests, 0);
    EXPECT_EQ(rig.state.shutdownCountdown, 0);
    EXPECT_TRUE(rig.view.timerRunning);
}

TEST(CriticalEventWithoutShutdown, TheRepeatCounterCarriesOverIntoTheNextEpisode) {
    SupervisorRig rig(Link::Serial, 5, 60, 10, false);
    rig.mains(false);
    rig.battery(false);
    rig.ticks(11);  // zero on 10 and 11: repeat counter 1, 2
    EXPECT_EQ(rig.state.criticalRepeat, 2);

    rig.mains(true);
    rig.battery(true);
    rig.ticks(3);
    rig.mains(false);
    rig.battery(false);
    const int episodeStart = rig.log.tick;
    rig.ticks(12);

    EXPECT_EQ(rig.view.notices.back().tick, episodeStart + 11)
        << "the first repeat comes on the second tick at zero, not the fourth";
}

// ---- 3 -> 2 -> 3, 3 -> 1, back to normal ----

TEST(CriticalEvent, MainsBackFreezesTheCountdownAndMainsLostAgainResumesIt) {
    SupervisorRig rig;
    rig.mains(false);
    rig.battery(false);
    rig.ticks(4);
    EXPECT_EQ(rig.state.shutdownCountdown, 26);

    rig.mains(true);  // 3 -> 2
    const auto noticesBefore = rig.view.notices.size();
    rig.ticks(20);
    EXPECT_EQ(rig.state.eventCode(), 2);
    EXPECT_EQ(rig.state.shutdownCountdown, 26);
    EXPECT_EQ(rig.view.notices.size(), noticesBefore);

    rig.mains(false);  // 2 -> 3
    rig.tick();
    EXPECT_EQ(rig.state.shutdownCountdown, 25);
    rig.ticks(25);
    EXPECT_EQ(rig.system.powerOffRequests, 1);
    EXPECT_EQ(rig.log.tick, 24 + 26);
}

TEST(CriticalEvent, BatteryBackOnBatteryReloadsTheCountdownOnEveryTick) {
    SupervisorRig rig;
    rig.mains(false);
    rig.battery(false);
    rig.ticks(10);
    rig.battery(true);  // 3 -> 1
    rig.tick();
    EXPECT_EQ(rig.state.eventCode(), 1);
    EXPECT_EQ(rig.state.shutdownCountdown, 30);
    rig.battery(false);  // 1 -> 3 counts from the top
    rig.tick();
    EXPECT_EQ(rig.state.shutdownCountdown, 29);
}

TEST(CriticalEvent, AllNormalAfterTheCloseRequestReloadsEverythingAndPowersNothingOff) {
    SupervisorRig rig;
    rig.mains(false);
    rig.battery(false);
    rig.ticks(20);  // the applications were asked to close at 15
    rig.mains(true);
    rig.battery(true);
    rig.tick();
    EXPECT_EQ(rig.state.eventCode(), 0);
    EXPECT_EQ(rig.state.shutdownCountdown, 30);
    EXPECT_EQ(rig.state.warnCountdown, 5);
    EXPECT_FALSE(rig.state.failWarned);

    rig.ticks(60);
    EXPECT_EQ(rig.system.closeRequests, 1);
    EXPECT_EQ(rig.system.powerOffRequests, 0);
    EXPECT_TRUE(rig.view.timerRunning);
}

TEST(BatteryLowOnMains, ShowsNothingAndReloadsTheFirstNoticeDelay) {
    SupervisorRig rig;
    rig.mains(false);
    rig.ticks(8);  // warned on 6
    rig.mains(true);
    rig.battery(false);
    rig.ticks(50);
    EXPECT_EQ(rig.view.notices.size(), 1u);
    EXPECT_EQ(rig.state.warnCountdown, 5);
    EXPECT_FALSE(rig.state.failWarned);
    EXPECT_EQ(rig.state.shutdownCountdown, 30);
}

}  // namespace
