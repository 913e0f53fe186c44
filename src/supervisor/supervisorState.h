#pragma once
// The monitor's run-time state: owned by the monitor, read and written by the tick, the links,
// the display and the battery test on the GUI thread. Not persisted.
#include <cstdint>

namespace ups {

// What the line and the battery say together. Derived whenever it is asked for, so it can never
// disagree with the two states it comes from.
enum EventCode : int {
    ecNormal = 0,      // mains present, battery normal
    ecOnBattery = 1,   // mains failed, battery normal
    ecLowOnMains = 2,  // mains present, battery low
    ecCritical = 3,    // mains failed, battery low
};

struct SupervisorState {
    bool serialLinkActive = false;
    bool agentLinkActive = false;
    bool followLinkActive = false;  // a UPS served by another machine is followed
    bool lineOk = true;
    bool batteryLow = false;
    bool displayDirty = false;
    bool failWarned = false;
    bool closingBySystem = false;
    bool agentCommandsOk = false;
    double tickTime = 0.0;  // OLE date taken at the start of each tick
    int warnCountdown = 0;
    int shutdownCountdown = 0;
    int adminCountdown = 0;
    // The minutes of the last switch-off notice the tick took from the listener; -1 = none.
    int adminMinutes = -1;
    bool adminShutdownPending = false;
    int pollCounter = 0;
    int criticalRepeat = 0;
    bool startPending = true;  // the scheduler's "first tick since start" flag

    EventCode eventCode() const {
        return static_cast<EventCode>((lineOk ? 0 : 1) + (batteryLow ? 2 : 0));
    }
    bool linkActive() const { return serialLinkActive || agentLinkActive || followLinkActive; }
};

}  // namespace ups
