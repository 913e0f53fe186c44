// The two orders to the UPS over the serial BREAK and over the command SET, and the battery
// test's watches, in virtual time against a fake UPS on each link.
#include "battery/upsCommand.h"

#include <gtest/gtest.h>

#include <vector>

#include "links/serialLib.h"
#include "links/serialLink.h"
#include "support/fakeSerialUps.h"
#include "support/recordingPrompts.h"
#include "support/scriptedAgentCommands.h"
#include "support/virtualTime.h"

namespace ups::test {
namespace {

enum class Via { Serial, Agent, Both, Neither };

class UpsCommandTest : public ::testing::Test {
protected:
    UpsCommandTest() {
        link.openSerialLink(0);
        link.assertRts();
        ups.calls.clear();
    }

    UpsCommandContext context(int eventCode, Via via, bool askStart = false) const {
        UpsCommandContext c;
        c.eventCode = eventCode;
        c.askStart = askStart;
        c.serialLinkActive = via == Via::Serial || via == Via::Both;
        c.agentLinkActive = via == Via::Agent || via == Via::Both;
        c.agentCommandsOk = c.agentLinkActive;
        return c;
    }

    int run(const UpsCommandContext& c) {
        return commands.runUpsCommand(c, [this](const AgentStatusRead& r) { sunk.push_back(r); });
    }

    std::vector<std::string> breakCalls() const {
        std::vector<std::string> out;
        for (const auto& call : ups.calls)
            if (call.what.rfind("break", 0) == 0) out.push_back(call.what);
        return out;
    }

    VirtualTime time;
    FakeSerialUps ups{&time};
    SerialLib sio{ups};
    SerialLink link{sio, time};
    ScriptedAgentCommands agent{&time};
    RecordingPrompts prompts;
    UpsCommands commands{prompts, time, &link, &agent};
    std::vector<AgentStatusRead> sunk;
};

// ---- the alarm-silence role ----

TEST_F(UpsCommandTest, AnyPowerEventSilencesTheAlarmWithA500MsBreakAndAsksNothing) {
    for (int eventCode : {1, 2, 3}) {
        SCOPED_TRACE(eventCode);
        ups.breakOnTimes.clear();
        ups.breakOffTimes.clear();
        const double start = time.elapsedMs;
        prompts.answerYes = false;

        EXPECT_EQ(run(context(eventCode, Via::Serial, /*askStart=*/true)), trNone);

        ASSERT_EQ(ups.breakOnTimes.size(), 1u);
        ASSERT_EQ(ups.breakOffTimes.size(), 1u);
        EXPECT_EQ(ups.breakOffTimes[0] - ups.breakOnTimes[0], 500.0);
        EXPECT_EQ(time.elapsedMs - start, 500.0);
        EXPECT_FALSE(ups.breakOn());
    }
    EXPECT_EQ(prompts.questions, 0);
    EXPECT_EQ(prompts.startNotices, 0);
    EXPECT_EQ(agent.sets(), 0);
}

TEST_F(UpsCommandTest, OverTheAgentTheAlarmOrderIsOneSetWhoseAnswerDoesNotMatter) {
    for (bool answered : {true, false}) {
        SCOPED_TRACE(answered);
        agent.calls.clear();
        agent.setAnswered = answered;

        EXPECT_EQ(run(context(3, Via::Agent, /*askStart=*/true)), trNone);

        ASSERT_EQ(agent.calls.size(), 1u);
        EXPECT_EQ(agent.calls[0].what, "set");
    }
    EXPECT_TRUE(time.sleeps.empty());
    EXPECT_EQ(prompts.questions + prompts.startNotices, 0);
}

TEST_F(UpsCommandTest, TheAlarmOrderGoesOverTheSerialLinkWhenBothAreUp) {
    EXPECT_EQ(run(context(1, Via::Both)), trNone);
    EXPECT_EQ(breakCalls(), (std::vector<std::string>{"break 0 on", "break 0 off"}));
    EXPECT_EQ(agent.sets(), 0);
}

TEST_F(UpsCommandTest, AnAgentThatRefusedTheWriteCommunityIsSentNoAlarmOrder) {
    UpsCommandContext c = context(1, Via::Agent);
    c.agentCommandsOk = false;
    EXPECT_EQ(run(c), trNone);

    c = context(1, Via::Neither);
    c.agentCommandsOk = true;  // the community was accepted once, but the agent link is down
    EXPECT_EQ(run(c), trNone);

    EXPECT_EQ(agent.calls.size(), 0u);
    EXPECT_TRUE(breakCalls().empty());
}

// ---- the question and the start pop-up ----

TEST_F(UpsCommandTest, DecliningTheQuestionSendsNothingAndShowsNoPopUp) {
    prompts.answerYes = false;
    for (Via via : {Via::Serial, Via::Agent}) {
        EXPECT_EQ(run(context(0, via, /*askStart=*/true)), trNone);
    }
    EXPECT_EQ(prompts.questions, 2);
    EXPECT_EQ(prompts.startNotices, 0);
    EXPECT_TRUE(breakCalls().empty());
    EXPECT_EQ(agent.calls.size(), 0u);
    EXPECT_TRUE(time.sleeps.empty());
}

TEST_F(UpsCommandTest, WithoutAskStartTheTestStartsWithoutAQuestion) {
    ups.testDropsMainsAfterMs = 300;
    EXPECT_EQ(run(context(0, Via::Serial, /*askStart=*/false)), trPassed);
    EXPECT_EQ(prompts.questions, 0);
    EXPECT_EQ(prompts.log(), (std::vector<std::string>{"start notice"}));
}

TEST_F(UpsCommandTest, TheStartPopUpIsShownAfterTheYesAndBeforeTheOrder) {
    std::size_t breaksAtNotice = 99;
    int setsAtNotice = 99;
    prompts.onStartNotice = [&] {
        breaksAtNotice = ups.breakOnTimes.size();
        setsAtNotice = agent.sets();
    };
    ups.testDropsMainsAfterMs = 300;
    agent.testDropsMainsAfterMs = 300;

    EXPECT_EQ(run(context(0, Via::Serial, true)), trPassed);
    EXPECT_EQ(breaksAtNotice, 0u);
    EXPECT_EQ(run(context(0, Via::Agent, true)), trPassed);
    EXPECT_EQ(setsAtNotice, 0);
    EXPECT_EQ(prompts.log(),
              (std::vector<std::string>{"question", "start notice", "question", "start notice"}));
}

TEST_F(UpsCommandTest, WithNoUsableLinkOnlyTheStartPopUpIsShown) {
    UpsCommandContext agentWithoutCommands = context(0, Via::Agent);
    agentWithoutCommands.agentCommandsOk = false;
    UpsCommands withoutSerial{prompts, time, nullptr, &agent};

    EXPECT_EQ(run(context(0, Via::Neither)), trNone);
    EXPECT_EQ(run(agentWithoutCommands), trNone);
    EXPECT_EQ(withoutSerial.runUpsCommand(context(0, Via::Serial), {}), trNone);

    EXPECT_EQ(prompts.startNotices, 3);
    EXPECT_EQ(agent.calls.size(), 0u);
    EXPECT_TRUE(ups.calls.empty());
    EXPECT_TRUE(time.sleeps.empty());
}

// ---- the serial watch ----

TEST_F(UpsCommandTest, SerialBatteryFailingInTheFirstSecondGives2BeforeTheResponseCheck) {
    ups.testDropsMainsAfterMs = 200;
    ups.testDropsBatteryAfterMs = 300;

    EXPECT_EQ(run(context(0, Via::Serial)), trBatteryFail);

    EXPECT_EQ(time.sleeps, std::vector<int>(3, 100));
    for (const auto& call : ups.calls) EXPECT_NE(call.what, "read cts 0");
    ASSERT_EQ(ups.breakOffTimes.size(), 1u);
    EXPECT_EQ(ups.breakOffTimes[0], 300.0);
}

TEST_F(UpsCommandTest, SerialBatteryFailingAtTheTenthPollGives2WithoutReadingTheMains) {
    // The UPS never leaves the mains, but DCD drops right at the tenth poll: the battery wins.
    ups.testDropsBatteryAfterMs = 1000;
    EXPECT_EQ(run(context(0, Via::Serial)), trBatteryFail);
    EXPECT_EQ(time.sleeps.size(), 10u);
    for (const auto& call : ups.calls) EXPECT_NE(call.what, "read cts 0");
}

TEST_F(UpsCommandTest, SerialMainsStillPresentAtOneSecondReleasesTheBreakAndGives3) {
    EXPECT_EQ(run(context(0, Via::Serial)), trNoResponse);

    EXPECT_EQ(time.sleeps, std::vector<int>(10, 100));
    EXPECT_EQ(breakCalls(), (std::vector<std::string>{"break 0 on", "break 0 off"}));
    EXPECT_EQ(ups.breakOffTimes, std::vector<double>{1000.0});
    EXPECT_FALSE(ups.breakOn());
}

TEST_F(UpsCommandTest, SerialBatteryHoldingForAllHundredPollsGives1AndReleasesTheBreak) {
    ups.testDropsMainsAfterMs = 400;

    EXPECT_EQ(run(context(0, Via::Serial)), trPassed);

    EXPECT_EQ(time.sleeps, std::vector<int>(100, 100));
    EXPECT_EQ(ups.breakOnTimes, std::vector<double>{0.0});
    EXPECT_EQ(ups.breakOffTimes, std::vector<double>{10000.0});
    EXPECT_EQ(agent.calls.size(), 0u);
}

// ---- the SNMP watch ----

TEST_F(UpsCommandTest, UnansweredTestOrderGives2WithoutAnyStatusRead) {
    agent.setAnswered = false;
    EXPECT_EQ(run(context(0, Via::Agent)), trBatteryFail);
    EXPECT_EQ(agent.sets(), 1);
    EXPECT_EQ(agent.statusReads(), 0);
    EXPECT_TRUE(time.sleeps.empty());
}

TEST_F(UpsCommandTest, AgentBatteryHoldingForTenSecondsGives1) {
    agent.testDropsMainsAfterMs = 400;

    EXPECT_EQ(run(context(0, Via::Agent)), trPassed);

    EXPECT_EQ(time.sleeps, std::vector<int>(20, 500));
    // One read after each sleep, and the one-second check between the second and third sleep.
    std::vector<double> expected{500, 1000, 1000};
    for (int t = 1500; t <= 10000; t += 500) expected.push_back(t);
    EXPECT_EQ(agent.statusReadTimes(), expected);
    EXPECT_EQ(sunk.size(), 21u);
    EXPECT_TRUE(ups.calls.empty());
}

TEST_F(UpsCommandTest, AgentStillReportingMainsAtOneSecondGives3) {
    EXPECT_EQ(run(context(0, Via::Agent)), trNoResponse);
    EXPECT_EQ(agent.statusReadTimes(), (std::vector<double>{500, 1000, 1000}));
    EXPECT_EQ(time.sleeps.size(), 2u);
}

TEST_F(UpsCommandTest, AgentReportingBatteryLowEndsTheWatchWith2) {
    struct Case {
        double batteryFailsAtMs;
        std::size_t sleeps;
    };
    for (Case c : {Case{500, 1}, Case{1000, 2}, Case{7000, 14}, Case{10000, 20}}) {
        SCOPED_TRACE(c.batteryFailsAtMs);
        VirtualTime t;
        ScriptedAgentCommands a{&t};
        a.testDropsMainsAfterMs = 200;
        a.testDropsBatteryAfterMs = c.batteryFailsAtMs;
        UpsCommands cmds{prompts, t, nullptr, &a};
        EXPECT_EQ(cmds.runUpsCommand(context(0, Via::Agent), {}), trBatteryFail);
        EXPECT_EQ(t.sleeps.size(), c.sleeps);
    }
}

TEST_F(UpsCommandTest, AgentSilentAtTheOneSecondCheckGives4EvenWithTheMainsStillThere) {
    agent.silentReads = {3};  // the check between the second and the third sleep
    EXPECT_EQ(run(context(0, Via::Agent)), trNoAnswer);
    EXPECT_EQ(agent.statusReads(), 3);
    EXPECT_EQ(time.sleeps.size(), 2u);
}

TEST_F(UpsCommandTest, AgentSilentAtAnyPollGives4) {
    for (int silent : {1, 2, 4, 21}) {
        SCOPED_TRACE(silent);
        VirtualTime t;
        ScriptedAgentCommands a{&t};
        a.testDropsMainsAfterMs = 200;
        a.silentReads = {silent};
        UpsCommands cmds{prompts, t, nullptr, &a};
        EXPECT_EQ(cmds.runUpsCommand(context(0, Via::Agent), {}), trNoAnswer);
        EXPECT_EQ(a.statusReads(), silent);
    }
}

TEST_F(UpsCommandTest, ABatteryReadLeftUnansweredCountsAsSilenceButTheLineStateIsKept) {
    agent.testDropsMainsAfterMs = 200;
    agent.lineOnlyReads = {4};
    EXPECT_EQ(run(context(0, Via::Agent)), trNoAnswer);
    ASSERT_EQ(sunk.size(), 4u);
    EXPECT_TRUE(sunk.back().lineAnswered);
    EXPECT_FALSE(sunk.back().lineOk);
    EXPECT_FALSE(sunk.back().batteryAnswered);
}

TEST_F(UpsCommandTest, EveryStatusReadOfTheWatchReachesTheState) {
    agent.testDropsMainsAfterMs = 700;
    agent.testDropsBatteryAfterMs = 2000;
    EXPECT_EQ(run(context(0, Via::Agent)), trBatteryFail);
    ASSERT_EQ(sunk.size(), 5u);  // 500, 1000, the check, 1500, 2000
    EXPECT_TRUE(sunk[0].lineOk);
    EXPECT_FALSE(sunk[1].lineOk);
    EXPECT_FALSE(sunk[3].batteryLow);
    EXPECT_TRUE(sunk[4].batteryLow);
}

}  // namespace
}  // namespace ups::test
