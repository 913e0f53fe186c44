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
    EXPECT_EQ(rig.state.eventCode(), ecOnBattery);
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

// A due test starts from the event loop once the tick has returned, never inside it, and waits
// while a box or dialog is open or an order runs: the dialog may be changing the link it needs.
TEST(SupervisorTick, ADueTestStartsAfterTheTickAndWaitsForOpenDialogs) {
    SupervisorRig rig;
    rig.tests.due = true;
    rig.view.dialogIsOpen = true;
    rig.ticks(3);
    rig.tests.running = true;
    rig.view.dialogIsOpen = false;
    rig.tick();
    EXPECT_EQ(rig.tests.started, 0);
    EXPECT_EQ(rig.tests.asked, 1) << "a held test is not asked for again";

    rig.tests.due = false;
    rig.tests.running = false;
    ++rig.log.tick;
    rig.supervisor.TimerTimer();
    EXPECT_EQ(rig.tests.started, 0) << "not inside the tick";
    ASSERT_EQ(rig.view.later.size(), 1u);
    rig.view.runLaterTasks();
    EXPECT_EQ(rig.tests.started, 1);
}

}  // namespace

namespace {

// ---- presenting a test's outcome ----

// Every box goes to the event loop, so a box never opens inside the tick that presents it.
TEST(TestOutcome, FailuresOpenTheirBoxFromTheEventLoop) {
    const struct {
        int outcome;
        std::string text, title;
        MbIcon icon;
    } cases[] = {
        {trBatteryFail, "Falla en test, controlar batería.", "Información", MbIcon::Warning},
        {trNoResponse, "La UPS no responde al pedido de Test.", "! ERROR !", MbIcon::Error},
        {trNoAnswer, "El equipo no responde a la consulta.", "! ERROR !", MbIcon::Error},
    };
    for (const auto& c : cases) {
        SupervisorRig rig;
        showTestOutcome(c.outcome, rig.view);
        EXPECT_TRUE(rig.view.boxes.shown.empty()) << c.outcome;
        rig.view.runLaterTasks();
        ASSERT_EQ(rig.view.boxes.shown.size(), 1u);
        EXPECT_EQ(rig.view.boxes.shown[0].text, c.text);
        EXPECT_EQ(rig.view.boxes.shown[0].title, c.title);
        EXPECT_EQ(rig.view.boxes.shown[0].icon, c.icon);
        EXPECT_EQ(rig.view.boxes.shown[0].buttons, MbButtons::Ok);
        EXPECT_TRUE(rig.view.notices.empty());
    }
}

TEST(TestOutcome, APassedTestBeepsAndShowsTheNoticeWithoutHoldingTheThread) {
    SupervisorRig rig;
    showTestOutcome(trPassed, rig.view);
    EXPECT_EQ(rig.log.entries,
              (std::vector<std::string>{"0 defaultBeep",
                                        "0 notice Test satisfactorio, batería operativa.",
                                        "0 repaintNotice"}));
    ASSERT_EQ(rig.view.notices.size(), 1u);
    EXPECT_EQ(rig.view.notices[0].picture, 2);
    EXPECT_FALSE(rig.view.notices[0].captionGiven);
    EXPECT_EQ(rig.view.notices[0].hideDelayMs, 3000);
    EXPECT_TRUE(rig.time.sleeps.empty());
    EXPECT_TRUE(rig.view.later.empty());
}

TEST(TestOutcome, NothingDoneOrAnUnknownCodeShowsNothing) {
    for (int outcome : {0, 5, -1}) {
        SupervisorRig rig;
        showTestOutcome(outcome, rig.view);
        rig.view.runLaterTasks();
        EXPECT_TRUE(rig.log.entries.empty()) << "outcome " << outcome;
        EXPECT_TRUE(rig.view.boxes.shown.empty());
    }
}

}  // namespace
