#pragma once
// The serial contact-signalling link: the UPS reports mains on CTS and battery on DCD, the
// monitor holds RTS while it watches and gives its orders as a BREAK on the transmit line.
#include <cstdint>
#include <memory>
#include <optional>

#include "config/cfgRecords.h"
#include "links/serialLib.h"
#include "links/serialLineWatcher.h"

namespace ups {

// What opening the link asks of the test button.
enum class TestButtonChange { Unchanged, Enable, Disable };

struct SerialOpenResult {
    bool opened = false;
    TestButtonChange button = TestButtonChange::Unchanged;
};

// What the lines showed when the battery-test watch ended; the battery room turns it into the
// outcome the user is shown.
enum class SerialTestEnd {
    BatteryHeld,  // the watch ran its ten seconds with DCD up
    BatteryLow,   // DCD dropped during the watch
    MainsStayed,  // CTS still up one second after the order: the UPS ignored it
    Interrupted,  // the port closed or stopped answering: the watch says nothing of the battery
};

class SerialLink {
public:
    static constexpr int kProbeQueue = 128;
    static constexpr int kLinkQueue = 512;
    static constexpr int kBaud = 9600;
    static constexpr int kProbeOtherError = -1000;
    static constexpr int kAlarmPulseMs = 500;
    static constexpr int kTestPollMs = 100;
    static constexpr int kTestPolls = 100;
    static constexpr int kTestResponsePoll = 10;

    explicit SerialLink(SerialLib& sio) : sio_(sio) {}

    // Tries COM1..COM4 with small queues and closes each again; stores each result in
    // cfg.portStatus. True when at least one port could be opened.
    bool probePorts(CfgUps& cfg);

    // Opens comPort for monitoring (RTS left clear). A negative port opens nothing.
    SerialOpenResult openSerialLink(std::int32_t comPort);

    void assertRts();
    // The per-tick read: RTS re-asserted when something cleared it, then CTS and DCD.
    SerialLines readLines();
    // The orders are a BREAK on the transmit line held for a while: kAlarmPulseMs to silence the
    // alarm, the whole watch for a battery test. The caller times them; nothing here waits.
    void setBreak(bool on);
    // Ends a BREAK this link raised, on the port it raised it on; nothing when none is held.
    void releaseBreak();
    // The battery test, one poll at a time: begin raises BREAK, and each poll, kTestPollMs after
    // the one before it (or the beginning), reads the lines. It gives the end of the watch, with
    // BREAK released, or nothing while the watch goes on. BREAK is released at the end whatever
    // the outcome: a BREAK left asserted is an order nothing withdraws.
    void beginBatteryTest();
    std::optional<SerialTestEnd> pollBatteryTest();
    // Follows the open port's CTS and DCD on a thread of its own: `onChange` runs on that thread
    // with the lines, mapped as readLines maps them, each time they change. A watch already running
    // is stopped first. False when no port is open or its lines cannot be waited on.
    bool watchLines(SerialLineWatcher::OnChange onChange);
    // Ends the watch and joins its thread; nothing when none runs.
    void stopWatching();
    // True while a watch runs; false once it ended by itself (the port failed or was pulled out).
    bool watchingLines() const { return watcher_ && watcher_->watching(); }
    // Closing at program end clears RTS first; a configuration change only closes the port. Both
    // stop the watch and release a BREAK still held.
    void closeAtEnd();
    void closeForChange();

    // The port opened by the last successful openSerialLink, -1 when none.
    std::int32_t port() const { return port_; }

private:
    SerialLines raiseRtsAndRead();

    SerialLib& sio_;
    std::int32_t port_ = -1;
    bool breakHeld_ = false;
    int testPolls_ = 0;
    std::unique_ptr<SerialLineWatcher> watcher_;
};

}  // namespace ups
