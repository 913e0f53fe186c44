// The scheduler's counters carry over from one run of the monitor to the next through the registry
// file: each run starts from zeroed records, loads them from the file, ticks over a fake serial
// UPS and ends; the file is all that links one run to the next.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>

#include "base/oleDate.h"
#include "battery/scheduledBatteryTests.h"
#include "config/configStore.h"
#include "links/serialLib.h"
#include "links/serialLink.h"
#include "links/trapFields.h"
#include "platform/posix/regFileStore.h"
#include "supervisor/supervisor.h"
#include "support/fakeSerialUps.h"
#include "support/fakeSystemControl.h"
#include "support/recordingView.h"
#include "support/scriptedMessageBoxes.h"
#include "support/tempDir.h"
#include "support/virtualTime.h"

namespace ups::test {
namespace {

namespace fs = std::filesystem;

struct RunResult {
    int testsStarted = 0;
    CfgUps cfgUps{};
};

class SchedulerRunsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(tempDir.path.empty()); }

    // The first start on this machine writes the defaults; then the user accepts the dialog.
    void configure(std::int32_t mode, std::int32_t interval, double acceptedAt) {
        RegFileStore store(path);
        ScriptedMessageBoxes boxes;
        CfgUps ups;
        CfgSnmp snmp;
        clearRecords(ups, snmp);
        setDefaultConfig(ups, snmp);
        loadConfig(ups, snmp, store, boxes);
        ups.testMode = mode;
        ups.testInterval = interval;
        ups.askStart = 0;
        ups.comPort = 0;
        stampLastTestOnAccept(ups, acceptedAt);
        saveConfig(ups, snmp, store, boxes);
        ASSERT_TRUE(boxes.shown.empty());
    }

    // One run of the monitor: start-up as the main window does it, then `ticks` seconds.
    RunResult run(double startOle, int ticks = 5) {
        RegFileStore store(path);
        ScriptedMessageBoxes boxes;
        CfgUps ups;
        CfgSnmp snmp;
        clearRecords(ups, snmp);
        setDefaultConfig(ups, snmp);
        SupervisorState state;  // startPending raised for this run
        loadConfig(ups, snmp, store, boxes);
        state.warnCountdown = ups.tmpFail;
        state.shutdownCountdown = ups.tmpLowB;

        VirtualTime time(startOle);
        FakeSerialUps serial(&time);
        serial.testDropsMainsAfterMs = 300;
        SerialLib sio(serial);
        SerialLink link(sio);
        link.openSerialLink(ups.comPort);
        link.assertRts();
        state.serialLinkActive = true;

        TickLog log;
        RecordingView view(log);
        FakeSystemControl system(log);
        TrapFields trap;
        ScheduledBatteryTests tests(ups, snmp, state, view, store, boxes, time, &link);
        Supervisor supervisor(ups, snmp, state, trap, view, system, tests, time, &link, nullptr);
        view.startTimer();
        for (int i = 0; i < ticks && view.timerRunning; ++i) {
            time.advanceMs(1000);
            supervisor.TimerTimer();
            view.runLaterTasks();
        }
        EXPECT_TRUE(boxes.shown.empty());
        return {static_cast<int>(serial.breakOnTimes.size()), ups};
    }

    // What the file says now, read by a program that has not run any tick.
    CfgUps stored() {
        RegFileStore store(path);
        ScriptedMessageBoxes boxes;
        CfgUps ups;
        CfgSnmp snmp;
        clearRecords(ups, snmp);
        readConfig(ups, snmp, store, boxes);
        return ups;
    }

    TempDir tempDir{"scheduler-runs"};
    std::string path = (tempDir.path / "korvan-ups" / "registry.reg").string();
};

TEST_F(SchedulerRunsTest, EveryThirdStartTestsOnTheThirdRunAndCountsAgainFromZero) {
    const double day = oleFromLocal(2026, 12, 7, 9, 0);
    configure(tmCnStart, 3, day);

    std::vector<int> testsByRun, storedCounts;
    for (int r = 0; r < 4; ++r) {
        RunResult result = run(day + r);
        testsByRun.push_back(result.testsStarted);
        storedCounts.push_back(stored().startCount);
    }
    EXPECT_EQ(testsByRun, (std::vector<int>{0, 0, 1, 0}));
    EXPECT_EQ(storedCounts, (std::vector<int>{1, 2, 0, 1}));
}

TEST_F(SchedulerRunsTest, EveryNDaysCountsFromTheAcceptanceAcrossRuns) {
    const double accepted = oleFromLocal(2026, 12, 7, 9, 0);
    configure(tmDias, 7, accepted);
    EXPECT_EQ(stored().lastTest, accepted);

    EXPECT_EQ(run(accepted + 3.0).testsStarted, 0);
    EXPECT_EQ(run(accepted + 6.9).testsStarted, 0);
    RunResult week = run(accepted + 7.0);
    EXPECT_EQ(week.testsStarted, 1);
    EXPECT_EQ(stored().lastTest, week.cfgUps.lastTest);
    EXPECT_EQ(run(accepted + 8.0).testsStarted, 0);
}

}  // namespace
}  // namespace ups::test
