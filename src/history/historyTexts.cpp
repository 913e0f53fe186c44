#include "history/historyTexts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "base/oleDate.h"

namespace ups {

std::string dateTimeText(double ole) {
    LocalDateTime t = localFromOle(ole);
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", t.day, t.month, t.year,
                  t.hour, t.minute, t.second);
    return text;
}

std::string isoDateTimeText(double ole) {
    LocalDateTime t = localFromOle(ole);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

std::string durationText(double days) {
    // Bounded so that a date from a broken clock cannot overflow the count of seconds.
    const double seconds = std::clamp(days, 0.0, 1e6) * 86'400.0;
    const auto total = static_cast<std::int64_t>(std::llround(seconds));
    const int d = static_cast<int>(total / 86'400), h = static_cast<int>(total / 3600 % 24),
              m = static_cast<int>(total / 60 % 60), s = static_cast<int>(total % 60);
    char text[48];
    if (d > 0) {
        std::snprintf(text, sizeof text, "%d d %d:%02d:%02d", d, h, m, s);
    } else {
        std::snprintf(text, sizeof text, "%d:%02d:%02d", h, m, s);
    }
    return text;
}

}  // namespace ups
