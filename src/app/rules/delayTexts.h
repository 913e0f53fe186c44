#pragma once
// The value labels beside the delay track bars of the configuration dialog.
#include <string>

namespace ups {

// "%3d seg.": 5 seconds read "  5 seg.".
std::string delaySecondsText(int seconds);
// The low-battery delay as whole minutes and the seconds left over: 90 reads "01 min." and
// "30 seg.".
std::string delayMinutesPartText(int seconds);
std::string delaySecondsPartText(int seconds);

}  // namespace ups
