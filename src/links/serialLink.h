#pragma once
// The serial contact-signalling link: the UPS reports mains on CTS and battery on DCD, the
// monitor holds RTS while it watches and gives its orders as a BREAK on the transmit line.
#include <cstdint>

#include "base/clock.h"
#include "config/cfgRecords.h"
#include "links/serialLib.h"

namespace ups {

// What opening the link asks of the test button.
enum class TestButtonChange { Unchanged, Enable, Disable };

struct SerialOpenResult {
    bool opened = false;
    TestButtonChange button = TestButtonChange::Unchanged;
};

struct SerialLines {
    bool lineOk = true;
    bool batteryLow = false;
};

// What the lines showed when the battery-test watch ended; the battery room turns it into the
// outcome the user is shown.
enum class SerialTestEnd {
    BatteryHeld,  // the watch ran its ten seconds with DCD up
    BatteryLow,   // DCD dropped during the watch
    MainsStayed,  // CTS still up one second after the order: the UPS ignored it
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

    SerialLink(SerialLib& sio, Sleeper& sleeper) : sio_(sio), sleeper_(sleeper) {}

    // Tries COM1..COM4 with small queues and closes each again; stores each result in
    // cfg.portStatus. True when at least one port could be opened.
    bool probePorts(CfgUps& cfg);

    // Opens comPort for monitoring (RTS left clear). A negative port opens nothing.
    SerialOpenResult openSerialLink(std::int32_t comPort);

    void assertRts();
    // The per-tick read: RTS re-asserted when something cleared it, then CTS and DCD.
    SerialLines readLines();
    // The order to silence the UPS's alarm: a 500 ms BREAK.
    void alarmCancelPulse();
    // The order to run a battery test, watched for about ten seconds. BREAK is released at the
    // end of the watch whatever the outcome: a BREAK left asserted is an order nothing withdraws.
    SerialTestEnd batteryTestSequence();

    // Closing at program end clears RTS first; a configuration change only closes the port.
    void closeAtEnd();
    void closeForChange();

    // The port opened by the last successful openSerialLink, -1 when none.
    std::int32_t port() const { return port_; }

private:
    SerialLib& sio_;
    Sleeper& sleeper_;
    std::int32_t port_ = -1;
};

}  // namespace ups
