#pragma once
// The outages the history window lists, each from the mains failure to what ended it. Events come
// newest first, as the history reads them back.
#include <optional>
#include <span>
#include <vector>

#include "base/historyRecorder.h"

namespace ups {

enum class OutageEnd {
    running,        // the mains have not come back yet
    mainsReturned,  //
    powerOff,       // the monitor asked the system to power off
    monitorStopped  // the monitor ended, or stopped without a word, while on battery
};

struct Outage {
    // Absent when the outage began before the first event given (before the period).
    std::optional<double> start;
    // When it ended; for a running outage the time the summary was made.
    double end = 0;
    OutageEnd how = OutageEnd::running;

    bool endedInPowerOff() const { return how == OutageEnd::powerOff; }
    bool operator==(const Outage&) const = default;
};

// The outages among the events, newest first; now closes a running one.
std::vector<Outage> summarizeOutages(std::span<const HistoryEvent> newestFirst, double now);

}  // namespace ups
