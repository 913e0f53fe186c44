#pragma once
// A history that keeps what it is told, in order, for the tests to read.
#include <string>
#include <utility>
#include <vector>

#include "base/historyRecorder.h"

namespace ups::test {

class RecordingHistory : public HistoryRecorder {
public:
    void record(HistoryEventKind kind, std::string details) override {
        entries.push_back(std::string(historyEventKey(kind)) +
                          (details.empty() ? "" : " " + details));
    }
    bool flush(int) override {
        entries.push_back("flush");
        return true;
    }
    bool takeUnavailableNotice() override { return std::exchange(unavailable, false); }

    // "<key>" or "<key> <details>", and "flush" where the history was flushed.
    std::vector<std::string> entries;
    bool unavailable = false;
};

}  // namespace ups::test
