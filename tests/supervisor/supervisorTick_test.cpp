// The tick's order of steps: no link, the reading, the display, the scheduled test and the way a
// test outcome is presented.
#include <gtest/gtest.h>

#include "supervisorRig.h"

using namespace ups;
using namespace ups::test;

namespace {

TEST(SupervisorTick, WithNoLinkRestoresTheWindowAndLeavesTheTimerStopped) {
    SupervisorRig rig;
    rig.state.serialLinkActive = false;
    rig.serial.calls.clear();

    EXPECT_TRUE(rig.tick());

    EXPECT_EQ(rig.view.restores, 1);
    EXPECT_FALSE(rig.view.timerRunning);
    EXPECT_FALSE(rig.tick()) << "nothing restarts the timer until a link comes up";
    EXPECT_TRUE(rig.serial.calls.empty());
    EXPECT_EQ(rig.view.refreshes, 0);
    EXPECT_EQ(rig.state.tickTime, 0.0);
}

TEST(SupervisorTick, TakesTheTimeReadsTheLinesRefreshesAndRestartsTheTimer) {
    SupervisorRig rig;
    rig.mains(false);

    rig.tick();

    EXPECT_DOUBLE_EQ(rig.state.tickTime, rig.time.now());
    EXPECT_FALSE(rig.state.lineOk);
    EXPECT_EQ(rig.state.eventCode, 1);
    EXPECT_TRUE(rig.state.displayDirty) << "a changed line marks the display";
    EXPECT_EQ(rig.view.refreshes, 1);
    EXPECT_TRUE(rig.view.timerRunning);
    EXPECT_EQ(rig.view.restores, 0);
}

TEST(SupervisorTick, AnUnchangedStateLeavesTheDisplayClean) {
    SupervisorRig rig;
    rig.tick();
    EXPECT_FALSE(rig.state.displayDirty);
}

TEST(SupervisorTick, AsksForAScheduledTestOnlyInTheNormalState) {
    SupervisorRig rig;
    rig.mains(false);
    rig.ticks(3);
    rig.mains(true);
    rig.battery(false);
    rig.ticks(3);
    EXPECT_EQ(rig.tests.asked, 0);

    rig.battery(true);
    rig.tick();
    EXPECT_EQ(rig.tests.asked, 1);
}

}  // namespace

namespace {

// ---- presenting a scheduled test's outcome ----

struct BoxOutcome {
    int outcome;
    std::string text;
    std::string title;
    MbIcon icon;
};
// Shown by GoogleTest (and in the test list) by what it is rather than as bytes.
void PrintTo(const BoxOutcome& c, std::ostream* os) {
    *os << "outcome " << c.outcome;
}

class FailedTestOutcome : public ::testing::TestWithParam<BoxOutcome> {};

TEST_P(FailedTestOutcome, RestartsTheTimerBeforeTheBoxSoSupervisionGoesOn) {
    const auto c = GetParam();
    SupervisorRig rig;
    rig.tests.due = true;
    rig.tests.outcome = c.outcome;

    rig.tick();

    EXPECT_EQ(rig.log.entries,
              (std::vector<std::string>{"1 disableTestButton", "1 runUpsCommand",
                                        "1 messageBox, timer running", "1 enableTestButton"}));
    ASSERT_EQ(rig.view.boxes.shown.size(), 1u);
    EXPECT_EQ(rig.view.boxes.shown[0].text, c.text);
    EXPECT_EQ(rig.view.boxes.shown[0].title, c.title);
    EXPECT_EQ(rig.view.boxes.shown[0].icon, c.icon);
    EXPECT_EQ(rig.view.boxes.shown[0].buttons, MbButtons::Ok);
    EXPECT_TRUE(rig.view.notices.empty());
    EXPECT_TRUE(rig.view.timerRunning);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FailedTestOutcome,
    ::testing::Values(BoxOutcome{trBatteryFail, "Falla en test, controlar batería.", "Información",
                                 MbIcon::Warning},
                      BoxOutcome{trNoResponse, "La UPS no responde al pedido de Test.", "! ERROR !",
                                 MbIcon::Error},
                      BoxOutcome{trNoAnswer, "El equipo no responde a la consulta.", "! ERROR !",
                                 MbIcon::Error}));

TEST(TestOutcome, APassedTestBeepsShowsTheNoticeAndHoldsFourSeconds) {
    SupervisorRig rig;
    rig.tests.due = true;
    rig.tests.outcome = trPassed;

    rig.tick();

    EXPECT_EQ(rig.log.entries,
              (std::vector<std::string>{"1 disableTestButton", "1 runUpsCommand", "1 defaultBeep",
                                        "1 notice Test satisfactorio, batería operativa.",
                                        "1 repaintNotice", "1 enableTestButton"}));
    ASSERT_EQ(rig.view.notices.size(), 1u);
    EXPECT_EQ(rig.view.notices[0].picture, 2);
    EXPECT_TRUE(rig.view.notices[0].pictureGiven);
    EXPECT_FALSE(rig.view.notices[0].captionGiven);
    EXPECT_EQ(rig.view.notices[0].hideDelayMs, 3000);
    EXPECT_EQ(rig.time.sleeps, (std::vector<int>{4000}));
    EXPECT_TRUE(rig.view.timerRunning);
}

TEST(TestOutcome, NothingDoneOrAnUnknownCodeShowsNothing) {
    for (int outcome : {0, 5, -1}) {
        SupervisorRig rig;
        rig.tests.due = true;
        rig.tests.outcome = outcome;
        rig.tick();
        EXPECT_EQ(rig.log.entries,
                  (std::vector<std::string>{"1 disableTestButton", "1 runUpsCommand",
                                            "1 enableTestButton"}))
            << "outcome " << outcome;
        EXPECT_TRUE(rig.view.boxes.shown.empty());
        EXPECT_TRUE(rig.time.sleeps.empty());
    }
}

}  // namespace

namespace {

// While a failed test's box waits for the user the timer runs, so ticks nest inside the box.
TEST(TestOutcome, AShutdownInATickNestedInTheBoxLeavesTheTimerStopped) {
    SupervisorRig rig(Link::Serial, 5, 30, 10);
    rig.tests.due = true;
    rig.tests.outcome = trBatteryFail;
    rig.view.whileBoxOpen = [&] {
        rig.tests.due = false;
        rig.mains(false);
        rig.battery(false);
        while (rig.tick()) {
        }
    };

    rig.tick();

    EXPECT_EQ(rig.system.powerOffRequests, 1);
    EXPECT_TRUE(rig.view.windowClosed);
    EXPECT_FALSE(rig.view.timerRunning) << "the outer tick must not restart it";
    EXPECT_EQ(rig.log.entries.back(), "11 enableTestButton");
}

}  // namespace
