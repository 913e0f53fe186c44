#include "links/serialLineWatcher.h"

#include <chrono>

namespace ups {

namespace {

bool readFailed(const ModemInputs& inputs) {
    return inputs.cts < 0 || inputs.dcd < 0;
}

}  // namespace

SerialLineWatcher::SerialLineWatcher(std::shared_ptr<SerialLineWaiter> waiter, OnChange onChange)
    : waiter_(std::move(waiter)), onChange_(std::move(onChange)) {
    const ModemInputs start = waiter_->readInputs();
    thread_ = std::thread([this, start] { run(start); });
}

SerialLineWatcher::~SerialLineWatcher() {
    stop();
}

void SerialLineWatcher::run(ModemInputs start) {
    SerialLines last = serialLinesFrom(start.cts, start.dcd);
    // Tells a change since the last read; false when the read failed: the port is gone, and a
    // port that stopped answering may wake the wait again and again.
    const auto readAndTell = [&] {
        const ModemInputs now = waiter_->readInputs();
        const SerialLines lines = serialLinesFrom(now.cts, now.dcd);
        if (lines != last) onChange_(lines);
        last = lines;
        return !readFailed(now);
    };
    // The wait sees only changes after it begins, so each one begins right after a read: at the
    // start, the lines may have changed since the caller's read.
    bool going = !readFailed(start) && readAndTell();
    while (going) {
        const LineWaitEnd end = waiter_->waitForChange();
        if (end == LineWaitEnd::Cancelled) break;
        // After a failed wait the read fails too, and is told as the tick would see it.
        going = readAndTell() && end == LineWaitEnd::Changed;
    }
    std::lock_guard lock(mutex_);
    running_ = false;
    ended_.notify_all();
}

void SerialLineWatcher::stop() {
    if (!thread_.joinable()) return;
    waiter_->cancel();
    thread_.join();
}

bool SerialLineWatcher::watching() const {
    std::lock_guard lock(mutex_);
    return running_;
}

bool SerialLineWatcher::waitUntilEnded(int ms) const {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !running_; });
}

}  // namespace ups
