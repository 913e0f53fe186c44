// The test scheduler by mode, with tick times pinned as local OLE dates.
#include "battery/testScheduler.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "base/oleDate.h"

namespace ups::test {
namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kMinute = 1.0 / 1440.0;

// 2026-12-07 is a Monday.
double monday(int hour, int minute, int second = 0, int ms = 0) {
    return oleFromLocal(2026, 12, 7, hour, minute, second, ms);
}

class SchedulerTest : public ::testing::Test {
protected:
    SchedulerTest() {
        std::memset(&cfg, 0, sizeof cfg);
        cfg.testInterval = 7;
    }

    bool due(double tickTime) {
        return isTestDue(cfg, startPending, tickTime, [this] {
            ++saves;
            savedStartCounts.push_back(cfg.startCount);
        });
    }

    // Ticks once a second over [from, to) and returns the tick times that found a test due.
    std::vector<double> dueTicks(double from, double to) {
        std::vector<double> hits;
        for (int s = 0; from + s * kSecond < to; ++s) {
            const double t = from + s * kSecond;
            if (due(t)) hits.push_back(t);
        }
        return hits;
    }

    void scheduleMonday(int hour, int minute) {
        cfg.testMode = tmSchedule;
        cfg.testSched[1] = {1, static_cast<std::uint8_t>(hour), static_cast<std::uint8_t>(minute)};
    }

    CfgUps cfg;
    bool startPending = true;
    int saves = 0;
    std::vector<int> savedStartCounts;
};

// ---- modes 1 and 2: starts of the monitor ----

TEST_F(SchedulerTest, EachStartGivesOneTestAtTheFirstDueCheckAndSavesNothing) {
    cfg.testMode = tmWinStart;
    EXPECT_TRUE(due(monday(9, 0)));
    EXPECT_FALSE(startPending);
    EXPECT_FALSE(due(monday(9, 0, 1)));
    EXPECT_FALSE(due(monday(9, 0, 2)));
    EXPECT_EQ(saves, 0);
}

TEST_F(SchedulerTest, EveryThirdStartCountsEachStartOnceAndSavesEachChange) {
    cfg.testMode = tmCnStart;
    cfg.testInterval = 3;
    std::vector<bool> dueByRun;
    for (int run = 0; run < 7; ++run) {
        startPending = true;  // a new run of the monitor
        const bool first = due(monday(9, 0));
        // Later ticks of the same run count nothing more.
        EXPECT_FALSE(due(monday(9, 0, 1)));
        EXPECT_FALSE(due(monday(9, 0, 2)));
        dueByRun.push_back(first);
    }
    EXPECT_EQ(dueByRun, (std::vector<bool>{false, false, true, false, false, true, false}));
    EXPECT_EQ(cfg.startCount, 1);
    // Each start is saved at once; a due test saves again with the count back at 0.
    EXPECT_EQ(savedStartCounts, (std::vector<int>{1, 2, 3, 0, 1, 2, 3, 0, 1}));
}

TEST_F(SchedulerTest, EveryStartWithNOfOne) {
    cfg.testMode = tmCnStart;
    cfg.testInterval = 1;
    for (int run = 0; run < 3; ++run) {
        startPending = true;
        EXPECT_TRUE(due(monday(9, 0)));
        EXPECT_FALSE(due(monday(9, 0, 1)));
    }
}

TEST_F(SchedulerTest, TheStartCountIsComparedAsASignedNumber) {
    cfg.testMode = tmCnStart;
    cfg.testInterval = 2;
    cfg.startCount = -2;  // as a damaged record might hold it
    std::vector<bool> dueByRun;
    for (int run = 0; run < 4; ++run) {
        startPending = true;
        dueByRun.push_back(due(monday(9, 0)));
    }
    EXPECT_EQ(dueByRun, (std::vector<bool>{false, false, false, true}));
}

// ---- mode 3: every n days ----

TEST_F(SchedulerTest, EveryNDaysWithNoTestEverIsDueAtOnceAndMovesLastTest) {
    cfg.testMode = tmDias;
    cfg.lastTest = 0.0;
    const double now = monday(9, 15, 30);
    EXPECT_TRUE(due(now));
    EXPECT_EQ(cfg.lastTest, now);
    EXPECT_EQ(saves, 1);
    EXPECT_FALSE(due(now + kSecond));
    EXPECT_EQ(saves, 1);
}

TEST_F(SchedulerTest, EveryNDaysIsDueAtTheFirstTickAtLeastNTimes24HoursLater) {
    cfg.testMode = tmDias;
    cfg.testInterval = 7;
    cfg.lastTest = monday(9, 15, 30);
    const double week = oleFromLocal(2026, 12, 14, 9, 15, 30);
    ASSERT_EQ(week - cfg.lastTest, 7.0);

    EXPECT_FALSE(due(week - kSecond));
    EXPECT_FALSE(due(week - 1.0));
    EXPECT_EQ(saves, 0);
    EXPECT_TRUE(due(week));
    EXPECT_EQ(cfg.lastTest, week);
    EXPECT_EQ(saves, 1);
}

TEST_F(SchedulerTest, EveryNDaysWaitsWhenTheClockIsSetBackBeforeLastTest) {
    cfg.testMode = tmDias;
    cfg.testInterval = 7;
    cfg.lastTest = monday(9, 0);
    // Back by ten days: the difference is negative and counts no whole day forward.
    for (double back : {10.0, 8.0, 0.5}) EXPECT_FALSE(due(cfg.lastTest - back));
    // Seven whole days are counted from lastTest, not from where the clock was set back to.
    EXPECT_FALSE(due(cfg.lastTest + 6.99));
    EXPECT_TRUE(due(monday(9, 0) + 7.0));
}

TEST_F(SchedulerTest, WholeDaysAreTruncatedTowardZero) {
    cfg.testMode = tmDias;
    cfg.testInterval = 0;
    cfg.lastTest = monday(9, 0);
    // Less than a day back truncates to 0 days, which meets an interval of 0.
    EXPECT_TRUE(due(monday(9, 0) - 0.9));
    cfg.lastTest = monday(9, 0);
    EXPECT_FALSE(due(monday(9, 0) - 1.0));
}

TEST_F(SchedulerTest, AcceptingTheConfigurationInMode3RestartsTheDays) {
    cfg.testMode = tmDias;
    cfg.lastTest = 0.0;
    stampLastTestOnAccept(cfg, monday(10, 0));
    EXPECT_EQ(cfg.lastTest, monday(10, 0));
    EXPECT_FALSE(due(monday(10, 0) + 6.5));
    EXPECT_TRUE(due(monday(10, 0) + 7.0));
}

TEST_F(SchedulerTest, AcceptingTheConfigurationInOtherModesLeavesLastTest) {
    for (int mode : {0, 1, 2, 4, 9}) {
        cfg.testMode = mode;
        cfg.lastTest = 123.25;
        stampLastTestOnAccept(cfg, monday(10, 0));
        EXPECT_EQ(cfg.lastTest, 123.25) << mode;
    }
}

// ---- mode 4: weekly schedule ----

TEST_F(SchedulerTest, ScheduleGivesExactlyOneTestInsideTheMondayMinute) {
    scheduleMonday(8, 30);
    const std::vector<double> hits = dueTicks(monday(8, 28), monday(8, 33));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0], monday(8, 30));
    EXPECT_EQ(cfg.lastTest, monday(8, 30));
    EXPECT_EQ(saves, 1);
}

TEST_F(SchedulerTest, ScheduleUsesTheEntryOfTheTickWeekdaySundayFirst) {
    cfg.testMode = tmSchedule;
    // Only Sunday (entry 0) and Saturday (entry 6) enabled.
    cfg.testSched[0] = {1, 7, 0};
    cfg.testSched[6] = {1, 22, 45};
    struct Case {
        int day;  // of December 2026: the 6th is a Sunday
        int hour, minute;
        bool expected;
    };
    for (Case c : {Case{6, 7, 0, true}, Case{7, 7, 0, false}, Case{12, 22, 45, true},
                   Case{12, 7, 0, false}, Case{11, 22, 45, false}, Case{13, 7, 0, true}}) {
        cfg.lastTest = 0.0;
        EXPECT_EQ(due(oleFromLocal(2026, 12, c.day, c.hour, c.minute, 10)), c.expected)
            << c.day << " " << c.hour << ":" << c.minute;
    }
}

TEST_F(SchedulerTest, ScheduleOnAnotherDayOrMinuteOrDisabledEntryIsNotDue) {
    scheduleMonday(8, 30);
    EXPECT_TRUE(dueTicks(monday(8, 30) + 1.0, monday(8, 31) + 1.0).empty());  // Tuesday
    EXPECT_TRUE(dueTicks(monday(20, 30), monday(20, 31)).empty());            // 20:30
    EXPECT_TRUE(dueTicks(monday(8, 29), monday(8, 30)).empty());
    cfg.testSched[1].enabled = 0;
    EXPECT_TRUE(dueTicks(monday(8, 30), monday(8, 31)).empty());
    EXPECT_EQ(saves, 0);
}

TEST_F(SchedulerTest, ScheduleComesBackTheNextMonday) {
    scheduleMonday(8, 30);
    EXPECT_EQ(dueTicks(monday(8, 30), monday(8, 31)).size(), 1u);
    EXPECT_EQ(dueTicks(monday(8, 30) + 7.0, monday(8, 31) + 7.0).size(), 1u);
    EXPECT_EQ(cfg.lastTest, monday(8, 30) + 7.0);
}

TEST_F(SchedulerTest, ScheduleMissesTheSlotWhenNoTickAsksInsideTheMinute) {
    scheduleMonday(8, 30);
    // The power event covered 08:29:50..08:31:10: the tick did not ask during it.
    EXPECT_TRUE(dueTicks(monday(8, 29), monday(8, 29, 50)).empty());
    EXPECT_TRUE(dueTicks(monday(8, 31, 10), monday(8, 40)).empty());
    EXPECT_EQ(cfg.lastTest, 0.0);
}

TEST_F(SchedulerTest, ScheduleGuardIsASinglePrecisionMinuteAgainstADoubleDifference) {
    scheduleMonday(8, 30);
    const double tick = monday(8, 30, 0);
    const double guard = static_cast<double>(kScheduleGuardDays);
    ASSERT_GT(guard, kMinute);  // the float lies about 1.45 microseconds above the minute

    // A difference longer than the exact minute but shorter than the float still waits.
    cfg.lastTest = tick - (kMinute + 0.7e-6 * kSecond);
    const double between = tick - cfg.lastTest;
    ASSERT_GT(between, kMinute);
    ASSERT_LT(between, guard);
    EXPECT_FALSE(due(tick));

    cfg.lastTest = tick - (kMinute + 3e-6 * kSecond);
    ASSERT_GE(tick - cfg.lastTest, guard);
    EXPECT_TRUE(due(tick));
}

TEST_F(SchedulerTest, ScheduleSkipsTheSlotWhenTheClockWasSetBackBeforeLastTest) {
    scheduleMonday(8, 30);
    cfg.lastTest = monday(9, 0);
    EXPECT_TRUE(dueTicks(monday(8, 30), monday(8, 31)).empty());
}

TEST_F(SchedulerTest, TheLastHalfMillisecondOfADayReadsAsMidnightOfTheNext) {
    cfg.testMode = tmSchedule;
    cfg.testSched[1] = {1, 0, 0};  // Monday 00:00
    cfg.testSched[0] = {1, 0, 0};  // Sunday 00:00
    cfg.testSched[0].enabled = 0;
    // Sunday 23:59:59.9996 rounds to Monday 00:00:00.000.
    const double almostMonday = monday(0, 0) - 0.4 / 86'400'000.0;
    ASSERT_LT(almostMonday, monday(0, 0));
    EXPECT_TRUE(due(almostMonday));
}

// ---- modes changing during a run, and modes out of range ----

TEST_F(SchedulerTest, SwitchingToEachStartDuringARunUsesTheStillPendingStart) {
    for (int before : {tmNever, tmDias, tmSchedule}) {
        SCOPED_TRACE(before);
        startPending = true;
        cfg.testMode = before;
        cfg.lastTest = monday(9, 0);  // mode 3 not due, mode 4 nothing scheduled
        std::memset(cfg.testSched, 0, sizeof cfg.testSched);
        EXPECT_TRUE(dueTicks(monday(9, 0, 1), monday(9, 1)).empty());
        cfg.testMode = tmWinStart;
        EXPECT_TRUE(due(monday(9, 1)));
        EXPECT_FALSE(due(monday(9, 1, 1)));
    }
}

TEST_F(SchedulerTest, SwitchingToEveryNStartsDuringARunCountsOneStart) {
    cfg.testMode = tmDias;
    cfg.lastTest = monday(9, 0);
    cfg.startCount = 0;
    cfg.testInterval = 3;
    EXPECT_FALSE(due(monday(9, 0, 1)));
    cfg.testMode = tmCnStart;
    EXPECT_FALSE(due(monday(9, 0, 2)));
    EXPECT_FALSE(due(monday(9, 0, 3)));
    EXPECT_EQ(cfg.startCount, 1);
}

TEST_F(SchedulerTest, ModesOutsideZeroToFourNeverScheduleAndTouchNothing) {
    cfg.lastTest = 0.0;
    cfg.testInterval = 0;
    for (int d = 0; d < 7; ++d) cfg.testSched[d] = {1, 8, 30};
    for (int mode : {-1, 5, 7, 100, INT_MIN, INT_MAX, 0}) {
        SCOPED_TRACE(mode);
        cfg.testMode = mode;
        startPending = true;
        EXPECT_TRUE(dueTicks(monday(8, 30), monday(8, 30, 5)).empty());
        EXPECT_TRUE(startPending);
        EXPECT_EQ(cfg.lastTest, 0.0);
        EXPECT_EQ(cfg.startCount, 0);
    }
    EXPECT_EQ(saves, 0);
}

}  // namespace
}  // namespace ups::test
