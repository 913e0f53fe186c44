#pragma once
// Date-times as OLE dates: whole days since 1899-12-30 00:00 plus the fraction of the day, in
// local time. One place for the conversions the scheduler, the tick and the clock need.
#include <cstdint>

namespace ups {

struct LocalDateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    int weekday = 7;  // 1 = Sunday .. 7 = Saturday
};

// Days between 1970-01-01 and 1899-12-30.
inline constexpr double kOleUnixEpoch = 25569.0;

double oleFromLocal(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                    int millisecond = 0);
LocalDateTime localFromOle(double ole);
// 1 = Sunday .. 7 = Saturday.
int oleWeekday(double ole);

}  // namespace ups
