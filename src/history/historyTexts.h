#pragma once
// The history's dates and durations as text, the same in the window and in the exported file.
#include <string>

namespace ups {

// "08/12/2026 17:30:05": how the window shows a date.
std::string dateTimeText(double ole);
// "2026-12-08 17:30:05": how a spreadsheet reads a date whatever its language.
std::string isoDateTimeText(double ole);
// "0:05:07", "2 d 3:00:00": a span of days to the second.
std::string durationText(double days);

}  // namespace ups
