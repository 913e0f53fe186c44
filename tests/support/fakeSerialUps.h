#pragma once
// A UPS on the far end of a fake serial driver. Each port can be free, busy with a system error or
// failing otherwise; the open port's CTS and DCD follow the UPS's state; RTS and BREAK changes are
// recorded with the virtual time at which they happened. A battery test can be scripted: while
// BREAK is held, the UPS drops CTS after a delay, and DCD too if its battery is bad. A watch on
// the lines wakes when changeLines changes them, from any thread.
#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "links/serialDriver.h"
#include "support/virtualTime.h"

namespace ups::test {

struct SerialCall {
    double atMs;
    std::string what;  // "open 2 512 512", "close 2", "rts 1", "break 1", "read cts" ...
};

class FakeSerialUps : public SerialDriver {
public:
    enum class PortKind { Free, SystemError, OtherError };

    explicit FakeSerialUps(const VirtualTime* time = nullptr) : time_(time) {}

    // Port behaviour.
    void setPort(int port, PortKind kind, int systemErrorCode = 0) {
        kinds_[port] = kind;
        errorCodes_[port] = systemErrorCode;
    }

    // UPS state as the lines report it.
    std::atomic<bool> mainsPresent{true};  // CTS
    std::atomic<bool> batteryOk{true};     // DCD
    // The UPS changes its lines by itself, as a real one does: a watch on them wakes.
    void changeLines(bool mains, bool battery);
    // Battery-test script, measured from the moment BREAK is asserted.
    std::optional<double> testDropsMainsAfterMs;
    std::optional<double> testDropsBatteryAfterMs;
    // Something outside the monitor clearing RTS.
    void clearRtsBehindOurBack() { rts_ = false; }

    bool rts() const { return rts_; }
    bool breakOn() const { return break_; }
    bool isOpen(int port) const { return open_[port]; }
    int openCount() const;

    std::vector<SerialCall> calls;
    std::vector<std::string> callNames() const;
    // Times (ms) at which BREAK was asserted and released.
    std::vector<double> breakOnTimes, breakOffTimes;

    int open(int port, int rxQueue, int txQueue) override;
    void close(int port) override;
    void setBaud(int port, int baud) override;
    void setNoFlowControl(int port) override;
    void setRts(int port, bool asserted) override;
    void setBreak(int port, bool asserted) override;
    int readRts(int port) override;
    int readCts(int port) override;
    int readDcd(int port) override;
    // One request for the three, recorded as one ("read lines N").
    ModemLines readLines(int port) override;
    int lastError() const override { return lastError_; }
    std::shared_ptr<SerialLineWaiter> lineWaiter(int port) override;

    // What a watch waits on: a count of the changes, and the closes that end it.
    struct Watch {
        std::mutex mutex;
        std::condition_variable changed;
        int changes = 0;
        int closes = 0;
    };

private:
    double nowMs() const { return time_ ? time_->elapsedMs : 0.0; }
    void record(std::string what) { calls.push_back({nowMs(), std::move(what)}); }
    bool testDropped(const std::optional<double>& after) const;

    const VirtualTime* time_;
    std::shared_ptr<Watch> watch_ = std::make_shared<Watch>();
    std::array<PortKind, 4> kinds_{PortKind::Free, PortKind::Free, PortKind::Free, PortKind::Free};
    std::array<int, 4> errorCodes_{};
    std::array<bool, 4> open_{};
    bool rts_ = false;
    bool break_ = false;
    double breakSince_ = 0;
    int lastError_ = 0;
};

}  // namespace ups::test
