#pragma once
// The monitor's run-time state: owned by the main window, read and written by the tick, the
// links, the display and the battery test. Not persisted.

namespace ups {

struct SupervisorState {
    bool serialLinkActive = false;
    bool agentLinkActive = false;
    bool lineOk = true;
    bool batteryLow = false;
    int eventCode = 0;  // (lineOk ? 0 : 1) + (batteryLow ? 2 : 0)
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

    void deriveEventCode() { eventCode = (lineOk ? 0 : 1) + (batteryLow ? 2 : 0); }
};

}  // namespace ups
