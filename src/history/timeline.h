#pragma once
// The state of the mains and the battery over a period, as the history window's timeline draws
// it. Events come newest first, as the history reads them back; a period may begin in the middle
// of an outage, so the state before the first event is inferred from what that event changed.
#include <cstdint>
#include <optional>
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

// How many columns at least an outage, a low battery or a critical state marks, however short:
// a 47-second outage in a week is far narrower than one column.
inline constexpr int kTimelineMarkColumns = 3;

// The timeline squeezed into a drawing `columns` wide: for each column the highest state of the
// segments that fall into it. A mains failure, or a low or critical battery, narrower than
// markColumns is widened about its middle to markColumns in its own band; since a column keeps
// the highest state, the widening never hides a neighbour's more important one.
std::vector<PowerState> timelineColumns(std::span<const TimelineSegment> segments, double from,
                                        double to, int columns,
                                        int markColumns = kTimelineMarkColumns);

// The stretch of the period to zoom the timeline to for one outage: the outage with a margin of
// half its length, at least two minutes, on each side, within the period. An outage begun before
// the period begins with it.
struct TimelineView {
    double from = 0, to = 0;
    bool operator==(const TimelineView&) const = default;
};
TimelineView outageView(std::optional<double> start, double end, double periodFrom,
                        double periodTo);

}  // namespace ups
