#pragma once
// COM1..COM4 all open; each port's lines are what the caller says. A line watcher can wait on
// them: setInputs and unplug wake it, from any thread.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "links/serialDriver.h"

namespace ups {

class ScriptedSerialDriver : public SerialDriver {
public:
    struct Lines {
        bool cts = true;  // mains present
        bool dcd = true;  // battery normal
        bool rts = false;
        bool breakOn = false;
        bool open = false;
        bool unplugged = false;  // the device is gone: every read fails
    };

    ScriptedSerialDriver();
    ScriptedSerialDriver(const ScriptedSerialDriver&) = delete;
    ScriptedSerialDriver& operator=(const ScriptedSerialDriver&) = delete;

    int open(int port, int rxQueue, int txQueue) override;
    void close(int port) override;
    void setBaud(int, int) override {}
    void setNoFlowControl(int) override {}
    void setRts(int port, bool asserted) override;
    void setBreak(int port, bool asserted) override;
    int readRts(int port) override;
    int readCts(int port) override;
    int readDcd(int port) override;
    int lastError() const override { return 0; }
    std::shared_ptr<SerialLineWaiter> lineWaiter(int port) override;

    // What the UPS shows on CTS and DCD, told to the waits on the port. While a watcher runs, lines
    // change through here: writes to `ports` reach no other thread safely.
    void setInputs(int port, bool cts, bool dcd);
    // The port's device goes away, as a USB adapter pulled out while open.
    void unplug(int port);

    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        std::array<Lines, 4> ports;
        std::array<std::uint64_t, 4> changes{};  // counts every change of a port, close included
    };

private:
    Lines* find(int port);
    int read(int port, bool Lines::*line);
    template <typename Change>
    void change(int port, Change apply);

    std::shared_ptr<Shared> shared_;

public:
    // Into shared_, so declared after it.
    std::array<Lines, 4>& ports;
};

}  // namespace ups
