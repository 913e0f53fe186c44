// The outages and the timeline the history window shows, from scripted event sequences.
#include "history/outages.h"

#include <gtest/gtest.h>

#include "history/historyTexts.h"
#include "history/timeline.h"

namespace ups {
namespace {

using K = HistoryEventKind;
constexpr double kMinute = 1.0 / 1440;
constexpr double kT0 = 46000.5;  // noon of a day in 2025

struct Step {
    int minute;
    K kind;
};

// The history reads newest first; scripts are written oldest first.
std::vector<HistoryEvent> history(std::initializer_list<Step> steps) {
    std::vector<HistoryEvent> events;
    for (const Step& s : steps) events.push_back({kT0 + s.minute * kMinute, s.kind, {}});
    return {events.rbegin(), events.rend()};
}

double at(int minute) {
    return kT0 + minute * kMinute;
}

struct OutageCase {
    const char* name;
    std::vector<HistoryEvent> events;
    std::vector<Outage> expected;  // newest first
};

void PrintTo(const OutageCase& c, std::ostream* os) {
    *os << c.name;
}

class OutageSummary : public ::testing::TestWithParam<OutageCase> {};

TEST_P(OutageSummary, FromTheFailureToWhatEndedIt) {
    const OutageCase& c = GetParam();
    EXPECT_EQ(summarizeOutages(c.events, at(100)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    History, OutageSummary,
    ::testing::Values(
        OutageCase{"mainsReturn",
                   history({{0, K::monitorStarted}, {5, K::mainsFailed}, {9, K::mainsReturned}}),
                   {{at(5), at(9), OutageEnd::mainsReturned}}},
        OutageCase{"powerOff",
                   history({{0, K::monitorStarted},
                            {5, K::mainsFailed},
                            {6, K::batteryLow},
                            {6, K::criticalEntered},
                            {7, K::applicationsClosed},
                            {8, K::powerOffRequested},
                            {8, K::monitorEnded}}),
                   {{at(5), at(8), OutageEnd::powerOff}}},
        OutageCase{"monitorClosedOnBattery",
                   history({{5, K::mainsFailed}, {7, K::monitorEnded}, {30, K::monitorStarted}}),
                   {{at(5), at(7), OutageEnd::monitorStopped}}},
        OutageCase{"stillRunningUntilNow",
                   history({{0, K::monitorStarted}, {50, K::mainsFailed}}),
                   {{at(50), at(100), OutageEnd::running}}},
        OutageCase{"begunBeforeThePeriod",
                   history({{2, K::batteryNormal}, {3, K::mainsReturned}, {8, K::mainsFailed}}),
                   {{at(8), at(100), OutageEnd::running},
                    {std::nullopt, at(3), OutageEnd::mainsReturned}}},
        OutageCase{"returnWithoutFailureAfterStart",
                   history({{0, K::monitorStarted}, {3, K::mainsReturned}}),
                   {}},
        OutageCase{"restartWithoutEnd",
                   history({{5, K::mainsFailed}, {6, K::noticeShown}, {40, K::monitorStarted}}),
                   {{at(5), at(6), OutageEnd::monitorStopped}}},
        OutageCase{"twoNewestFirstAndARepeatedFailure",
                   history({{1, K::mainsFailed},
                            {2, K::mainsFailed},
                            {3, K::mainsReturned},
                            {10, K::mainsFailed},
                            {12, K::mainsReturned},
                            {13, K::powerOffRequested}}),
                   {{at(10), at(12), OutageEnd::mainsReturned},
                    {at(1), at(3), OutageEnd::mainsReturned}}}),
    [](const auto& info) { return std::string(info.param.name); });

constexpr PowerState kNone{MainsState::unknown, BatteryState::unknown};
constexpr PowerState kOnNormal{MainsState::on, BatteryState::normal};
constexpr PowerState kOffNormal{MainsState::off, BatteryState::normal};
constexpr PowerState kOffCritical{MainsState::off, BatteryState::critical};
constexpr PowerState kOnLow{MainsState::on, BatteryState::low};

struct TimelineCase {
    const char* name;
    std::vector<HistoryEvent> events;
    std::vector<TimelineSegment> expected;
};

void PrintTo(const TimelineCase& c, std::ostream* os) {
    *os << c.name;
}

class PowerTimelineOverAPeriod : public ::testing::TestWithParam<TimelineCase> {};

TEST_P(PowerTimelineOverAPeriod, SegmentsFromTheStateEachEventLeaves) {
    const TimelineCase& c = GetParam();
    EXPECT_EQ(powerTimeline(c.events, at(0), at(100)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    History, PowerTimelineOverAPeriod,
    ::testing::Values(TimelineCase{"aCriticalOutage",
                                   history({{10, K::monitorStarted},
                                            {20, K::mainsFailed},
                                            {30, K::batteryLow},
                                            {40, K::mainsReturned},
                                            {50, K::batteryNormal},
                                            {60, K::noticeShown},
                                            {70, K::monitorEnded}}),
                                   {{at(0), at(10), kNone},
                                    {at(10), at(20), kOnNormal},
                                    {at(20), at(30), kOffNormal},
                                    {at(30), at(40), kOffCritical},
                                    {at(40), at(50), kOnLow},
                                    {at(50), at(70), kOnNormal},
                                    {at(70), at(100), kNone}}},
                      // What the first events change tells the state before them.
                      TimelineCase{"periodBegunInACriticalOutage",
                                   history({{20, K::criticalLeft},
                                            {20, K::mainsReturned},
                                            {60, K::batteryNormal}}),
                                   {{at(0), at(20), {MainsState::off, BatteryState::critical}},
                                    {at(20), at(60), kOnLow},
                                    {at(60), at(100), kOnNormal}}},
                      TimelineCase{"criticalAsTheHistorySaysIt",
                                   history({{-5, K::monitorStarted},
                                            {10, K::criticalEntered},
                                            {20, K::criticalLeft},
                                            {130, K::mainsFailed}}),
                                   {{at(0), at(10), kOnNormal},
                                    {at(10), at(20), {MainsState::on, BatteryState::critical}},
                                    {at(20), at(100), kOnNormal}}},
                      TimelineCase{"nothingToldAtAll", {}, {{at(0), at(100), kNone}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TimelineColumns, AShortFailureShowsInItsColumnOverALongPeriod) {
    // One minute of failure in thirty days drawn 300 columns wide (2.4 hours a column).
    const double from = at(0), to = from + 30;
    std::vector<TimelineSegment> segments{{from, from + 10, kOnNormal},
                                          {from + 10, from + 10 + kMinute, kOffNormal},
                                          {from + 10 + kMinute, to, kOnNormal}};
    const std::vector<PowerState> cols = timelineColumns(segments, from, to, 300, 1);
    ASSERT_EQ(cols.size(), 300u);
    for (int c = 0; c < 300; ++c) {
        EXPECT_EQ(cols[c].mains, c == 100 ? MainsState::off : MainsState::on) << c;
        EXPECT_EQ(cols[c].battery, BatteryState::normal) << c;
    }
    // A segment ending on a column's edge stays out of the next column.
    const std::vector<PowerState> halves = timelineColumns(
        std::vector<TimelineSegment>{{from, from + 15, kOffNormal}}, from, to, 2, 1);
    EXPECT_EQ(halves[0].mains, MainsState::off);
    EXPECT_EQ(halves[1].mains, MainsState::unknown);
    EXPECT_TRUE(timelineColumns(segments, to, from, 10) == std::vector<PowerState>(10));
}

// Seven days 700 columns wide (864 s a column), on mains with a normal battery but for the
// given stretches; the bands of columns 295 to 305 as letters: mains o on, x off; battery n
// normal, l low, c critical.
struct MarkCase {
    const char* name;
    std::vector<TimelineSegment> stretches;  // days from the start
    const char* mains;
    const char* battery;
};

void PrintTo(const MarkCase& c, std::ostream* os) {
    *os << c.name;
}

class TimelineMarks : public ::testing::TestWithParam<MarkCase> {};

TEST_P(TimelineMarks, ShortOutagesAndCriticalStatesMarkAFewColumns) {
    const MarkCase& c = GetParam();
    const double from = at(0), to = from + 7;
    std::vector<TimelineSegment> segments{{from, to, kOnNormal}};
    for (const TimelineSegment& s : c.stretches) {
        segments.push_back({from + s.from, from + s.to, s.state});
    }
    const std::vector<PowerState> cols = timelineColumns(segments, from, to, 700);
    std::string mains, battery;
    for (int col = 295; col <= 305; ++col) {
        mains += cols[col].mains == MainsState::off ? 'x' : 'o';
        battery += "?nlc"[static_cast<int>(cols[col].battery)];
    }
    EXPECT_EQ(mains, c.mains);
    EXPECT_EQ(battery, c.battery);
}

constexpr double kSecond = kMinute / 60;
INSTANTIATE_TEST_SUITE_P(
    History, TimelineMarks,
    ::testing::Values(
        MarkCase{"aFortySevenSecondOutage",
                 {{3.005, 3.005 + 47 * kSecond, kOffNormal}},
                 "oooo"
                 "xxx"
                 "oooo",
                 "nnnnnnnnnnn"},
        MarkCase{"aShortCriticalState",
                 {{3.005, 3.005 + 47 * kSecond, {MainsState::on, BatteryState::critical}}},
                 "ooooooooooo",
                 "nnnn"
                 "ccc"
                 "nnnn"},
        // Its own column and the next: the widening keeps to the middle.
        MarkCase{"astrideTwoColumns",
                 {{2.9995, 3.0001, kOffNormal}},
                 "ooo"
                 "xxx"
                 "ooooo",
                 "nnnnnnnnnnn"},
        MarkCase{"aLongOutageIsUnchanged",
                 {{2.9805, 3.0205, kOffCritical}},
                 "ooo"
                 "xxxxx"
                 "ooo",
                 "nnn"
                 "ccccc"
                 "nnn"},
        // A short low battery beside a critical state leaves the critical column critical.
        MarkCase{"besideAMoreImportantState",
                 {{3.005, 3.005 + 47 * kSecond, {MainsState::off, BatteryState::low}},
                  {3.0101, 3.0599, kOffCritical}},
                 "oooo"
                 "xxxxxxx",
                 "nnnn"
                 "ll"
                 "ccccc"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TimelineMarks, TheEndsKeepTheWidthAndOneColumnIsAll) {
    const double from = at(0), to = from + 7;
    const std::vector<TimelineSegment> last{{to - 47 * kSecond, to, kOffNormal}};
    const std::vector<PowerState> cols = timelineColumns(last, from, to, 700);
    EXPECT_EQ(cols[696].mains, MainsState::unknown);
    for (int c = 697; c < 700; ++c) EXPECT_EQ(cols[c].mains, MainsState::off) << c;
    EXPECT_EQ(timelineColumns(last, from, to, 1)[0].mains, MainsState::off);
}

TEST(OutageView, TheOutageWithAMarginWithinThePeriod) {
    const double from = at(0), to = at(600);
    auto expectView = [](TimelineView v, double viewFrom, double viewTo) {
        EXPECT_NEAR(v.from, viewFrom, 1e-9);
        EXPECT_NEAR(v.to, viewTo, 1e-9);
    };
    // Two minutes at least on each side; half the length for a long one.
    expectView(outageView(at(100), at(101), from, to), at(98), at(103));
    expectView(outageView(at(100), at(140), from, to), at(80), at(160));
    // Begun before the period, or running at its end.
    expectView(outageView(std::nullopt, at(10), from, to), from, at(15));
    expectView(outageView(at(598), to, from, to), at(596), to);
}

TEST(HistoryTexts, DatesToTheSecondAndDurations) {
    const double t = 46000 + (17 * 3600 + 30 * 60 + 5.9) / 86400;  // 2025-12-09 17:30:05.9
    EXPECT_EQ(dateTimeText(t), "09/12/2025 17:30:05");
    EXPECT_EQ(isoDateTimeText(t), "2025-12-09 17:30:05");
    const std::pair<double, const char*> durations[] = {{0, "0:00:00"},
                                                        {61.0 / 86400, "0:01:01"},
                                                        {(3600 * 5 + 7) / 86400.0, "5:00:07"},
                                                        {1 + 3.0 / 24, "1 d 3:00:00"},
                                                        {-2, "0:00:00"},
                                                        {1e12, "1000000 d 0:00:00"}};
    for (const auto& [days, text] : durations) EXPECT_EQ(durationText(days), text) << days;
}

}  // namespace
}  // namespace ups
