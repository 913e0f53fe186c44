#pragma once
// Where the history window reads the history: the database file through a reader of its own,
// apart from the history's writer, used by the window's reader thread alone. Tests wrap it to count
// what the window asks for.
#include <optional>
#include <string>
#include <vector>

#include "base/historyRecorder.h"
#include "history/historyDb.h"

namespace ups {

class HistorySource {
public:
    virtual ~HistorySource() = default;
    // The events at or after fromOle, newest first, in one read; nothing when the history cannot
    // be read, and error() says why.
    virtual std::optional<std::vector<HistoryEvent>> eventsSince(double fromOle) = 0;
    virtual std::string error() const = 0;
};

// The history's file, opened for reading at the first read and again after a failure.
class HistoryFileSource final : public HistorySource {
public:
    explicit HistoryFileSource(std::string path) : path_(std::move(path)) {}
    std::optional<std::vector<HistoryEvent>> eventsSince(double fromOle) override;
    std::string error() const override { return error_; }

private:
    std::string path_;
    HistoryDb db_;
    std::string error_;
};

}  // namespace ups
