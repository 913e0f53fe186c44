// The texts the configuration and test-mode dialogs show and read back.
#include <gtest/gtest.h>

#include "app/rules/delayTexts.h"
#include "app/rules/scheduleTime.h"

namespace ups {
namespace {

TEST(DelayTexts, SecondsAreRightAlignedInThreePlaces) {
    EXPECT_EQ(delaySecondsText(5), "  5 seg.");
    EXPECT_EQ(delaySecondsText(30), " 30 seg.");
    EXPECT_EQ(delaySecondsText(0), "  0 seg.");
    EXPECT_EQ(delaySecondsText(300), "300 seg.");
}

TEST(DelayTexts, LowBatteryDelaySplitsIntoMinutesAndSeconds) {
    struct Case {
        int seconds;
        const char* minutes;
        const char* rest;
    };
    for (const Case& c : {Case{90, "01 min.", "30 seg."}, Case{100, "01 min.", "40 seg."},
                          Case{10, "00 min.", "10 seg."}, Case{300, "05 min.", "00 seg."},
                          Case{59, "00 min.", "59 seg."}, Case{60, "01 min.", "00 seg."}}) {
        EXPECT_EQ(delayMinutesPartText(c.seconds), c.minutes) << c.seconds;
        EXPECT_EQ(delaySecondsPartText(c.seconds), c.rest) << c.seconds;
    }
}

TEST(ScheduleTime, MaskedTextRightAlignsASingleHourDigit) {
    EXPECT_EQ(maskedTimeText("07:05"), "07:05");
    EXPECT_EQ(maskedTimeText("7_:05"), " 7:05");
    EXPECT_EQ(maskedTimeText("_7:05"), " 7:05");
    EXPECT_EQ(maskedTimeText(" 7:05"), " 7:05");
    EXPECT_EQ(maskedTimeText("24:00"), "24:00");
}

TEST(ScheduleTime, MaskedTextIsIncompleteWhileARequiredPositionIsEmpty) {
    for (const char* shown : {"__:__", "__:05", "07:_5", "07:5_", "07:__", "0705", "07:055", ""}) {
        EXPECT_FALSE(maskedTimeText(shown).has_value()) << shown;
    }
}

TEST(ScheduleTime, ScanReadsTwoNumbersOfAtMostTwoCharacters) {
    struct Case {
        const char* text;
        int hour;
        int minute;
    };
    for (const Case& c :
         {Case{"07:05", 7, 5}, Case{" 7:05", 7, 5}, Case{"23:59", 23, 59}, Case{"24:00", 24, 0},
          Case{" 7:60", 7, 60}, Case{"00:00", 0, 0}, Case{"7:5", 7, 5}}) {
        auto t = scanTimeText(c.text);
        ASSERT_TRUE(t.has_value()) << c.text;
        EXPECT_EQ(t->hour, c.hour) << c.text;
        EXPECT_EQ(t->minute, c.minute) << c.text;
    }
    // Three digits: the first two are the hour and the third is not the colon.
    EXPECT_FALSE(scanTimeText("123:05").has_value());
    EXPECT_FALSE(scanTimeText("07-05").has_value());
    EXPECT_FALSE(scanTimeText("07:").has_value());
    EXPECT_FALSE(scanTimeText(":05").has_value());
}

TEST(ScheduleTime, OnlyTimesOfOneDayAreAccepted) {
    EXPECT_TRUE(isTimeOfDay({0, 0}));
    EXPECT_TRUE(isTimeOfDay({23, 59}));
    EXPECT_FALSE(isTimeOfDay({24, 0}));
    EXPECT_FALSE(isTimeOfDay({7, 60}));
    EXPECT_FALSE(isTimeOfDay({-1, 0}));
}

TEST(ScheduleTime, StoredTimesAreShownWithTwoDigitsEach) {
    EXPECT_EQ(timeText(7, 5), "07:05");
    EXPECT_EQ(timeText(0, 0), "00:00");
    EXPECT_EQ(timeText(23, 59), "23:59");
}

}  // namespace
}  // namespace ups
