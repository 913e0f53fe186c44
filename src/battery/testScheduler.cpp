#include "battery/testScheduler.h"

#include <cmath>

#include "base/oleDate.h"
#include "base/tickPath.h"

namespace ups {

namespace {

bool dueAtStart(bool& startPending) {
    if (!startPending) return false;
    startPending = false;
    return true;
}

// The count of starts and the weekly schedule are checked out of line: the days' count, the
// default, is what the tick's code page has room for.
UPS_TICK_RARE bool dueAfterStarts(CfgUps& cfgUps, bool& startPending, const ConfigSaver& save) {
    // The start is counted even when it does not make a test due yet.
    if (startPending) {
        startPending = false;
        cfgUps.startCount += 1;
        save();
    }
    if (cfgUps.startCount < cfgUps.testInterval) return false;
    cfgUps.startCount = 0;
    save();
    return true;
}

bool dueAfterDays(CfgUps& cfgUps, double tickTime, const ConfigSaver& save) {
    // Whole days, truncated toward zero: a clock set back gives a negative count and waits.
    // A date that is not a number never compares as due.
    const double days = std::trunc(tickTime - cfgUps.lastTest);
    if (!(days >= cfgUps.testInterval)) return false;
    cfgUps.lastTest = tickTime;
    save();
    return true;
}

bool slotMatches(const TestSchedEntry& entry, const LocalDateTime& now) {
    return entry.enabled != 0 && entry.hour == now.hour && entry.minute == now.minute;
}

// The weekday of the date the time of day was read with: the split rounds to the millisecond, and
// the last half millisecond of a day already reads as 00:00 of the next.
int weekdayOf(const LocalDateTime& now) {
    return oleWeekday(oleFromLocal(now.year, now.month, now.day));
}

const ConfigSaver kSaveNothing = [] {};

UPS_TICK_RARE bool dueOnSchedule(CfgUps& cfgUps, double tickTime, const ConfigSaver& save) {
    const LocalDateTime now = localFromOle(tickTime);
    if (!slotMatches(cfgUps.testSched[weekdayOf(now) - 1], now)) return false;
    // About sixty ticks fall inside the scheduled minute; only the first may start a test.
    if (!(tickTime - cfgUps.lastTest >= kScheduleGuardDays)) return false;
    cfgUps.lastTest = tickTime;
    save();
    return true;
}

}  // namespace

UPS_TICK_PATH bool isTestDue(CfgUps& cfgUps, bool& startPending, double tickTime,
                             const ConfigSaver& saveConfig) {
    const ConfigSaver& save = saveConfig ? saveConfig : kSaveNothing;
    switch (cfgUps.testMode) {
        case tmWinStart:
            return dueAtStart(startPending);
        case tmCnStart:
            return dueAfterStarts(cfgUps, startPending, save);
        case tmDias:
            return dueAfterDays(cfgUps, tickTime, save);
        case tmSchedule:
            return dueOnSchedule(cfgUps, tickTime, save);
        default:
            return false;
    }
}

void stampLastTestOnAccept(CfgUps& cfgUps, double now) {
    if (cfgUps.testMode == tmDias) cfgUps.lastTest = now;
}

}  // namespace ups
