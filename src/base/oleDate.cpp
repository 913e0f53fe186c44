#include "base/oleDate.h"

#include <cmath>

namespace ups {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

}  // namespace

double oleFromLocal(int year, int month, int day, int hour, int minute, int second,
                    int millisecond) {
    double days = static_cast<double>(daysFromCivil(year, static_cast<unsigned>(month),
                                                    static_cast<unsigned>(day))) +
                  kOleUnixEpoch;
    double ms = ((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond;
    return days + ms / 86'400'000.0;
}

LocalDateTime localFromOle(double ole) {
    // Round to the millisecond first so that 0.9999999 of a day does not read as 23:59:59.999.
    double totalMs = std::round(ole * 86'400'000.0);
    double wholeDays = std::floor(totalMs / 86'400'000.0);
    auto msOfDay = static_cast<std::int64_t>(totalMs - wholeDays * 86'400'000.0);
    LocalDateTime t;
    civilFromDays(static_cast<std::int64_t>(wholeDays - kOleUnixEpoch), t.year, t.month, t.day);
    t.hour = static_cast<int>(msOfDay / 3'600'000);
    t.minute = static_cast<int>(msOfDay / 60'000 % 60);
    t.second = static_cast<int>(msOfDay / 1000 % 60);
    t.millisecond = static_cast<int>(msOfDay % 1000);
    t.weekday = oleWeekday(ole);
    return t;
}

int oleWeekday(double ole) {
    // 1899-12-30 was a Saturday (7).
    auto days = static_cast<std::int64_t>(std::floor(ole));
    std::int64_t w = ((days % 7) + 7 + 6) % 7;  // 0 = Sunday
    return static_cast<int>(w) + 1;
}

}  // namespace ups
