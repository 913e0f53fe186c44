// The two orders to the UPS over the serial BREAK and over the command SET, and the battery
// test's watches, against a fake UPS on each link. The GUI thread's steps run as later tasks in
// virtual time; the agent's thread runs in place on a clock of its own, so whatever the GUI
// thread would wait for shows on its clock.
#include "battery/upsCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "links/serialLib.h"
#include "links/serialLink.h"
#include "support/fakeSerialUps.h"
#include "support/recordingPrompts.h"
#include "support/scriptedAgentCommands.h"
#include "support/virtualTasks.h"
#include "support/virtualTime.h"

namespace ups::test {
namespace {

enum class Via { Serial, Agent, Both, Neither };

struct CommandRig {
    CommandRig() {
        link.openSerialLink(0);
        link.assertRts();
        ups.calls.clear();
        prompts.onStartNotice = [this] { ordersAtNotice = ups.breakOnTimes.size() + agent.sets(); };
    }

    static UpsCommandContext context(int eventCode, Via via, bool commandsOk = true) {
        UpsCommandContext c;
        c.eventCode = static_cast<EventCode>(eventCode);
        c.serialLinkActive = via == Via::Serial || via == Via::Both;
        c.agentLinkActive = via == Via::Agent || via == Via::Both;
        c.agentCommandsOk = commandsOk;
        return c;
    }
    bool start(int eventCode, Via via, bool commandsOk = true) {
        return commands.start(
            context(eventCode, via, commandsOk),
            [this](const AgentStatusRead& r) { sunk.push_back(r); },
            [this](int outcome) {
                outcomes.push_back(outcome);
                finishedAtMs.push_back(time.elapsedMs);
            });
    }

    VirtualTime time;       // the GUI thread's
    VirtualTime agentTime;  // the agent thread's: its watch sleeps here
    FakeSerialUps ups{&time};
    SerialLib sio{ups};
    SerialLink link{sio};
    ScriptedAgentCommands agent{&agentTime};
    AgentCallsInPlace agentRuns{agent};
    RecordingPrompts prompts;
    VirtualTasks tasks{time};
    UpsCommands commands{prompts, tasks, agentTime, &link, &agentRuns};
    std::vector<int> outcomes;
    std::vector<double> finishedAtMs;
    std::vector<AgentStatusRead> sunk;
    std::optional<std::size_t> ordersAtNotice;  // BREAKs and SETs sent when the pop-up showed
};

constexpr std::optional<double> kNever;

TEST(UpsCommandAlarm, ABreakRaisedAtOnceIsReleasedHalfASecondLaterByALaterTask) {
    for (int eventCode : {1, 2, 3}) {
        for (Via via : {Via::Serial, Via::Both}) {
            SCOPED_TRACE(testing::Message() << eventCode << (via == Via::Both ? " both" : ""));
            CommandRig rig;
            ASSERT_TRUE(rig.start(eventCode, via));
            EXPECT_TRUE(rig.ups.breakOn());
            EXPECT_EQ(rig.tasks.delays, std::vector<int>{500});
            rig.tasks.runAll();
            EXPECT_EQ(rig.ups.breakOnTimes, std::vector<double>{0.0});
            EXPECT_EQ(rig.ups.breakOffTimes, std::vector<double>{500.0});
            EXPECT_EQ(rig.outcomes, std::vector<int>{trNone});
            EXPECT_EQ(rig.finishedAtMs, std::vector<double>{500.0});
            EXPECT_TRUE(rig.time.sleeps.empty());
            EXPECT_EQ(rig.agent.calls.size(), 0u);
            EXPECT_TRUE(rig.prompts.log().empty());
        }
    }
}

TEST(UpsCommandAlarm, OverTheAgentTheOrderIsOneSetWhoseAnswerDoesNotMatter) {
    for (bool answered : {true, false}) {
        SCOPED_TRACE(answered);
        CommandRig rig;
        rig.agent.setAnswered = answered;
        ASSERT_TRUE(rig.start(3, Via::Agent));
        rig.tasks.runAll();
        ASSERT_EQ(rig.agent.calls.size(), 1u);
        EXPECT_EQ(rig.agent.calls[0].what, "set");
        EXPECT_EQ(rig.outcomes, std::vector<int>{trNone});
        EXPECT_TRUE(rig.sunk.empty());
        EXPECT_TRUE(rig.prompts.log().empty());
        EXPECT_TRUE(rig.time.sleeps.empty() && rig.agentTime.sleeps.empty());
    }
}

TEST(UpsCommandStart, WithNoLinkThatCarriesTheOrderNothingIsSentAndOnlyATestShowsItsPopUp) {
    struct Case {
        const char* name;
        Via via;
        bool commandsOk, serialObject;
    };
    for (int eventCode : {0, 1}) {
        for (Case c : {Case{"agent refused the write community", Via::Agent, false, true},
                       Case{"no link up, community once accepted", Via::Neither, true, true},
                       Case{"serial mode without a serial link", Via::Serial, true, false}}) {
            SCOPED_TRACE(testing::Message() << c.name << ", event " << eventCode);
            CommandRig rig;
            if (!c.serialObject) rig.commands.setSerialLink(nullptr);
            ASSERT_TRUE(rig.start(eventCode, c.via, c.commandsOk));
            rig.tasks.runAll();
            EXPECT_EQ(rig.outcomes, std::vector<int>{trNone});
            EXPECT_EQ(rig.prompts.startNotices, eventCode == 0 ? 1 : 0);
            EXPECT_EQ(rig.agentRuns.calls, 0);
            EXPECT_TRUE(rig.ups.calls.empty());
        }
    }
}

TEST(UpsCommandSerialWatch, PollsEveryTenthOfASecondInLaterTasksUntilTheWatchEnds) {
    struct Case {
        const char* name;
        std::optional<double> mainsDropMs, batteryDropMs;
        int outcome;
        double endMs;
        long ctsReads;  // the mains are looked at only at the tenth poll
    };
    for (Case c : {Case{"battery holds ten seconds", 400, kNever, trPassed, 10'000, 1},
                   Case{"battery fails in the first second", 200, 300, trBatteryFail, 300, 0},
                   Case{"battery fails at the tenth poll", kNever, 1000, trBatteryFail, 1000, 0},
                   Case{"battery fails between polls", 200, 2450, trBatteryFail, 2500, 1},
                   Case{"mains still there at one second", kNever, kNever, trNoResponse, 1000, 1},
                   Case{"mains leave too late", 1500, kNever, trNoResponse, 1000, 1}}) {
        SCOPED_TRACE(c.name);
        CommandRig rig;
        rig.ups.testDropsMainsAfterMs = c.mainsDropMs;
        rig.ups.testDropsBatteryAfterMs = c.batteryDropMs;
        ASSERT_TRUE(rig.start(0, Via::Serial));
        EXPECT_TRUE(rig.ups.breakOn());
        EXPECT_EQ(rig.ordersAtNotice, 0u);
        EXPECT_EQ(rig.tasks.delays, std::vector<int>{100});
        rig.tasks.runAll();
        EXPECT_EQ(rig.outcomes, std::vector<int>{c.outcome});
        EXPECT_EQ(rig.finishedAtMs, std::vector<double>{c.endMs});
        EXPECT_EQ(rig.tasks.delays, std::vector<int>(static_cast<int>(c.endMs / 100), 100));
        const std::vector<std::string> calls = rig.ups.callNames();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "read cts 0"), c.ctsReads);
        EXPECT_EQ(rig.ups.breakOnTimes, std::vector<double>{0.0});
        EXPECT_EQ(rig.ups.breakOffTimes, std::vector<double>{c.endMs});
        EXPECT_TRUE(rig.time.sleeps.empty());
    }
}

TEST(UpsCommandSerialWatch, AnOwnerGoneMidWatchLeavesItsTasksNothingToDo) {
    CommandRig rig;
    auto commands = std::make_optional<UpsCommands>(rig.prompts, rig.tasks, rig.agentTime,
                                                    &rig.link, &rig.agentRuns);
    ASSERT_TRUE(commands->start(CommandRig::context(0, Via::Serial), {},
                                [&](int outcome) { rig.outcomes.push_back(outcome); }));
    rig.tasks.runUntil(500);
    commands.reset();
    const std::size_t callsWhenGone = rig.ups.calls.size();
    rig.tasks.runAll();
    EXPECT_EQ(rig.ups.calls.size(), callsWhenGone);
    EXPECT_TRUE(rig.outcomes.empty());
}

// ---- the agent watch ----

TEST(AgentWatch, EndsOnTheFirstReadThatDecidesAndKeepsThatReadAsTheLast) {
    const AgentStatusRead none{}, mains{true, true, true, false}, held{true, false, true, false},
        low{true, false, true, true}, lineOnly{true, false, false, false};
    struct Case {
        const char* name;
        std::optional<double> mainsDropMs, batteryDropMs;
        std::set<int> silent, lineOnly;
        int outcome, reads, sleeps;
        AgentStatusRead last;
        bool setAnswered = true;
    };
    for (const Case& c : std::vector<Case>{
             {"SET unanswered", 400, kNever, {}, {}, trBatteryFail, 0, 0, none, false},
             {"battery holds ten seconds", 400, kNever, {}, {}, trPassed, 21, 20, held},
             {"mains there at the check", kNever, kNever, {}, {}, trNoResponse, 3, 2, mains},
             {"battery low at 0.5 s", 200, 500, {}, {}, trBatteryFail, 1, 1, low},
             {"battery low at 1 s", 200, 1000, {}, {}, trBatteryFail, 2, 2, low},
             {"battery low at 7 s", 200, 7000, {}, {}, trBatteryFail, 15, 14, low},
             {"battery low at 10 s", 200, 10'000, {}, {}, trBatteryFail, 21, 20, low},
             {"silent at the check, mains there", kNever, kNever, {3}, {}, trNoAnswer, 3, 2, none},
             {"silent at the first read", 200, kNever, {1}, {}, trNoAnswer, 1, 1, none},
             {"silent after the check", 200, kNever, {4}, {}, trNoAnswer, 4, 3, none},
             {"silent at the last read", 200, kNever, {21}, {}, trNoAnswer, 21, 20, none},
             {"battery GET unanswered", 200, kNever, {}, {4}, trNoAnswer, 4, 3, lineOnly}}) {
        SCOPED_TRACE(c.name);
        VirtualTime t;
        ScriptedAgentCommands agent{&t};
        agent.setAnswered = c.setAnswered;
        agent.testDropsMainsAfterMs = c.mainsDropMs;
        agent.testDropsBatteryAfterMs = c.batteryDropMs;
        agent.silentReads = c.silent;
        agent.lineOnlyReads = c.lineOnly;
        AgentStatusRead last;
        EXPECT_EQ(watchAgentTest(agent, t, last), c.outcome);
        EXPECT_EQ(agent.sets(), 1);
        EXPECT_EQ(agent.statusReads(), c.reads);
        EXPECT_EQ(t.sleeps, std::vector<int>(c.sleeps, 500));
        auto fields = [](const AgentStatusRead& r) {
            return std::vector<bool>{r.lineAnswered, r.lineOk, r.batteryAnswered, r.batteryLow};
        };
        EXPECT_EQ(fields(last), fields(c.last));
        if (c.outcome != trPassed) continue;
        // One read after each sleep, and the one-second check between the second and third.
        std::vector<double> expected{500, 1000, 1000};
        for (int ms = 1500; ms <= 10'000; ms += 500) expected.push_back(ms);
        EXPECT_EQ(agent.statusReadTimes(), expected);
    }
}

TEST(AgentWatch, OnlyTheLastReadReachesTheStateWithTheOutcomeTakenByALaterStep) {
    struct Case {
        const char* name;
        bool setAnswered;
        std::set<int> lineOnly;
        int outcome;
        std::size_t sunk;
    };
    for (Case c : {Case{"battery low at 2 s", true, {}, trBatteryFail, 1},
                   Case{"battery GET unanswered: the line is still news", true, {4}, trNoAnswer, 1},
                   Case{"SET unanswered: nothing was read", false, {}, trBatteryFail, 0}}) {
        SCOPED_TRACE(c.name);
        CommandRig rig;
        rig.agent.setAnswered = c.setAnswered;
        rig.agent.testDropsMainsAfterMs = 700;
        rig.agent.testDropsBatteryAfterMs = 2000;
        rig.agent.lineOnlyReads = c.lineOnly;
        ASSERT_TRUE(rig.start(0, Via::Agent));
        EXPECT_EQ(rig.ordersAtNotice, 0u);
        EXPECT_TRUE(rig.outcomes.empty() && rig.sunk.empty());
        rig.tasks.runAll();
        EXPECT_EQ(rig.outcomes, std::vector<int>{c.outcome});
        EXPECT_EQ(rig.finishedAtMs, std::vector<double>{kAgentAnswerCheckMs});
        ASSERT_EQ(rig.sunk.size(), c.sunk);
        if (c.sunk == 0) continue;
        EXPECT_FALSE(rig.sunk[0].lineOk);
        EXPECT_EQ(rig.sunk[0].batteryLow, c.outcome == trBatteryFail);
    }
}

TEST(AgentWatch, ASlowAgentHoldsNothingBackAndItsOutcomeComesAtTheNextCheck) {
    CommandRig rig;
    rig.agentRuns.hold = true;
    rig.agent.testDropsMainsAfterMs = 400;
    ASSERT_TRUE(rig.start(0, Via::Agent));
    EXPECT_TRUE(rig.agent.calls.empty());
    rig.tasks.runUntil(5000);
    EXPECT_TRUE(rig.outcomes.empty());
    // Checks at 0.1 s to 5 s found nothing; the one at 5.1 s waits.
    EXPECT_EQ(rig.tasks.delays, std::vector<int>(51, kAgentAnswerCheckMs));
    rig.agentRuns.release();
    EXPECT_EQ(rig.agentTime.sleeps, std::vector<int>(20, 500));
    rig.tasks.runAll();
    EXPECT_EQ(rig.outcomes, std::vector<int>{trPassed});
    EXPECT_EQ(rig.finishedAtMs, std::vector<double>{5000 + kAgentAnswerCheckMs});
    EXPECT_TRUE(rig.time.sleeps.empty());
}

TEST(UpsCommandStart, ASecondOrderWhileOneRunsIsRefusedAndTheFirstFinishesOnce) {
    for (auto [eventCode, via] :
         {std::pair{0, Via::Serial}, std::pair{1, Via::Serial}, std::pair{0, Via::Agent}}) {
        SCOPED_TRACE(testing::Message() << eventCode << (via == Via::Agent ? " agent" : " serial"));
        CommandRig rig;
        rig.agentRuns.hold = true;
        ASSERT_TRUE(rig.start(eventCode, via));
        rig.tasks.runUntil(300);
        const std::size_t serialCalls = rig.ups.calls.size();
        const int notices = rig.prompts.startNotices;
        for (int second : {0, 3}) EXPECT_FALSE(rig.start(second, Via::Both));
        EXPECT_EQ(rig.ups.calls.size(), serialCalls);
        EXPECT_EQ(rig.agentRuns.calls, via == Via::Agent ? 1 : 0);
        EXPECT_EQ(rig.prompts.startNotices, notices);
        rig.agentRuns.release();
        rig.tasks.runAll();
        EXPECT_EQ(rig.outcomes.size(), 1u);
        EXPECT_FALSE(rig.ups.breakOn());
        EXPECT_TRUE(rig.start(1, Via::Serial));
    }
}

}  // namespace
}  // namespace ups::test
