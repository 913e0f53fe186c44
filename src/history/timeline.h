#pragma once
// The state of the mains and the battery over a period, as the history window's timeline draws
// it. Events come newest first, as the history reads them back; a period may begin in the middle
// of an outage, so the state before the first event is inferred from what that event changed.
#include <cstdint>
#include <span>
#include <vector>

#include "base/historyRecorder.h"

namespace ups {

// Ordered by how much they matter on the timeline: a column that holds several states shows
// the highest, so a short failure stays visible over a long period.
enum class MainsState : std::uint8_t { unknown, on, off };
enum class BatteryState : std::uint8_t { unknown, normal, low, critical };

struct PowerState {
    MainsState mains = MainsState::unknown;
    BatteryState battery = BatteryState::unknown;
    bool operator==(const PowerState&) const = default;
};

struct TimelineSegment {
    double from = 0, to = 0;
    PowerState state;
    bool operator==(const TimelineSegment&) const = default;
};

// The state over [from, to), oldest first, in segments that touch and differ from their
// neighbours. Unknown where the monitor was not running or nothing tells the state.
std::vector<TimelineSegment> powerTimeline(std::span<const HistoryEvent> newestFirst, double from,
                                           double to);

// The timeline squeezed into a drawing `columns` wide: for each column the highest state of the
// segments that fall into it.
std::vector<PowerState> timelineColumns(std::span<const TimelineSegment> segments, double from,
                                        double to, int columns);

}  // namespace ups
