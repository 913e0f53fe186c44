#pragma once
// Whether an automatic battery test is due at this tick, by the test mode of CfgUps. The counters
// and the reference time live in the record and are saved whenever they change, so the schedule
// carries over from one run of the monitor to the next.
#include <functional>

#include "config/cfgRecords.h"

namespace ups {

// One minute as a fraction of a day, held in single precision as the schedule has always held it:
// the float lies a hair above the exact minute, and the difference it is compared with is a double.
inline constexpr float kScheduleGuardDays = 0.00069444446f;

// Writes both records to the store; its failures are the store's to report.
using ConfigSaver = std::function<void()>;

// Asked once per tick, only with a link active and no power event. startPending is raised once
// per run of the monitor and consumed here (modes 1 and 2). When the answer is true the schedule
// has already been consumed and saved, so a declined or failed test counts as done.
// tickTime is the tick's local date-time as an OLE date.
bool isTestDue(CfgUps& cfgUps, bool& startPending, double tickTime, const ConfigSaver& saveConfig);

// The acceptance of the configuration dialog in mode 3 restarts the n days from that moment; the
// caller saves the records afterwards as part of the acceptance.
void stampLastTestOnAccept(CfgUps& cfgUps, double now);

}  // namespace ups
