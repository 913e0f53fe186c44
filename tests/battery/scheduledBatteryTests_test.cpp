// The scheduler and the battery test bound to the supervisor: the tick's scheduled-test step and
// the test button, over the fake serial UPS or the scripted agent, the recording main window and a
// memory registry.
#include "battery/scheduledBatteryTests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "base/oleDate.h"
#include "config/configStore.h"
#include "links/serialLib.h"
#include "links/serialLink.h"
#include "links/trapFields.h"
#include "supervisor/supervisor.h"
#include "support/fakeSerialUps.h"
#include "support/fakeSystemControl.h"
#include "support/memoryRegistryStore.h"
#include "support/recordingView.h"
#include "support/scriptedAgentCommands.h"
#include "support/virtualTime.h"

namespace ups::test {
namespace {

// 2026-12-07 is a Monday.
double monday(int hour, int minute, int second = 0) {
    return oleFromLocal(2026, 12, 7, hour, minute, second);
}

constexpr double kHalfMs = 0.5 / 86'400'000.0;

enum class Link { Serial, Agent };

struct TestRig {
    explicit TestRig(Link link = Link::Serial, double startOle = monday(9, 0)) : time(startOle) {
        std::memset(&ups, 0, sizeof ups);
        std::memset(&snmp, 0, sizeof snmp);
        setDefaultConfig(ups, snmp);
        ups.askStart = 0;
        ups.testMode = tmNever;
        store.addKeyChain(kKeyConfig);
        state.warnCountdown = ups.tmpFail;
        state.shutdownCountdown = ups.tmpLowB;
        if (link == Link::Serial) {
            serialLink.openSerialLink(0);
            serialLink.assertRts();
            state.serialLinkActive = true;
        } else {
            // SNMP without traps: the tick reads nothing, the state stays as the test leaves it.
            snmp.enhSnmp = 1;
            state.agentLinkActive = true;
            state.agentCommandsOk = true;
        }
        view.startTimer();
    }

    void tick() {
        ASSERT_TRUE(view.timerRunning);
        ++log.tick;
        time.advanceMs(1000);
        supervisor.TimerTimer();
    }
    // Ticks until the clock has passed `until`.
    void ticksUntil(double until) {
        while (time.now() < until) tick();
    }

    void click() { bbtnIniTestClick(view, state, tests, time); }

    std::vector<std::string> entriesOfTick(int tick) const {
        std::vector<std::string> out;
        const std::string prefix = std::to_string(tick) + " ";
        for (const auto& e : log.entries)
            if (e.rfind(prefix, 0) == 0) out.push_back(e.substr(prefix.size()));
        return out;
    }

    int testsStarted() const { return static_cast<int>(serial.breakOnTimes.size()) + agent.sets(); }

    CfgUps storedCfgUps() const {
        CfgUps stored;
        std::memset(&stored, 0, sizeof stored);
        auto value = store.value(kKeyConfig, kValueCfgUps);
        if (value) overlayRecord(stored, value->data);
        return stored;
    }

    CfgUps ups;
    CfgSnmp snmp;
    SupervisorState state;
    TrapFields trap;
    TickLog log;
    RecordingView view{log};
    FakeSystemControl system{log};
    VirtualTime time;
    FakeSerialUps serial{&time};
    SerialLib sio{serial};
    SerialLink serialLink{sio, time};
    ScriptedAgentCommands agent{&time};
    MemoryRegistryStore store;
    ScriptedMessageBoxes storeBoxes;
    ScheduledBatteryTests tests{ups,        snmp, state,       view,  store,
                                storeBoxes, time, &serialLink, &agent};
    Supervisor supervisor{ups,   snmp, state, trap,        view,   system,
                          tests, time, time,  &serialLink, nullptr};
};

// ---- the prompts through the main window ----

TEST(ViewTestPrompts, AsksTheYesNoQuestionAndOnlyYesConfirms) {
    TickLog log;
    RecordingView view{log};
    ViewTestPrompts prompts{view};
    view.boxes.answers = {MbResult::Yes, MbResult::No};
    EXPECT_TRUE(prompts.confirmTest());
    EXPECT_FALSE(prompts.confirmTest());
    ASSERT_EQ(view.boxes.shown.size(), 2u);
    const ShownBox& box = view.boxes.shown[0];
    EXPECT_EQ(box.text, "Se realizará un test a la UPS.\r\n¿Desea Continuar?.");
    EXPECT_EQ(box.title, "Pregunta");
    EXPECT_EQ(box.icon, MbIcon::Question);
    EXPECT_EQ(box.buttons, MbButtons::YesNo);
}

TEST(ViewTestPrompts, TheStartPopUpShowsTheBatteryPictureForOneSecondAndIsPaintedAtOnce) {
    TickLog log;
    RecordingView view{log};
    ViewTestPrompts prompts{view};
    view.caption = "Información";
    prompts.showStartNotice();
    ASSERT_EQ(view.notices.size(), 1u);
    const ShownNotice& n = view.notices[0];
    EXPECT_EQ(n.text, "Iniciando prueba de batería.");
    EXPECT_EQ(n.picture, 2);
    EXPECT_EQ(n.hideDelayMs, 1000);
    EXPECT_FALSE(n.captionGiven);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"0 notice Iniciando prueba de batería.",
                                                     "0 repaintNotice"}));
}

// ---- the tick's scheduled-test step ----

TEST(ScheduledTestStep, APassedSerialTestRunsInsideTheTick) {
    TestRig rig;
    rig.ups.testMode = tmWinStart;
    rig.serial.testDropsMainsAfterMs = 300;
    const int startsBefore = rig.view.timerStarts;

    rig.tick();

    EXPECT_EQ(rig.entriesOfTick(1),
              (std::vector<std::string>{"disableTestButton", "notice Iniciando prueba de batería.",
                                        "repaintNotice", "defaultBeep",
                                        "notice Test satisfactorio, batería operativa.",
                                        "repaintNotice", "enableTestButton"}));
    std::vector<int> expectedSleeps(100, 100);
    expectedSleeps.push_back(4000);
    EXPECT_EQ(rig.time.sleeps, expectedSleeps);
    EXPECT_EQ(rig.view.timerStarts, startsBefore + 1);
    EXPECT_TRUE(rig.view.timerRunning);
    EXPECT_FALSE(rig.serial.breakOn());

    rig.tick();
    rig.tick();
    EXPECT_EQ(rig.testsStarted(), 1);
}

TEST(ScheduledTestStep, AFailedAgentTestReportsWithTheTimerRunningAndTheStateFollowsTheReads) {
    TestRig rig{Link::Agent};
    rig.ups.testMode = tmWinStart;
    rig.agent.testDropsMainsAfterMs = 300;
    rig.agent.testDropsBatteryAfterMs = 3000;

    rig.tick();

    EXPECT_EQ(rig.entriesOfTick(1),
              (std::vector<std::string>{"disableTestButton", "notice Iniciando prueba de batería.",
                                        "repaintNotice", "messageBox, timer running",
                                        "enableTestButton"}));
    ASSERT_EQ(rig.view.boxes.shown.size(), 1u);
    EXPECT_EQ(rig.view.boxes.shown[0].text, "Falla en test, controlar batería.");
    EXPECT_EQ(rig.view.boxes.shown[0].title, "Información");
    EXPECT_EQ(rig.view.boxes.shown[0].icon, MbIcon::Warning);
    // The last reads of the watch are in the state; the event code waits for the next tick.
    EXPECT_FALSE(rig.state.lineOk);
    EXPECT_TRUE(rig.state.batteryLow);
    EXPECT_TRUE(rig.state.displayDirty);
    EXPECT_EQ(rig.state.eventCode, 0);
}

TEST(ScheduledTestStep, AMonitorStartedDuringAPowerEventTestsOnceTheEventIsOver) {
    TestRig rig;
    rig.ups.testMode = tmWinStart;
    rig.serial.mainsPresent = false;
    for (int i = 0; i < 5; ++i) rig.tick();
    EXPECT_EQ(rig.testsStarted(), 0);
    EXPECT_TRUE(rig.state.startPending);

    rig.serial.mainsPresent = true;
    rig.serial.testDropsMainsAfterMs = 300;
    rig.tick();
    EXPECT_EQ(rig.testsStarted(), 1);
    EXPECT_FALSE(rig.state.startPending);
}

TEST(ScheduledTestStep, TheMondaySlotIsMissedWhenAPowerEventCoversIt) {
    TestRig rig{Link::Serial, monday(8, 29, 0)};
    rig.ups.testMode = tmSchedule;
    rig.ups.testSched[1] = {1, 8, 30};
    rig.serial.mainsPresent = false;
    rig.ticksUntil(monday(8, 31, 5));
    rig.serial.mainsPresent = true;
    rig.ticksUntil(monday(8, 40));
    EXPECT_EQ(rig.testsStarted(), 0);
    EXPECT_EQ(rig.ups.lastTest, 0.0);
}

TEST(ScheduledTestStep, TheMondaySlotStartsOneTestAndSavesTheNewLastTest) {
    TestRig rig{Link::Serial, monday(8, 29, 0)};
    rig.ups.testMode = tmSchedule;
    rig.ups.testSched[1] = {1, 8, 30};
    rig.serial.testDropsMainsAfterMs = 300;
    rig.ticksUntil(monday(8, 35));
    EXPECT_EQ(rig.testsStarted(), 1);
    // Virtual seconds add up with rounding: the tick that opened the slot sits within a
    // millisecond of 08:30:00.
    EXPECT_NEAR(rig.ups.lastTest, monday(8, 30), kHalfMs);
    EXPECT_EQ(rig.storedCfgUps().lastTest, rig.ups.lastTest);
}

TEST(ScheduledTestStep, ADeclinedQuestionSpendsTheOccurrence) {
    struct Case {
        const char* name;
        std::int32_t mode;
    };
    for (Case c : {Case{"each start", tmWinStart}, Case{"every n days", tmDias},
                   Case{"weekly slot", tmSchedule}}) {
        SCOPED_TRACE(c.name);
        TestRig rig{Link::Serial, monday(8, 29, 58)};
        rig.ups.testMode = c.mode;
        rig.ups.askStart = 1;
        rig.ups.lastTest = 0.0;
        rig.ups.testSched[1] = {1, 8, 30};
        rig.ticksUntil(monday(8, 32));
        EXPECT_EQ(rig.view.boxes.shown.size(), 1u);
        EXPECT_EQ(rig.testsStarted(), 0);
        EXPECT_TRUE(rig.view.timerRunning);
        EXPECT_TRUE(rig.view.testButtonEnabled);
        EXPECT_TRUE(rig.view.notices.empty());
    }
}

TEST(ScheduledTestStep, ASchedulerChangeIsSavedWithBothRecords) {
    TestRig rig{Link::Serial, monday(10, 0)};
    rig.ups.testMode = tmCnStart;
    rig.ups.testInterval = 3;
    rig.ups.startCount = 1;
    rig.tick();
    EXPECT_EQ(rig.storedCfgUps().startCount, 2);
    EXPECT_TRUE(rig.store.value(kKeyConfig, kValueCfgSnmp).has_value());
    EXPECT_EQ(rig.storeBoxes.shown.size(), 0u);
}

// ---- the test button ----

TEST(TestButton, DecliningBringsTheButtonAndTheTimerBackAndSendsNothing) {
    TestRig rig;
    rig.ups.askStart = 1;
    rig.view.boxes.answers = {MbResult::No};
    rig.click();
    EXPECT_EQ(rig.log.entries,
              (std::vector<std::string>{"0 disableTestButton", "0 messageBox, timer stopped",
                                        "0 enableTestButton"}));
    EXPECT_TRUE(rig.view.timerRunning);
    EXPECT_TRUE(rig.view.testButtonEnabled);
    EXPECT_EQ(rig.testsStarted(), 0);
}

TEST(TestButton, InTheAlarmRoleTheClickPulsesTheBreakAndShowsNothingEvenWithAskStart) {
    TestRig rig;
    rig.ups.askStart = 1;
    rig.state.lineOk = false;
    rig.state.batteryLow = true;
    rig.state.deriveEventCode();
    rig.click();
    EXPECT_EQ(rig.log.entries,
              (std::vector<std::string>{"0 disableTestButton", "0 enableTestButton"}));
    EXPECT_EQ(rig.time.sleeps, std::vector<int>{500});
    EXPECT_EQ(rig.serial.breakOnTimes.size(), 1u);
    EXPECT_FALSE(rig.serial.breakOn());
    EXPECT_TRUE(rig.view.timerRunning);
}

TEST(TestButton, NoResponseIsReportedWithTheTimerAlreadyRunning) {
    TestRig rig;
    rig.click();
    ASSERT_EQ(rig.view.boxes.shown.size(), 1u);
    EXPECT_EQ(rig.view.boxes.shown[0].text, "La UPS no responde al pedido de Test.");
    EXPECT_EQ(rig.view.boxes.shown[0].title, "! ERROR !");
    EXPECT_EQ(rig.view.boxes.shown[0].icon, MbIcon::Error);
    EXPECT_EQ(rig.log.entries,
              (std::vector<std::string>{"0 disableTestButton",
                                        "0 notice Iniciando prueba de batería.", "0 repaintNotice",
                                        "0 messageBox, timer running", "0 enableTestButton"}));
}

TEST(TestButton, APassedTestHoldsTheTimerStoppedThroughTheFourSecondWait) {
    TestRig rig;
    rig.serial.testDropsMainsAfterMs = 300;
    std::vector<bool> timerDuringSleeps;
    rig.time.onSleep = [&](double) { timerDuringSleeps.push_back(rig.view.timerRunning); };
    rig.click();
    ASSERT_EQ(rig.time.sleeps.back(), 4000);
    EXPECT_EQ(std::count(timerDuringSleeps.begin(), timerDuringSleeps.end(), true), 0);
    EXPECT_TRUE(rig.view.timerRunning);
    EXPECT_TRUE(rig.view.testButtonEnabled);
}

TEST(TestButton, SupervisionTicksBehindTheOutcomeBoxAndAShutdownThereKeepsTheTimerStopped) {
    TestRig rig;
    rig.ups.enhShutdwn = 1;
    rig.ups.tmpLowB = 10;
    rig.state.shutdownCountdown = 10;
    rig.serial.testDropsMainsAfterMs = 200;
    rig.serial.testDropsBatteryAfterMs = 500;
    int ticksBehindBox = 0;
    rig.view.whileBoxOpen = [&] {
        // The UPS is now critical; the box stays open until the monitor closes itself.
        rig.serial.mainsPresent = false;
        rig.serial.batteryOk = false;
        while (rig.view.timerRunning) {
            rig.tick();
            ++ticksBehindBox;
        }
    };
    rig.click();
    EXPECT_EQ(rig.view.boxes.shown.at(0).text, "Falla en test, controlar batería.");
    EXPECT_EQ(ticksBehindBox, 10);
    EXPECT_EQ(rig.system.powerOffRequests, 1);
    EXPECT_TRUE(rig.view.windowClosed);
    EXPECT_FALSE(rig.view.timerRunning);
}

}  // namespace
}  // namespace ups::test
