#pragma once
// What a serial line watcher's thread reported, for the test's thread to wait on (bounded).
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "links/serialLineWatcher.h"

namespace ups::test {

struct LineReports {
    static constexpr int kBoundMs = 5000;  // only a hung thread takes this long

    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<SerialLines> lines;

    SerialLineWatcher::OnChange callback() {
        return [this](SerialLines now) {
            std::lock_guard lock(mutex);
            lines.push_back(now);
            arrived.notify_all();
        };
    }
    // The reports once there are `count` of them, or what came within the bound.
    std::vector<SerialLines> waitFor(std::size_t count) {
        std::unique_lock lock(mutex);
        arrived.wait_for(lock, std::chrono::milliseconds(kBoundMs),
                         [&] { return lines.size() >= count; });
        return lines;
    }
};

}  // namespace ups::test
