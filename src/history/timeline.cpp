#include "history/timeline.h"

#include <algorithm>
#include <cmath>

namespace ups {

namespace {

using K = HistoryEventKind;

// Events oldest first over a list read newest first.
auto oldestFirst(std::span<const HistoryEvent> newestFirst) {
    return std::ranges::subrange(newestFirst.rbegin(), newestFirst.rend());
}

// The state as the events tell it; the battery's level and the critical condition are kept
// apart, since either ends the critical state.
struct StateTracker {
    MainsState mains = MainsState::unknown;
    BatteryState level = BatteryState::unknown;  // unknown, normal or low
    bool critical = false;

    PowerState shown() const {
        PowerState s{mains, level};
        if (critical || (mains == MainsState::off && level == BatteryState::low)) {
            s.battery = BatteryState::critical;
        }
        return s;
    }

    void apply(HistoryEventKind kind) {
        switch (kind) {
            case K::monitorStarted:
                // The monitor starts believing the mains on and the battery normal, and records
                // what it finds otherwise as soon as it reads the UPS.
                *this = {MainsState::on, BatteryState::normal, false};
                break;
            case K::monitorEnded:
                *this = {};
                break;
            case K::mainsFailed:
                mains = MainsState::off;
                break;
            case K::mainsReturned:
                mains = MainsState::on;
                critical = false;
                break;
            case K::batteryLow:
                level = BatteryState::low;
                break;
            case K::batteryNormal:
                level = BatteryState::normal;
                critical = false;
                break;
            case K::criticalEntered:
                critical = true;
                break;
            case K::criticalLeft:
                critical = false;
                break;
            default:
                break;
        }
    }
};

// The state before the first event: the first change of each kind tells what it changed from.
// A start or an end of the monitor before any change leaves the state unknown.
StateTracker stateBefore(std::span<const HistoryEvent> newestFirst) {
    StateTracker s;
    bool mainsKnown = false, levelKnown = false, criticalKnown = false;
    for (const HistoryEvent& e : oldestFirst(newestFirst)) {
        if (mainsKnown && levelKnown && criticalKnown) break;
        switch (e.kind) {
            case K::monitorStarted:
            case K::monitorEnded:
                return s;
            case K::mainsFailed:
            case K::mainsReturned:
                if (!mainsKnown) {
                    s.mains = e.kind == K::mainsFailed ? MainsState::on : MainsState::off;
                }
                mainsKnown = true;
                break;
            case K::batteryLow:
            case K::batteryNormal:
                if (!levelKnown) {
                    s.level = e.kind == K::batteryLow ? BatteryState::normal : BatteryState::low;
                }
                levelKnown = true;
                break;
            case K::criticalEntered:
            case K::criticalLeft:
                if (!criticalKnown && e.kind == K::criticalLeft) {
                    s.critical = true;
                    // Critical means the battery was low.
                    if (!levelKnown) s.level = BatteryState::low;
                    levelKnown = true;
                }
                criticalKnown = true;
                break;
            default:
                break;
        }
    }
    return s;
}

}  // namespace

std::vector<TimelineSegment> powerTimeline(std::span<const HistoryEvent> newestFirst, double from,
                                           double to) {
    std::vector<TimelineSegment> segments;
    if (!(to > from)) return segments;
    StateTracker tracker = stateBefore(newestFirst);
    double since = from;
    PowerState current = tracker.shown();
    auto push = [&](double until) {
        if (until <= since) return;
        if (!segments.empty() && segments.back().state == current) {
            segments.back().to = until;
        } else {
            segments.push_back({since, until, current});
        }
        since = until;
    };
    for (const HistoryEvent& e : oldestFirst(newestFirst)) {
        tracker.apply(e.kind);
        PowerState next = tracker.shown();
        if (next == current) continue;
        push(std::clamp(e.at, from, to));
        current = next;
    }
    push(to);
    return segments;
}

std::vector<PowerState> timelineColumns(std::span<const TimelineSegment> segments, double from,
                                        double to, int columns, int markColumns) {
    std::vector<PowerState> cols(static_cast<std::size_t>(std::max(columns, 0)));
    if (cols.empty() || !(to > from)) return cols;
    const double width = (to - from) / columns;
    const int mark = std::clamp(markColumns, 1, columns);
    for (const TimelineSegment& s : segments) {
        if (!(s.to > s.from) || s.to <= from || s.from >= to) continue;
        double first = std::floor((s.from - from) / width);
        double last = std::ceil((s.to - from) / width) - 1;
        int c0 = static_cast<int>(std::clamp(first, 0.0, columns - 1.0));
        int c1 = static_cast<int>(std::clamp(last, 0.0, columns - 1.0));
        // The widened run, about the segment's middle and kept inside the drawing.
        int w0 = c0, w1 = c1;
        if (c1 - c0 + 1 < mark) {
            const double middle = std::clamp((s.from + s.to) / 2, from, to);
            const int centre = static_cast<int>(
                std::clamp(std::floor((middle - from) / width), 0.0, columns - 1.0));
            w0 = std::clamp(centre - (mark - 1) / 2, 0, columns - mark);
            w1 = w0 + mark - 1;
        }
        const bool widenMains = s.state.mains == MainsState::off;
        const bool widenBattery = s.state.battery >= BatteryState::low;
        for (int c = std::min(c0, w0); c <= std::max(c1, w1); ++c) {
            PowerState& col = cols[static_cast<std::size_t>(c)];
            const bool inside = c >= c0 && c <= c1;
            if (inside || widenMains) col.mains = std::max(col.mains, s.state.mains);
            if (inside || widenBattery) col.battery = std::max(col.battery, s.state.battery);
        }
    }
    return cols;
}

TimelineView outageView(std::optional<double> start, double end, double periodFrom,
                        double periodTo) {
    constexpr double kMinimumMargin = 2.0 / 1440;
    const double begin = std::max(start.value_or(periodFrom), periodFrom);
    end = std::min(std::max(end, begin), periodTo);
    const double margin = std::max((end - begin) / 2, kMinimumMargin);
    return {std::max(begin - margin, periodFrom), std::min(end + margin, periodTo)};
}

}  // namespace ups
