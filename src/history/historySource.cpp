#include "history/historySource.h"

namespace ups {

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
    error_.clear();
    return events;
}

}  // namespace ups
