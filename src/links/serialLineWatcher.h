#pragma once
// A thread that follows CTS and DCD of the open serial port as they change, so that a power event
// can be shown at once instead of at the next tick. It only waits and reads: the thread that owns
// the port keeps opening, closing and writing it (RTS, BREAK), and the tick keeps its own reads.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "links/serialDriver.h"

namespace ups {

struct SerialLines {
    bool lineOk = true;
    bool batteryLow = false;
    friend bool operator==(const SerialLines&, const SerialLines&) = default;
};

// How a read of the lines becomes the UPS's state: mains only on a CTS that reads asserted, a low
// battery only on a DCD that reads not asserted (a failed read of DCD counts as a normal battery).
inline SerialLines serialLinesFrom(int cts, int dcd) {
    return {cts > 0, dcd == 0};
}

class SerialLineWatcher {
public:
    using OnChange = std::function<void(SerialLines)>;

    // Reads the lines once, on the caller's thread, as the starting point, then starts the thread:
    // `onChange` runs there with the lines each time they differ from the last ones read. A read
    // that fails (the port closed or pulled out) is reported like any other and ends the watch.
    // onChange must not wait for the thread that calls stop().
    SerialLineWatcher(std::shared_ptr<SerialLineWaiter> waiter, OnChange onChange);
    ~SerialLineWatcher();
    SerialLineWatcher(const SerialLineWatcher&) = delete;
    SerialLineWatcher& operator=(const SerialLineWatcher&) = delete;

    // Cancels the wait and joins the thread; no onChange runs after it returns.
    void stop();
    // False once the watch has ended: stopped, the port failed, or its lines cannot be waited on.
    bool watching() const;
    // Blocks until the watch has ended by itself or `ms` have passed; true when it ended.
    bool waitUntilEnded(int ms) const;

private:
    void run(ModemInputs start);

    std::shared_ptr<SerialLineWaiter> waiter_;
    OnChange onChange_;
    mutable std::mutex mutex_;
    mutable std::condition_variable ended_;
    bool running_ = true;
    std::thread thread_;
};

}  // namespace ups
