// The tick's time is local time: the system clock converts through the time zone, and the weekly
// schedule reads its weekday and time of day from that conversion. The zone is pinned here to
// fixed offsets, and the expected local time is worked out from UTC by hand.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

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

TEST_F(LocalTimeTest, OneClockFollowsSummerTimeAndJumpsOfTheClock) {
    // One clock read in sequence, as the monitor reads it: the offset it keeps for a minute must
    // never leak into another. Each reading is checked against the C library's own conversion.
    auto check = [](const SystemClock& clock, std::int64_t ms) {
        const time_t secs = static_cast<time_t>(ms / 1000);
        std::tm local{};
        ASSERT_NE(::localtime_r(&secs, &local), nullptr);
        const double expected =
            oleFromLocal(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                         local.tm_min, local.tm_sec, static_cast<int>(ms % 1000));
        EXPECT_EQ(clock.at(std::chrono::system_clock::time_point(std::chrono::milliseconds(ms))),
                  expected)
            << "at " << ms << " ms";
    };
    struct Zone {
        const char* tz;
        std::vector<std::int64_t> changesUtc;  // the instants of 2026 when its offset changes
    };
    // Central Europe changes at 01:00 UTC; Lord Howe Island moves half an hour at 15:30 UTC.
    for (const Zone& zone : {Zone{"CET-1CEST,M3.5.0,M10.5.0/3", {1774746000, 1792890000}},
                             Zone{"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", {1791041400}}}) {
        SCOPED_TRACE(zone.tz);
        pinZone(zone.tz);
        const SystemClock clock;
        for (std::int64_t utc : zone.changesUtc) {  // second by second across each change
            for (std::int64_t s = utc - 90; s <= utc + 90; ++s) check(clock, s * 1000 + 999);
        }
        // Back and forth at random, within a minute and across years.
        std::mt19937_64 random(23);
        std::uniform_int_distribution<std::int64_t> anyMs(1'500'000'000'000LL, 2'200'000'000'000LL);
        std::uniform_int_distribution<std::int64_t> step(-61'000, 61'000);
        std::int64_t ms = zone.changesUtc.front() * 1000;
        for (int i = 0; i < 20'000; ++i) {
            ms = i % 8 == 0 ? anyMs(random) : ms + step(random);
            check(clock, ms);
        }
    }
}

}  // namespace
}  // namespace ups
