// The tick's time is local time: the system clock converts through the time zone, and the weekly
// schedule reads its weekday and time of day from that conversion. The zone is pinned here to
// fixed offsets, and the expected local time is worked out from UTC by hand.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "base/oleDate.h"
#include "battery/testScheduler.h"
#include "platform/posix/systemClock.h"

namespace ups {
namespace {

class LocalTimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = ::getenv("TZ")) savedTz_ = tz;
    }
    void TearDown() override {
        if (savedTz_) {
            ::setenv("TZ", savedTz_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

    static void pinZone(const char* tz) {
        ::setenv("TZ", tz, 1);
        ::tzset();
    }

    // The clock's reading in the pinned zone together with the local wall time that UTC shifted
    // by the zone's offset gives for the same second. Retries when a second boundary falls between.
    struct Reading {
        LocalDateTime clock;
        std::tm expected;
    };
    static Reading readAt(long offsetSeconds) {
        for (;;) {
            const time_t before = ::time(nullptr);
            const double ole = SystemClock().now();
            const time_t after = ::time(nullptr);
            if (before != after) continue;
            time_t shifted = before + offsetSeconds;
            std::tm expected{};
            ::gmtime_r(&shifted, &expected);
            return {localFromOle(ole), expected};
        }
    }

private:
    std::optional<std::string> savedTz_;
};

TEST_F(LocalTimeTest, TheClockGivesTheWallTimeOfThePinnedZone) {
    struct Zone {
        const char* tz;
        long offsetSeconds;
    };
    for (Zone z : {Zone{"UTC0", 0}, Zone{"<-03>3", -3 * 3600}, Zone{"<+14>-14", 14 * 3600},
                   Zone{"<-12>12", -12 * 3600}, Zone{"<+0530>-5:30", 5 * 3600 + 1800}}) {
        SCOPED_TRACE(z.tz);
        pinZone(z.tz);
        const Reading r = readAt(z.offsetSeconds);
        EXPECT_EQ(r.clock.year, r.expected.tm_year + 1900);
        EXPECT_EQ(r.clock.month, r.expected.tm_mon + 1);
        EXPECT_EQ(r.clock.day, r.expected.tm_mday);
        EXPECT_EQ(r.clock.hour, r.expected.tm_hour);
        EXPECT_EQ(r.clock.minute, r.expected.tm_min);
        EXPECT_EQ(r.clock.second, r.expected.tm_sec);
        // 1 = Sunday, as the schedule's entries are ordered.
        EXPECT_EQ(r.clock.weekday, r.expected.tm_wday + 1);
    }
}

TEST_F(LocalTimeTest, TheWeeklySlotFollowsTheLocalWallClockNotUtc) {
    // A slot at the current wall-clock minute of UTC-3 is due there, and not three hours east.
    for (;;) {
        pinZone("<-03>3");
        const Reading r = readAt(-3 * 3600);
        if (r.expected.tm_sec >= 55) {  // leave the minute room for the calls below
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            continue;
        }
        CfgUps cfg;
        std::memset(&cfg, 0, sizeof cfg);
        cfg.testMode = tmSchedule;
        cfg.testSched[r.expected.tm_wday] = {1, static_cast<std::uint8_t>(r.expected.tm_hour),
                                             static_cast<std::uint8_t>(r.expected.tm_min)};
        bool pending = false;
        int saves = 0;
        pinZone("UTC0");
        EXPECT_FALSE(isTestDue(cfg, pending, SystemClock().now(), [&] { ++saves; }));
        pinZone("<-03>3");
        EXPECT_TRUE(isTestDue(cfg, pending, SystemClock().now(), [&] { ++saves; }));
        EXPECT_EQ(saves, 1);
        return;
    }
}

}  // namespace
}  // namespace ups
