// The primary's power-off with followers: FSD first, then the bounded wait for them to log out,
// then the request, each step in the history.
#include <gtest/gtest.h>

#include "supervisorRig.h"
#include "support/recordingHistory.h"

using namespace ups;
using namespace ups::test;

namespace {

// Followers that log out leaveMs after FSD; every look at their number is one poll (250 ms) later.
struct Followers : FollowerHandoff {
    Followers(VirtualTime& time, TickLog& log, int count, int leaveMs)
        : time(time), log(log), count(count), leaveMs(leaveMs) {}
    void setForcedShutdown() override {
        log.add("setForcedShutdown");
        toldAt = time.elapsedMs;
    }
    int followersLoggedIn() const override {
        if (toldAt < 0) return count;
        time.advanceMs(250);
        return time.elapsedMs - toldAt >= leaveMs ? 0 : count;
    }
    VirtualTime& time;
    TickLog& log;
    int count, leaveMs;
    double toldAt = -1;
};

struct HandoffCase {
    int count, leaveMs, waitSeconds;
    std::string told;
    std::string waitEnded;  // empty: no wait
};

class FollowerHandoffWait : public ::testing::TestWithParam<HandoffCase> {};

TEST_P(FollowerHandoffWait, TellsThemFirstAndPowersOffWhenTheyLeftOrTheWaitRanOut) {
    const HandoffCase c = GetParam();
    SupervisorRig rig(Link::Serial, 5, 30, 10);
    RecordingHistory history;
    rig.supervisor.setHistory(history);
    Followers followers(rig.time, rig.log, c.count, c.leaveMs);
    rig.supervisor.setFollowerHandoff(&followers, c.waitSeconds);
    rig.mains(false);
    rig.battery(false);
    rig.ticks(10);

    ASSERT_EQ(rig.system.powerOffRequests, 1);
    const auto& log = rig.log.entries;
    const auto told = std::find(log.begin(), log.end(), "10 setForcedShutdown");
    ASSERT_NE(told, log.end());
    const auto request = std::find(told, log.end(), "10 requestPowerOff");
    ASSERT_NE(request, log.end());
    EXPECT_EQ(*(request - 2), "10 notice Cerrando sistema") << "announced after the wait";
    std::vector<std::string> handoff;
    for (const std::string& e : history.entries) {
        if (e.starts_with("followers_")) handoff.push_back(e);
    }
    std::vector<std::string> expected{"followers_told_to_shut_down " + c.told};
    if (!c.waitEnded.empty()) expected.push_back("followers_wait_ended " + c.waitEnded);
    EXPECT_EQ(handoff, expected);
}

INSTANTIATE_TEST_SUITE_P(Handoff, FollowerHandoffWait,
                         ::testing::Values(HandoffCase{0, 0, 15, "0 conectados", ""},
                                           HandoffCase{2, 3000, 15, "2 conectados",
                                                       "todos desconectados en 3 s"},
                                           HandoffCase{1, 60'000, 5, "1 conectado",
                                                       "espera agotada tras 5 s, 1 conectado"},
                                           HandoffCase{3, 60'000, 0, "3 conectados",
                                                       "espera agotada tras 0 s, 3 conectados"}));

}  // namespace
