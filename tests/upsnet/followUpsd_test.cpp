// The follower link against Network UPS Tools' upsd with the dummy-ups driver on loopback, feeding
// a real supervisor: the server's status changes reach the tick, and the sequences end in one
// power-off or none. The supervisor runs in virtual time; the link and upsd in real time, and each
// step waits until the link has seen what upsd now serves before the ticks go on.
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
    NetworkClientSettings s;
    s.follow = true;
    s.host = "127.0.0.1";
    s.port = peer.port();
    s.upsName = UpsdPeer::kUps;
    s.user = UpsdPeer::kFollower;
    s.password = std::move(password);
    return s;
}

FollowerTiming quick() {
    return {200, 2000, 2000, 200, 1000, 1000};
}

bool waitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 200 && !done(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

// Logs the session's close where the power-off request is logged, so their order shows.
class LoggedLink : public FollowedStatusReader {
public:
    LoggedLink(FollowerLink& link, TickLog& log) : link_(link), log_(log) {}
    FollowedStatus latestStatus() override { return link_.latestStatus(); }
    void closeSession() override {
        log_.add("closeSession");
        link_.closeSession();
    }
    void reopenSession() override { link_.reopenSession(); }

private:
    FollowerLink& link_;
    TickLog& log_;
};

#define START_PEER(peer, status)                                      \
    if (const std::string why = (peer).start(status); !why.empty()) { \
        if ((peer).skip()) GTEST_SKIP() << why;                       \
        FAIL() << why;                                                \
    }

TEST(FollowUpsd, LogsInAsAFollowerReadsTheIdentityAndNeverWritesThePassword) {
    UpsdPeer peer;
    START_PEER(peer, "OL");
    FollowerLink link(followerOf(peer, UpsdPeer::kFollowerPassword), quick());
    ASSERT_TRUE(waitUntil([&] { return link.latestStatus().link == FollowedLink::following; }));
    EXPECT_EQ(peer.numLogins(), 1) << "counted among those a primary waits for";
    EXPECT_EQ(link.identity(), (FollowedIdentity{"Dummy Manufacturer", "Dummy UPS", "SIM-0001"}));
    link.closeSession();
    EXPECT_EQ(peer.numLogins(), 0) << "logged out when closeSession returns";

    FollowerLink refused(followerOf(peer, "clave-equivocada"), quick());
    ASSERT_TRUE(waitUntil([&] { return refused.latestStatus().link == FollowedLink::lost; }));
    const std::string problem = refused.latestStatus().problem;
    EXPECT_NE(problem.find("ACCESS-DENIED"), std::string::npos) << problem;
    EXPECT_EQ(problem.find("clave-equivocada"), std::string::npos) << problem;
}

struct Step {
    std::string peer;  // the peer's command
    FollowedStatus seen;
    int ticks;
};
struct Sequence {
    std::string name;
    std::vector<Step> steps;
    int powerOffTick;  // counted from the last step's start; 0 = none
    std::string notice;
};
void PrintTo(const Sequence& s, std::ostream* os) {
    *os << s.name;
}

constexpr auto kFollowing = FollowedLink::following;
const FollowedStatus kOnLine{kFollowing, true, false, false, {}};
const FollowedStatus kOnBattery{kFollowing, false, false, false, {}};
const FollowedStatus kCritical{kFollowing, false, true, false, {}};
const FollowedStatus kForced{kFollowing, false, false, true, {}};
const FollowedStatus kLost{FollowedLink::lost, true, false, false, {}};

class FollowUpsdSequence : public ::testing::TestWithParam<Sequence> {};

TEST_P(FollowUpsdSequence, EndsInOnePowerOffOrNone) {
    const Sequence& sequence = GetParam();
    UpsdPeer peer;
    START_PEER(peer, "OL");
    SupervisorRig rig(Link::Traps, 5, 30, kTmpLowB);
    FollowerLink link(followerOf(peer, UpsdPeer::kFollowerPassword), quick());
    LoggedLink logged(link, rig.log);
    rig.supervisor.setFollowed(&logged, kGraceSeconds);

    int stepStart = 0;
    for (const Step& step : sequence.steps) {
        ASSERT_EQ(peer.command(step.peer), step.peer == "fsd" ? "OK FSD-SET" : "OK");
        ASSERT_TRUE(waitUntil([&] {
            const FollowedStatus s = link.latestStatus();
            return s.link == step.seen.link &&
                   (s.link == FollowedLink::lost ||
                    (s.lineOk == step.seen.lineOk && s.batteryLow == step.seen.batteryLow &&
                     s.forcedShutdown == step.seen.forcedShutdown));
        })) << step.peer;
        stepStart = rig.log.tick;
        rig.ticks(step.ticks);
    }

    const auto& entries = rig.log.entries;
    const auto request = std::find_if(entries.begin(), entries.end(), [](const std::string& e) {
        return e.ends_with(" requestPowerOff");
    });
    EXPECT_EQ(rig.system.powerOffRequests, sequence.powerOffTick ? 1 : 0);
    if (sequence.powerOffTick) {
        ASSERT_NE(request, entries.end());
        EXPECT_EQ(*request, std::to_string(stepStart + sequence.powerOffTick) + " requestPowerOff");
        EXPECT_EQ(*(request - 1),
                  std::to_string(stepStart + sequence.powerOffTick) + " closeSession")
            << "the session ends before the request";
        EXPECT_EQ(peer.numLogins(), sequence.steps.back().peer == "kill" ? -1 : 0);
    }
    const auto texts = rig.view.noticeTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), sequence.notice), texts.end())
        << sequence.notice;
}

INSTANTIATE_TEST_SUITE_P(
    Upsd, FollowUpsdSequence,
    ::testing::Values(
        Sequence{"OnBatteryThenLow",
                 {{"status OB", kOnBattery, 7}, {"status OB LB", kCritical, 12}},
                 kTmpLowB,
                 "Falla en tensión de línea"},
        Sequence{"ForcedShutdown",
                 {{"status OB", kOnBattery, 3}, {"fsd", kForced, 3}},
                 1,
                 "El servidor de la UPS ordenó el apagado."},
        // Lost on the first tick of the step, critical from the tick the grace time ends.
        Sequence{"ServerKilledOnBattery",
                 {{"status OB", kOnBattery, 3}, {"kill", kLost, kGraceSeconds + kTmpLowB + 3}},
                 kGraceSeconds + kTmpLowB,
                 "Se perdió la conexión con el servidor de la UPS."},
        Sequence{"BackOnLineThenKilled",
                 {{"status OB", kOnBattery, 7}, {"status OL", kOnLine, 60}, {"kill", kLost, 60}},
                 0,
                 "Se perdió la conexión con el servidor de la UPS."}),
    [](const auto& info) { return info.param.name; });

}  // namespace
