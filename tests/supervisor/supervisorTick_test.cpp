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

TEST(SupervisorTick, RTSClearedBehindItsBackIsAssertedAgainByTheTick) {
    SupervisorRig rig;
    rig.serial.clearRtsBehindOurBack();
    rig.tick();
    EXPECT_TRUE(rig.serial.rts());
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
