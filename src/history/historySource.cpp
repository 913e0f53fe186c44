#include "history/historySource.h"

#include <algorithm>

namespace ups {

namespace {

constexpr double kOleYear1900 = 2;        // 1900-01-01
constexpr double kOleYear9999 = 2958465;  // 9999-12-31

}  // namespace

std::optional<std::vector<HistoryEvent>> HistoryFileSource::eventsSince(double fromOle) {
    if (!db_.isOpen() && !db_.open(path_, HistoryDb::Mode::read)) {
        error_ = db_.error();
        return std::nullopt;
    }
    // The reader's error is cleared only by opening, and a failed read closes it below, so an
    // error after the read is this read's.
    std::vector<HistoryEvent> events = db_.eventsSince(fromOle);
    if (!db_.error().empty()) {
        error_ = db_.error();
        db_.close();
        return std::nullopt;
    }
    // A file is outside input: a date no calendar shows (a broken clock, a damaged file) is
    // held to the years the window can write, which keeps the order the reader gave.
    for (HistoryEvent& e : events) e.at = std::clamp(e.at, kOleYear1900, kOleYear9999);
    error_.clear();
    return events;
}

}  // namespace ups
