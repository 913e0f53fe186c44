#pragma once
// The hour and minute of a weekly test, as the masked edits of the test-mode dialog hold them.
// Their mask takes an optional first hour digit, a required second one, a colon and two required
// minute digits; an hour typed with one digit stands right-aligned behind a blank.
#include <optional>
#include <string>
#include <string_view>

namespace ups {

struct TimeOfDay {
    int hour;
    int minute;
};

// The text the edit holds for what it shows ("_" marks an empty position): "7_:05" and "_7:05"
// both hold " 7:05". Nothing while a required position is empty.
std::optional<std::string> maskedTimeText(std::string_view shown);

// Two numbers of at most two characters each, separated by ":", read the way the C library's
// scanf reads "%2d:%2d" (blanks before a number are skipped). Nothing unless both were read.
std::optional<TimeOfDay> scanTimeText(std::string_view text);

bool isTimeOfDay(const TimeOfDay& t);

// "%02d:%02d".
std::string timeText(int hour, int minute);

}  // namespace ups
