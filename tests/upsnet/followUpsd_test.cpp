// The follower link against Network UPS Tools' upsd with the dummy-ups driver on loopback, feeding
// a real supervisor that runs in virtual time: each step changes what upsd serves, waits (real
// time) until the link has seen it, then ticks. The sequences end in one power-off or none.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "supervisor/supervisorRig.h"
#include "support/upsdPeer.h"
#include "upsnet/followerLink.h"

using namespace ups;
using namespace ups::test;

namespace {

constexpr int kGraceSeconds = 15;
constexpr int kTmpLowB = 10;

NetworkClientSettings followerOf(const UpsdPeer& peer, std::string password) {
    return {true, "127.0.0.1", peer.port(), "sim", "follower", std::move(password), kGraceSeconds};
}

bool seen(FollowerLink& link, const FollowedStatus& want) {
    for (int i = 0; i < 200; ++i) {
        const FollowedStatus s = link.latestStatus();
        if (s.link == want.link && (s.link == FollowedLink::lost ||
                                    (s.lineOk == want.lineOk && s.batteryLow == want.batteryLow &&
                                     s.forcedShutdown == want.forcedShutdown))) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

#define START_PEER(peer)                                            \
    if (const std::string why = (peer).start("OL"); !why.empty()) { \
        if ((peer).skip()) GTEST_SKIP() << why;                     \
        FAIL() << why;                                              \
    }

// Logs the session's close where the power-off request is logged, so their order shows.
struct LoggedLink : FollowedStatusReader {
    LoggedLink(FollowerLink& link, TickLog& log) : link(link), log(log) {}
    FollowedStatus latestStatus() override { return link.latestStatus(); }
    void closeSession() override {
        log.add("closeSession");
        link.closeSession();
    }
    void reopenSession() override { link.reopenSession(); }
    FollowerLink& link;
    TickLog& log;
};

const FollowerTiming kQuick{200, 2000, 2000, 200, 1000, 1000};
const FollowedStatus kOnLine{FollowedLink::following, true, false, false, 0, {}};
const FollowedStatus kOnBattery{FollowedLink::following, false, false, false, 0, {}};
const FollowedStatus kCritical{FollowedLink::following, false, true, false, 0, {}};
const FollowedStatus kForced{FollowedLink::following, false, false, true, 0, {}};
const FollowedStatus kLost{FollowedLink::lost, true, false, false, 0, {}};

TEST(FollowUpsd, AWrongPasswordIsRefusedAndNeverWritten) {
    UpsdPeer peer;
    START_PEER(peer);
    FollowerLink link(followerOf(peer, "clave-equivocada"), kQuick);
    ASSERT_TRUE(seen(link, kLost));
    const std::string problem = link.latestStatus().problem;
    EXPECT_NE(problem.find("LOGIN: ERR ACCESS-DENIED"), std::string::npos) << problem;
    EXPECT_EQ(problem.find("clave-equivocada"), std::string::npos) << problem;
}

struct Step {
    std::string peer;  // the peer's command
    FollowedStatus then;
    int ticks;
};
struct Sequence {
    std::string name;
    std::vector<Step> steps;
    int powerOffTick;  // counted from the last step's first tick; 0: none
    std::string notice;
};

void PrintTo(const Sequence& s, std::ostream* os) {
    *os << s.name;
}

class FollowUpsd : public ::testing::TestWithParam<Sequence> {};

TEST_P(FollowUpsd, EndsInOnePowerOffOrNone) {
    const Sequence& sequence = GetParam();
    UpsdPeer peer;
    START_PEER(peer);
    SupervisorRig rig(Link::Traps, 5, 30, kTmpLowB);
    FollowerLink link(followerOf(peer, "followpw"), kQuick);
    LoggedLink logged(link, rig.log);
    rig.supervisor.setFollowed(&logged, kGraceSeconds);
    ASSERT_TRUE(seen(link, kOnLine));
    EXPECT_EQ(peer.numLogins(), 1) << "a follower, counted among those a primary waits for";
    EXPECT_EQ(link.identity(), (FollowedIdentity{"Dummy Manufacturer", "Dummy UPS", "SIM-0001"}));

    int stepStart = 0;
    for (const Step& step : sequence.steps) {
        ASSERT_EQ(peer.command(step.peer).substr(0, 2), "OK") << step.peer;
        ASSERT_TRUE(seen(link, step.then)) << step.peer;
        stepStart = rig.log.tick + 1;
        rig.ticks(step.ticks);
    }

    EXPECT_EQ(rig.system.powerOffRequests, sequence.powerOffTick ? 1 : 0);
    const auto& log = rig.log.entries;
    const auto request = std::find_if(log.begin(), log.end(), [](const std::string& e) {
        return e.ends_with(" requestPowerOff");
    });
    if (sequence.powerOffTick) {
        ASSERT_NE(request, log.end());
        const std::string tick = std::to_string(stepStart + sequence.powerOffTick - 1);
        EXPECT_EQ(*request, tick + " requestPowerOff");
        EXPECT_EQ(*(request - 1), tick + " closeSession") << "logged out before the request";
        if (sequence.steps.back().peer != "kill") {
            EXPECT_EQ(peer.numLogins(), 0);
        }
    }
    const auto texts = rig.view.noticeTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), sequence.notice), texts.end());
}

INSTANTIATE_TEST_SUITE_P(
    Upsd, FollowUpsd,
    ::testing::Values(Sequence{"OnBatteryThenLow",
                               {{"status OB", kOnBattery, 7}, {"status OB LB", kCritical, 12}},
                               kTmpLowB,
                               "Falla en tensión de línea"},
                      Sequence{"ForcedShutdown",
                               {{"status OB", kOnBattery, 3}, {"fsd", kForced, 3}},
                               1,
                               "El servidor de la UPS ordenó el apagado."},
                      // Lost on the step's first tick, critical from the tick the grace time ends.
                      Sequence{"ServerKilledOnBattery",
                               {{"status OB", kOnBattery, 3},
                                {"kill", kLost, kGraceSeconds + kTmpLowB + 3}},
                               kGraceSeconds + kTmpLowB,
                               "Se perdió la conexión con el servidor de la UPS."},
                      Sequence{"BackOnLineThenKilledAndRestarted",
                               {{"status OB", kOnBattery, 7},
                                {"status OL", kOnLine, 60},
                                {"kill", kLost, 60},
                                {"start OL", kOnLine, 3}},
                               0,
                               "Se restableció la conexión con el servidor de la UPS."}),
    [](const auto& info) { return info.param.name; });

}  // namespace
