#include "history/outages.h"

#include <algorithm>
#include <cmath>

namespace ups {

namespace {

using K = HistoryEventKind;

// Events oldest first over a list read newest first.
auto oldestFirst(std::span<const HistoryEvent> newestFirst) {
    return std::ranges::subrange(newestFirst.rbegin(), newestFirst.rend());
}

}  // namespace

std::vector<Outage> summarizeOutages(std::span<const HistoryEvent> newestFirst, double now) {
    std::vector<Outage> found;
    std::optional<double> openSince;
    bool open = false;
    // Whether anything so far told the state of the mains; until then a return of the mains
    // closes an outage that began before the first event.
    bool mainsTold = false;
    double lastAt = 0;
    auto close = [&](double at, OutageEnd how) {
        found.push_back({openSince, at, how});
        open = false;
        openSince.reset();
    };
    for (const HistoryEvent& e : oldestFirst(newestFirst)) {
        switch (e.kind) {
            case K::mainsFailed:
                if (!open) {
                    open = true;
                    openSince = e.at;
                }
                mainsTold = true;
                break;
            case K::mainsReturned:
                if (open || !mainsTold) close(e.at, OutageEnd::mainsReturned);
                mainsTold = true;
                break;
            case K::powerOffRequested:
                if (open) close(e.at, OutageEnd::powerOff);
                break;
            case K::monitorEnded:
                if (open) close(e.at, OutageEnd::monitorStopped);
                mainsTold = true;
                break;
            case K::monitorStarted:
                // Started again without having ended: the last thing heard is the best end known.
                if (open) close(lastAt, OutageEnd::monitorStopped);
                mainsTold = true;
                break;
            default:
                break;
        }
        lastAt = e.at;
    }
    if (open) close(std::max(now, lastAt), OutageEnd::running);
    std::ranges::reverse(found);
    return found;
}

}  // namespace ups
