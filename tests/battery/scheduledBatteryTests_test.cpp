// The scheduler and the battery test bound to the supervisor: the tick's scheduled-test step and
// the test button, over the fake serial UPS or the scripted agent, the recording main window and a
// memory registry; the window's later tasks run between the ticks, the agent's thread in place.
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
#include "support/virtualTasks.h"
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
            state.agentLinkActive = state.agentCommandsOk = true;
        }
        view.startTimer();
        tasks.afterEach = [this] { collect(); };
        view.whileBoxOpen = [this] {
            boxesInsideTick += inTick ? 1 : 0;
            if (behindBox) behindBox();
        };
    }

    // What the window was handed goes to the event loop, due from now.
    void collect() {
        for (auto& t : view.later) tasks.runLater(t.delayMs, std::move(t.task));
        view.later.clear();
    }
    // One second of the event loop: what falls due in it, then the timer's tick.
    void tick() {
        ASSERT_TRUE(view.timerRunning);
        tasks.runUntil(time.elapsedMs + 1000);
        ++log.tick;
        inTick = true;
        supervisor.TimerTimer();
        inTick = false;
        ticksWithCommand += tests.commandRunning() ? 1 : 0;
        collect();
    }
    void ticksUntil(double until) {
        while (time.now() < until) tick();
    }
    void click() {
        tests.buttonPressed();
        collect();
    }
    void goCritical() {
        serial.mainsPresent = serial.batteryOk = false;
        state.lineOk = false;  // what the agent's trap would have said
        state.batteryLow = true;
    }
    std::vector<std::string> entries() const {  // the log without its ticks
        std::vector<std::string> out;
        for (const auto& e : log.entries) out.push_back(e.substr(e.find(' ') + 1));
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
    VirtualTime time, agentTime;  // the GUI thread's and the agent thread's
    VirtualTasks tasks{time};
    FakeSerialUps serial{&time};
    SerialLib sio{serial};
    SerialLink serialLink{sio};
    ScriptedAgentCommands agent{&agentTime};
    AgentCallsInPlace agentRuns{agent};
    MemoryRegistryStore store;
    ScriptedMessageBoxes storeBoxes;
    ScheduledBatteryTests tests{ups,        snmp,      state,       view,      store,
                                storeBoxes, agentTime, &serialLink, &agentRuns};
    Supervisor supervisor{ups, snmp, state, trap, view, system, tests, time, &serialLink, nullptr};
    bool inTick = false;
    int boxesInsideTick = 0, ticksWithCommand = 0;
    std::function<void()> behindBox;
};

TEST(ViewTestPrompts, TheYesNoQuestionAndTheStartPopUpPaintedAtOnce) {
    TickLog log;
    RecordingView view{log};
    ViewTestPrompts prompts{view};
    view.boxes.answers = {MbResult::Yes, MbResult::No};
    EXPECT_TRUE(prompts.confirmTest());
    EXPECT_FALSE(prompts.confirmTest());
    const ShownBox& box = view.boxes.shown.at(0);
    EXPECT_EQ(box.text, "Se realizará un test a la UPS.\r\n¿Desea Continuar?.");
    EXPECT_EQ(box.title, "Pregunta");
    EXPECT_EQ(box.icon, MbIcon::Question);
    EXPECT_EQ(box.buttons, MbButtons::YesNo);
    view.caption = "Información";
    prompts.showStartNotice();
    ASSERT_EQ(view.notices.size(), 1u);
    const ShownNotice& n = view.notices[0];
    EXPECT_EQ(n.text, "Iniciando prueba de batería.");
    EXPECT_EQ(n.picture, 2);  // the battery picture, for one second
    EXPECT_EQ(n.hideDelayMs, 1000);
    EXPECT_FALSE(n.captionGiven);
    const std::vector<std::string> afterBoxes(log.entries.begin() + 2, log.entries.end());
    EXPECT_EQ(afterBoxes, (std::vector<std::string>{"0 notice Iniciando prueba de batería.",
                                                    "0 repaintNotice"}));
}

TEST(ScheduledTestStep, APassedSerialTestRunsBesideTheTicksAndHoldsNothingBack) {
    TestRig rig;
    rig.ups.testMode = tmWinStart;
    rig.serial.testDropsMainsAfterMs = 300;
    for (int i = 0; i < 5; ++i) rig.tick();
    rig.click();  // ignored while the test runs
    for (int i = 0; i < 10; ++i) rig.tick();
    // No line-failure notice either, though the UPS ran on its battery.
    EXPECT_EQ(rig.entries(),
              (std::vector<std::string>{"disableTestButton", "notice Iniciando prueba de batería.",
                                        "repaintNotice", "defaultBeep",
                                        "notice Test satisfactorio, batería operativa.",
                                        "repaintNotice", "enableTestButton"}));
    // Started from the event loop after the first tick, the watch ran from 1 s to 11 s: the
    // ticks at 2 s to 10 s went on during it, with the timer never stopped.
    EXPECT_EQ(rig.serial.breakOnTimes, std::vector<double>{1000});
    EXPECT_EQ(rig.serial.breakOffTimes, std::vector<double>{11'000});
    EXPECT_EQ(rig.ticksWithCommand, 9);
    EXPECT_EQ(rig.view.timerStarts, 1);
    EXPECT_TRUE(rig.time.sleeps.empty());
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
    for (int i = 0; i < 2; ++i) rig.tick();  // the due tick, then the start from the event loop
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
    for (std::int32_t mode : {tmWinStart, tmDias, tmSchedule}) {  // each start, n days, weekly
        SCOPED_TRACE(mode);
        TestRig rig{Link::Serial, monday(8, 29, 58)};
        rig.ups.testMode = mode;
        rig.ups.askStart = 1;
        rig.ups.lastTest = 0.0;
        rig.ups.testSched[1] = {1, 8, 30};
        rig.ticksUntil(monday(8, 32));
        EXPECT_EQ(rig.view.boxes.shown.size(), 1u);
        EXPECT_EQ(rig.boxesInsideTick, 0);
        EXPECT_EQ(rig.testsStarted(), 0);
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

// The question's box lets the ticks run; an answer is only ever one for a test, and only while
// all is still normal.
TEST(TestQuestion, AYesSendsTheTestOnlyWhileTheStateIsStillNormal) {
    // The answer, and whether the UPS went critical while the box waited for it.
    const std::pair<MbResult, bool> answers[] = {
        {MbResult::Yes, false}, {MbResult::Yes, true}, {MbResult::No, false}};
    for (int run = 0; run < 12; ++run) {
        const auto [answer, powerEvent] = answers[run / 4];
        const bool byButton = run % 2 == 0;
        const Link link = run % 4 < 2 ? Link::Serial : Link::Agent;
        SCOPED_TRACE(testing::Message() << (answer == MbResult::Yes ? "yes" : "no") << powerEvent
                                        << (byButton ? " button" : " schedule")
                                        << (link == Link::Serial ? " serial" : " agent"));
        TestRig rig{link};
        rig.ups.askStart = 1;
        rig.serial.testDropsMainsAfterMs = 300;
        rig.agent.testDropsMainsAfterMs = 300;
        rig.view.boxes.answers = {answer};
        rig.behindBox = [&rig, powerEvent = powerEvent] {
            if (!powerEvent) return;
            rig.goCritical();
            for (int i = 0; i < 3; ++i) rig.tick();
        };
        if (byButton) rig.click();
        rig.ups.testMode = byButton ? tmNever : tmWinStart;
        for (int i = 0; i < 12 && rig.view.timerRunning; ++i) rig.tick();
        const int started = answer == MbResult::Yes && !powerEvent ? 1 : 0;
        EXPECT_EQ(rig.view.boxes.texts(), std::vector<std::string>{std::string(kTestQuestion)});
        EXPECT_EQ(rig.boxesInsideTick, 0);
        EXPECT_EQ(rig.testsStarted(), started);
        const std::vector<std::string> notices = rig.view.noticeTexts();
        EXPECT_EQ(std::count(notices.begin(), notices.end(), kTestStarting), started);
        EXPECT_FALSE(rig.serial.breakOn());
        EXPECT_TRUE(rig.view.testButtonEnabled);
    }
}

TEST(TestButton, InTheAlarmRoleTheClickPulsesTheBreakFromTheEventLoopAndAsksNothing) {
    TestRig rig;
    rig.ups.askStart = 1;
    rig.goCritical();
    rig.click();
    EXPECT_TRUE(rig.serial.breakOn());
    EXPECT_EQ(rig.entries(), std::vector<std::string>{"disableTestButton"});
    rig.tasks.runAll();
    EXPECT_EQ(rig.entries(), (std::vector<std::string>{"disableTestButton", "enableTestButton"}));
    EXPECT_EQ(rig.serial.breakOffTimes.at(0) - rig.serial.breakOnTimes.at(0), 500.0);
    EXPECT_TRUE(rig.time.sleeps.empty());
    EXPECT_TRUE(rig.view.boxes.shown.empty());
}

TEST(TestButton, AFailedTestOpensItsBoxFromTheEventLoopOnceTheButtonIsBack) {
    struct Case {
        Link link;
        const char *text, *title;
        MbIcon icon;
    };
    for (Case c :
         {Case{Link::Serial, "La UPS no responde al pedido de Test.", "! ERROR !", MbIcon::Error},
          Case{Link::Agent, "Falla en test, controlar batería.", "Información", MbIcon::Warning}}) {
        SCOPED_TRACE(c.text);
        TestRig rig{c.link};
        rig.agent.testDropsMainsAfterMs = 300;
        rig.agent.testDropsBatteryAfterMs = 3000;
        rig.click();
        rig.tasks.runAll();
        EXPECT_EQ(rig.entries(),
                  (std::vector<std::string>{"disableTestButton",
                                            "notice Iniciando prueba de batería.", "repaintNotice",
                                            "enableTestButton", "messageBox, timer running"}));
        ASSERT_EQ(rig.view.boxes.shown.size(), 1u);
        const ShownBox& box = rig.view.boxes.shown[0];
        EXPECT_TRUE(box.text == c.text && box.title == c.title && box.icon == c.icon) << box.text;
        // The watch's last read is in the state, so the display follows what the test saw.
        EXPECT_EQ(rig.state.batteryLow, c.link == Link::Agent);
        EXPECT_EQ(rig.state.displayDirty, c.link == Link::Agent);
    }
}

TEST(TestButton, SupervisionGoesOnBehindTheOutcomeBoxUpToOnePowerOff) {
    TestRig rig;
    rig.ups.enhShutdwn = 1;
    rig.serial.testDropsMainsAfterMs = 200;
    rig.serial.testDropsBatteryAfterMs = 500;
    rig.behindBox = [&] {
        // The UPS is now critical; the box stays open until the monitor closes itself.
        rig.goCritical();
        while (rig.view.timerRunning) rig.tick();
        rig.tasks.runAll();
    };
    rig.click();
    rig.tasks.runAll();
    EXPECT_EQ(rig.view.boxes.texts(),
              std::vector<std::string>{"Falla en test, controlar batería."});
    EXPECT_EQ(rig.boxesInsideTick, 0);
    EXPECT_EQ(rig.log.tick, rig.ups.tmpLowB);  // all behind the box: the critical countdown
    EXPECT_EQ(rig.system.powerOffRequests, 1);
    EXPECT_TRUE(rig.view.windowClosed);
}

}  // namespace
}  // namespace ups::test
